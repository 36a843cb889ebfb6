#include "HashedListCl.h"

#include <string>

#include "uException.h"

void RaiseListIndexError(int index) { RaiseError("List index out of bounds (%d)", {std::to_string(index)}); }
