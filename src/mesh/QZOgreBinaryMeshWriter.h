#pragma once
// Writes the output model as a binary mesh file: a header, then one mesh chunk
// that holds a sub-mesh chunk per sub-mesh (its own geometry, 16-bit indices),
// the levels of detail when there are any, and the bounds. Every number is
// little-endian whatever the host. The format is one of those that OGRE's own
// serializer writes (the chunks of each are listed in
// QZOgreBinaryMeshWriter.cpp).

#include <memory>
#include <string>
#include <vector>

#include "mesh/LevelsOfDetail.h"
#include "mesh/QZOgreMeshModelCl.h"

class TFileTransaction;

// The binary mesh formats, named after their header. 1.30 is the one every
// OGRE since 1.0 reads, and what this writer has always written; the others
// are what later OGREs write themselves, so that they load the file without
// calling it old: 1.8 for OGRE 1.8 and 1.9, 1.100 for OGRE 1.10 and later
// (OGRE's tools call that one "1.10": the header "[MeshSerializer_v1.10]"
// already belonged to OGRE 1.1's format).
enum class TMeshFormat { V1_30, V1_8, V1_100 };

// Writes the file front to back and makes it appear only once it is complete.
// Raises "Submeshes containing > 65536 vertices not supported." for a face
// index that does not fit 16 bits (a guard: the exporter cuts larger
// sub-meshes first), "Cannot create file %s" and "Cannot write
// file %s" from the file layer; after an error no file of that name is left
// behind and an earlier one stays as it was.
// With a transaction the file is completed there, and appears with the
// transaction's other files at its commit.
// `levels` are the levels of detail beyond the full mesh, each with one
// index list per sub-mesh (LevelsOfDetail.h), written in the format's own
// layout; none, the file is what it was before levels existed.
void WriteBinaryMesh(const std::string& fileName, const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes,
                     const TMeshBounds& bounds, bool exportNormals, bool exportLightmaps,
                     TFileTransaction* transaction = nullptr, TMeshFormat format = TMeshFormat::V1_30,
                     const std::vector<TDetailLevel>& levels = {});
void WriteBinaryMesh(const std::string& fileName, const TSubMeshView& subMeshes, const TMeshBounds& bounds,
                     bool exportNormals, bool exportLightmaps, TFileTransaction* transaction = nullptr,
                     TMeshFormat format = TMeshFormat::V1_30, const std::vector<TDetailLevel>& levels = {});
