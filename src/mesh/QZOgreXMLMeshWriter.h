#pragma once
// Writes the output model as an XML mesh document: the text counterpart of the
// binary mesh file, with the same sub-meshes, faces and vertex values.

#include <memory>
#include <string>
#include <vector>

#include "mesh/LevelsOfDetail.h"
#include "mesh/QZOgreMeshModelCl.h"

class TFileTransaction;

// The document appears under the name only once it is complete; an error
// leaves no file behind and an earlier one as it was. Raises the file layer's
// "Cannot create file %s" and "Cannot write file %s".
// With a transaction the file is completed there, and appears with the
// transaction's other files at its commit.
// `levels` (LevelsOfDetail.h) follow the sub-meshes as a <levelofdetail>
// element, as OgreXMLConverter writes generated levels; none, the document
// is what it was before levels existed.
void WriteXMLMesh(const std::string& fileName, const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes,
                  bool exportNormals, bool exportLightmaps, TFileTransaction* transaction = nullptr,
                  const std::vector<TDetailLevel>& levels = {});
