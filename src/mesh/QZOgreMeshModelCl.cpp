#include "mesh/QZOgreMeshModelCl.h"

#include <algorithm>
#include <string>

#include "base/uException.h"

namespace {
template <typename List>
const typename List::value_type& At(const List& list, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= list.size())
    RaiseListIndexError(index);
  return list[static_cast<std::size_t>(index)];
}
}  // namespace

const QZOgreTextureCoordinatesT& QZOgreVertexT::GetTextureCoordinates(int index) const {
  return At(TextureCoordinates, index);
}

const QZOgreTextureUnitT& QZOgreMaterialT::GetTextureUnit(int index) const { return At(TextureUnits, index); }

int QZOgreSubMeshT::AddVertex(QZOgreVertexT vertex) {
  Vertices.push_back(std::move(vertex));
  return VertexCount() - 1;
}

const QZOgreVertexT& QZOgreSubMeshT::GetVertex(int index) const { return At(Vertices, index); }

const QZOgreFaceInfoT& QZOgreSubMeshT::GetFace(int index) const { return At(Faces, index); }

void QZOgreSubMeshT::SortFaces() {
  const auto order = [](const QZOgreFaceInfoT& face) { return face.Material ? face.Material->CreationOrder : -1; };
  const auto before = [&](const QZOgreFaceInfoT& a, const QZOgreFaceInfoT& b) { return order(a) < order(b); };
  // Nearly every primitive has one material: nothing to sort then.
  if (!std::is_sorted(Faces.begin(), Faces.end(), before)) std::stable_sort(Faces.begin(), Faces.end(), before);
}

int QZOgreSubMeshT::ExportedSetCount(bool exportLightmaps) const {
  if (!Material) return 0;
  const int units = Material->TextureUnitCount();
  return Material->Lightmapped && !exportLightmaps ? units - 1 : units;
}

TSubMeshView ViewOf(const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes) {
  TSubMeshView view;
  view.reserve(subMeshes.size());
  for (const auto& subMesh : subMeshes) view.push_back(subMesh.get());
  return view;
}
