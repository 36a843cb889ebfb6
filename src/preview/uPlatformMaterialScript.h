#pragma once
// A material script as the Veldara platform reads it, put in the words that
// OGRE 1.12's script compiler reads the same way.
//
// The platform's script reader takes the whole rest of a "material " line as
// the material's name, so "material Crate_Wood Dark" defines "Crate_Wood
// Dark", the name the mesh uses. OGRE 1.12's lexer ends the name at the first
// blank and reads "material Crate_Wood" followed by a stray word; it reads a
// colon as inheritance, braces as blocks, a leading "$" as a variable and a
// leading "//" as a comment, and one such name spoils the rest of the script.
// So before OGRE compiles a script, each name that OGRE would not read whole
// is put in double quotes, by the same rule as the exporter's scripts for
// OGRE 1.7 and later; a name already in double quotes (as the exporter writes
// those) and every other line are left exactly as they are.
//
// Portable: no OGRE needed, so it is unit-tested on every platform.

#include <string>
#include <string_view>
#include <vector>

struct TPlatformMaterialScript {
  std::string Text;  // the script for OGRE's compiler
  // Names that OGRE cannot be given whole: a name that needs quotes and holds
  // a double quote or ends in a backslash (OGRE's quotes have no escape for
  // them). Its line is left as it was.
  std::vector<std::string> Problems;
};

TPlatformMaterialScript PlatformMaterialScript(std::string_view script);
