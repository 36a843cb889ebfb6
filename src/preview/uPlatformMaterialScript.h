#pragma once
// A material script as the Veldara platform reads it, put in the words that
// OGRE 1.12's script compiler reads the same way.
//
// The platform's script reader takes the whole rest of a "material " line as
// the material's name, so "material Crate_Wood Dark" defines "Crate_Wood
// Dark", the name the mesh uses. OGRE 1.12's lexer ends the name at the first
// blank and reads "material Crate_Wood" followed by a stray word. So before
// OGRE compiles a script, each such name that holds a blank is put in double
// quotes; a name already in double quotes (as the exporter writes for OGRE
// 1.12 on request) and every other line are left exactly as they are.
//
// Portable: no OGRE needed, so it is unit-tested on every platform.

#include <string>
#include <string_view>
#include <vector>

struct TPlatformMaterialScript {
  std::string Text;  // the script for OGRE's compiler
  // Names that OGRE cannot be given whole: a name with a blank that also
  // holds a double quote (OGRE's quotes have no escape for it). Its line is
  // left as it was.
  std::vector<std::string> Problems;
};

TPlatformMaterialScript PlatformMaterialScript(std::string_view script);
