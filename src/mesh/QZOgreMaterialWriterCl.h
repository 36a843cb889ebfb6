#pragma once
// The OGRE material script: one block per output material, CR LF line ends,
// four blanks of indentation per level.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "QZOgreMeshModelCl.h"

class TFileTransaction;

// Appends one material block (without a line after its closing brace's CR LF).
void WriteMaterial(const QZOgreMaterialT& material, bool exportLightmaps, std::string& script);

// Writes the whole script, blocks separated by one empty line; the file
// appears only when complete. `onMaterial` is told the index of each material
// written. Raises "Cannot create file %s" and "Cannot write file %s".
// With a transaction the file is completed there, and appears with the
// transaction's other files at its commit.
void WriteMaterialScript(const std::string& fileName, const std::vector<std::unique_ptr<QZOgreMaterialT>>& materials,
                         bool exportLightmaps, const std::function<void(int index)>& onMaterial = {},
                         TFileTransaction* transaction = nullptr);
