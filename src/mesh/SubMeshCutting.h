#pragma once
// The binary mesh addresses a sub-mesh's vertices with 16-bit indices. A
// sub-mesh with more vertices (a large terrain of one material) is cut into
// consecutive sub-meshes of the same material instead of being refused.

#include <cstddef>
#include <memory>
#include <vector>

#include "mesh/QZOgreMeshModelCl.h"

// The most vertices that 16-bit indices address.
inline constexpr std::size_t kShortIndexVertexLimit = 65536;

// Replaces every sub-mesh with more than kShortIndexVertexLimit vertices by
// consecutive pieces of the same material: faces in their order, each piece
// as many whole faces as fit, holding only the vertices its faces use, in
// their old order. Smaller sub-meshes stay as they are.
void CutForShortIndices(std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes);

// The same, leaving the sub-meshes as they are: the view holds the small
// ones themselves and, for each large one, its pieces, which `Pieces` owns.
struct TShortIndexSubMeshes {
  std::vector<std::unique_ptr<QZOgreSubMeshT>> Pieces;
  TSubMeshView SubMeshes;
};
TShortIndexSubMeshes ShortIndexSubMeshes(const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes);
