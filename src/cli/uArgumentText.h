#pragma once
// The command line's text for the asset definitions. The core takes names
// as 8-bit Latin-1 text, as the export dialog hands them over (the ANSI code
// page) and as the definitions are declared (ISO-8859-1); Linux hands the
// arguments over in UTF-8. Windows hands them in the ANSI code page, and
// there they are taken as they are.

#include <string>
#include <string_view>

struct TLatin1Argument {
  std::string Text;     // the argument in Latin-1
  std::string Problem;  // why it cannot be; empty when it can
};

// `what` names the argument in the message ("asset name"). Refused: a
// character beyond Latin-1 and the invisible marks of direction and joining
// (U+200B to U+200F, U+202A to U+202E, U+2066 to U+2069), named with their
// code. An argument that is not UTF-8 at all is Latin-1 already (a terminal
// of that encoding) and stays as it is.
TLatin1Argument ArgumentAsLatin1(const std::string& argument, std::string_view what);
