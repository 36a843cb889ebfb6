#pragma once
// `inspect`: a summary of a scene file, as text or one JSON document, with
// the draw calls of the exported mesh and the textures a folder lacks when
// asked. Sizes and draw calls are those of an export at the default scale.

#include "cli/CommandArguments.h"

void RunInspectCommand(const TCommandArguments& arguments, const TCommandStreams& streams);
