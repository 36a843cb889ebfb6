#include "mesh/SubMeshCutting.h"

#include <algorithm>
#include <cstdint>

#include "base/Parallel.h"

namespace {
// One piece: the faces [first, end) of the source, with the vertices they use.
std::unique_ptr<QZOgreSubMeshT> Piece(const QZOgreSubMeshT& source, std::size_t first, std::size_t end,
                                      std::vector<int32_t>& used, std::vector<int32_t>& newIndex) {
  auto piece = std::make_unique<QZOgreSubMeshT>();
  piece->Material = source.Material;
  std::sort(used.begin(), used.end());
  piece->Vertices.reserve(used.size());
  for (std::size_t u = 0; u < used.size(); ++u) {
    newIndex[static_cast<std::size_t>(used[u])] = static_cast<int32_t>(u);
    piece->AddVertex(source.Vertices[static_cast<std::size_t>(used[u])].Clone());
  }
  piece->Faces.reserve(end - first);
  for (std::size_t f = first; f < end; ++f) {
    piece->Faces.push_back(source.Faces[f]);
    for (int32_t& index : piece->Faces.back().Indices) index = newIndex[static_cast<std::size_t>(index)];
  }
  for (const int32_t v : used) newIndex[static_cast<std::size_t>(v)] = -1;
  used.clear();
  return piece;
}

void Cut(const QZOgreSubMeshT& source, std::vector<std::unique_ptr<QZOgreSubMeshT>>& pieces) {
  // -1: not in the current piece; anything else: in it.
  std::vector<int32_t> newIndex(source.Vertices.size(), -1);
  std::vector<int32_t> used;
  std::size_t first = 0;
  for (std::size_t f = 0; f < source.Faces.size(); ++f) {
    const auto& indices = source.Faces[f].Indices;
    std::size_t fresh = 0;
    for (std::size_t k = 0; k < indices.size(); ++k)
      fresh += newIndex[static_cast<std::size_t>(indices[k])] < 0 &&
               std::find(indices.begin(), indices.begin() + static_cast<std::ptrdiff_t>(k), indices[k]) ==
                   indices.begin() + static_cast<std::ptrdiff_t>(k);
    if (used.size() + fresh > kShortIndexVertexLimit) {
      pieces.push_back(Piece(source, first, f, used, newIndex));
      first = f;
    }
    for (const int32_t index : indices)
      if (newIndex[static_cast<std::size_t>(index)] < 0) {
        newIndex[static_cast<std::size_t>(index)] = 0;
        used.push_back(index);
      }
  }
  if (first < source.Faces.size()) pieces.push_back(Piece(source, first, source.Faces.size(), used, newIndex));
}
}  // namespace

void CutForShortIndices(std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes) {
  std::vector<std::size_t> large;
  for (std::size_t s = 0; s < subMeshes.size(); ++s)
    if (subMeshes[s]->Vertices.size() > kShortIndexVertexLimit) large.push_back(s);
  if (large.empty()) return;
  // Each large sub-mesh is cut on whichever thread takes it; its pieces hold
  // copies, so the whole goes as soon as it is cut.
  std::vector<std::vector<std::unique_ptr<QZOgreSubMeshT>>> pieces(subMeshes.size());
  ForEachInParallel(large.size(), [&](std::size_t l) {
    std::unique_ptr<QZOgreSubMeshT>& subMesh = subMeshes[large[l]];
    Cut(*subMesh, pieces[large[l]]);
    subMesh.reset();
  });
  std::vector<std::unique_ptr<QZOgreSubMeshT>> cut;
  cut.reserve(subMeshes.size() + large.size());
  for (std::size_t s = 0; s < subMeshes.size(); ++s) {
    if (subMeshes[s]) cut.push_back(std::move(subMeshes[s]));
    for (auto& piece : pieces[s]) cut.push_back(std::move(piece));
  }
  subMeshes = std::move(cut);
}

TShortIndexSubMeshes ShortIndexSubMeshes(const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes) {
  TShortIndexSubMeshes result;
  result.SubMeshes.reserve(subMeshes.size());
  for (const auto& subMesh : subMeshes) {
    if (subMesh->Vertices.size() <= kShortIndexVertexLimit) {
      result.SubMeshes.push_back(subMesh.get());
      continue;
    }
    const std::size_t first = result.Pieces.size();
    Cut(*subMesh, result.Pieces);
    for (std::size_t p = first; p < result.Pieces.size(); ++p) result.SubMeshes.push_back(result.Pieces[p].get());
  }
  return result;
}
