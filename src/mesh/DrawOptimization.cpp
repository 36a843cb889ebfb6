#include "mesh/DrawOptimization.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <cstdint>
#include <unordered_map>

#include "base/Parallel.h"
#include "mesh/QZOgreVertexListCl.h"
#include "mesh/SubMeshCutting.h"

namespace {
// Every source sub-mesh of one material appended to the merged one: its
// vertices welded into `vertices`, its faces in their order.
void Append(QZOgreSubMeshT& source, QZOgreVertexListT& vertices, QZOgreSubMeshT& merged,
            std::vector<int32_t>& newIndex) {
  newIndex.resize(source.Vertices.size());
  // The merged index spans megabytes: each vertex's place in it is fetched
  // a few vertices ahead of its lookup.
  constexpr std::size_t kAhead = 8;
  const std::size_t count = source.Vertices.size();
  for (std::size_t v = 0; v < std::min(kAhead, count); ++v) vertices.Prefetch(source.Vertices[v]);
  for (std::size_t v = 0; v < count; ++v) {
    if (v + kAhead < count) vertices.Prefetch(source.Vertices[v + kAhead]);
    newIndex[v] = vertices.AddOrMerge(source.Vertices[v]);
  }
  for (const QZOgreFaceInfoT& face : source.Faces) {
    merged.AddFaceCopy(face);
    for (int32_t& index : merged.Faces.back().Indices) index = newIndex[static_cast<std::size_t>(index)];
  }
}
}  // namespace

void MergeByMaterial(std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes) {
  // The sub-meshes of each material, materials in the order of first appearance.
  std::vector<std::vector<QZOgreSubMeshT*>> groups;
  std::unordered_map<const QZOgreMaterialT*, std::size_t> groupOf;
  for (const auto& subMesh : subMeshes) {
    const auto [found, fresh] = groupOf.emplace(subMesh->Material, groups.size());
    if (fresh) groups.emplace_back();
    groups[found->second].push_back(subMesh.get());
  }
  if (groups.size() == subMeshes.size()) return;  // one sub-mesh per material already

  // The materials' merged sub-meshes do not touch each other: each is made
  // on whichever thread takes it.
  std::vector<std::unique_ptr<QZOgreSubMeshT>> merged(groups.size());
  ForEachInParallel(groups.size(), [&](std::size_t g) {
    const std::vector<QZOgreSubMeshT*>& group = groups[g];
    auto target = std::make_unique<QZOgreSubMeshT>();
    target->Material = group.front()->Material;
    std::size_t faces = 0, vertexCount = 0;
    for (const QZOgreSubMeshT* source : group) {
      faces += source->Faces.size();
      vertexCount += source->Vertices.size();
    }
    target->Faces.reserve(faces);
    QZOgreVertexListT vertices;
    // Room for every vertex at once, so that none is moved while the list
    // grows; what welding leaves unused goes below.
    vertices.Reserve(vertexCount);
    vertices.ReservePositions(vertexCount);
    std::vector<int32_t> newIndex;
    for (QZOgreSubMeshT* source : group) {
      Append(*source, vertices, *target, newIndex);
      // Its copy is in the merged sub-mesh: the memory goes before the next.
      source->Vertices = {};
      source->Faces = {};
    }
    target->Vertices = vertices.TakeVertices();
    if (target->Vertices.size() < target->Vertices.capacity() / 4 * 3) target->Vertices.shrink_to_fit();
    merged[g] = std::move(target);
  });
  subMeshes = std::move(merged);
}

void OrderForDrawing(QZOgreSubMeshT& subMesh) {
  const std::size_t vertexCount = subMesh.Vertices.size();
  std::vector<unsigned int> indices;
  indices.reserve(subMesh.Faces.size() * 3);
  for (const QZOgreFaceInfoT& face : subMesh.Faces)
    for (const int32_t index : face.Indices) indices.push_back(static_cast<unsigned int>(index));

  // The optimizer hands each triangle on with its three indices as they were,
  // so the winding stays; only the triangles' order changes.
  std::vector<unsigned int> ordered(indices.size());
  meshopt_optimizeVertexCache(ordered.data(), indices.data(), indices.size(), vertexCount);
  // remap[old] is the vertex's new number, in the order of first use; ~0u for
  // a vertex no triangle uses.
  std::vector<unsigned int> remap(vertexCount);
  const std::size_t used = meshopt_optimizeVertexFetchRemap(remap.data(), ordered.data(), ordered.size(), vertexCount);

  std::vector<QZOgreVertexT> vertices(used);
  for (std::size_t v = 0; v < vertexCount; ++v)
    if (remap[v] != ~0u) vertices[remap[v]] = std::move(subMesh.Vertices[v]);
  subMesh.Vertices = std::move(vertices);
  for (std::size_t f = 0; f < subMesh.Faces.size(); ++f)
    for (std::size_t k = 0; k < 3; ++k)
      subMesh.Faces[f].Indices[k] = static_cast<int32_t>(remap[ordered[f * 3 + k]]);
}

void OptimizeForDrawing(std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes) {
  MergeByMaterial(subMeshes);
  // Merging may pass what 16-bit indices address; the cut comes before the
  // ordering so that each piece is ordered for itself.
  CutForShortIndices(subMeshes);
  ForEachInParallel(subMeshes.size(), [&](std::size_t s) { OrderForDrawing(*subMeshes[s]); });
}
