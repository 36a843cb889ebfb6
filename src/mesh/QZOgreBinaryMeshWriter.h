#pragma once
// Writes the output model as a binary mesh file: a header, then one mesh chunk
// that holds a sub-mesh chunk per sub-mesh (its own geometry, 16-bit indices)
// and the bounds. Every number is little-endian whatever the host.

#include <memory>
#include <string>
#include <vector>

#include "mesh/QZOgreMeshModelCl.h"

class TFileTransaction;

// Writes the file front to back and makes it appear only once it is complete.
// Raises "Submeshes containing > 65536 vertices not supported." for a face
// index that does not fit 16 bits (a guard: the exporter cuts larger
// sub-meshes first), "Cannot create file %s" and "Cannot write
// file %s" from the file layer; after an error no file of that name is left
// behind and an earlier one stays as it was.
// With a transaction the file is completed there, and appears with the
// transaction's other files at its commit.
void WriteBinaryMesh(const std::string& fileName, const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes,
                     const TMeshBounds& bounds, bool exportNormals, bool exportLightmaps,
                     TFileTransaction* transaction = nullptr);
