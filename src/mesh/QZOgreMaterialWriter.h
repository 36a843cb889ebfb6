#pragma once
// The OGRE material script: one block per output material, CR LF line ends,
// four blanks of indentation per level.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mesh/QZOgreMeshModelCl.h"

class TFileTransaction;

// How material names are written. The platform's script reader takes the
// rest of the "material" line as the name, blanks and all. OGRE 1.7 and
// later end a bare name at its first blank (and read a colon as inheritance,
// braces as blocks), so for them a name that would not reach the engine
// whole goes in double quotes; the mesh names the material without them.
enum class TMaterialNameForm { Platform, Quoted };

// The material line's name in the given form. Raises "Material "%s" cannot be
// named in a script for OGRE 1.7 or later." for a name that needs quotes and
// holds a quote or a backslash that OGRE would read as an escape.
std::string ScriptMaterialName(const std::string& name, TMaterialNameForm form);

// Appends one material block (without a line after its closing brace's CR LF).
void WriteMaterial(const QZOgreMaterialT& material, bool exportLightmaps, std::string& script,
                   TMaterialNameForm form = TMaterialNameForm::Platform);

// Writes the whole script, blocks separated by one empty line; the file
// appears only when complete. `onMaterial` is told the index of each material
// written. Raises "Cannot create file %s" and "Cannot write file %s".
// With a transaction the file is completed there, and appears with the
// transaction's other files at its commit.
void WriteMaterialScript(const std::string& fileName, const std::vector<std::unique_ptr<QZOgreMaterialT>>& materials,
                         bool exportLightmaps, const std::function<void(int index)>& onMaterial = {},
                         TFileTransaction* transaction = nullptr,
                         TMaterialNameForm form = TMaterialNameForm::Platform);
