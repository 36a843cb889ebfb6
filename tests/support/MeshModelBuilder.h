#pragma once
// Sub-meshes built by hand for the mesh writers' tests, with the materials and
// the texture entry they refer to owned by the test.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mesh/QZOgreMeshModelCl.h"

struct TVertexValues {
  float X, Y, Z;
  float NX, NY, NZ;
  std::vector<std::pair<float, float>> Sets;
};

inline QZOgreVertexT MakeVertex(const TVertexValues& values) {
  QZOgreVertexT vertex(values.X, values.Y, values.Z);
  vertex.Normal.X = values.NX;
  vertex.Normal.Y = values.NY;
  vertex.Normal.Z = values.NZ;
  for (const auto& [u, v] : values.Sets) vertex.AddTextureCoordinates(u, v);
  return vertex;
}

class TModel {
public:
  QZOgreMaterialT& Material(const std::string& name, int units, bool lightmapped = false) {
    auto& material = *FMaterials.emplace_back(std::make_unique<QZOgreMaterialT>());
    material.Name = name;
    material.Lightmapped = lightmapped;
    for (int i = 0; i < units; ++i) material.AddTextureUnit(&FTexture, "", i);
    return material;
  }
  QZOgreSubMeshT& SubMesh(QZOgreMaterialT* material, const std::vector<TVertexValues>& vertices,
                          const std::vector<std::array<int32_t, 3>>& faces) {
    auto& subMesh = *SubMeshes.emplace_back(std::make_unique<QZOgreSubMeshT>());
    subMesh.Material = material;
    for (const TVertexValues& values : vertices) subMesh.AddVertex(MakeVertex(values));
    for (const auto& face : faces) subMesh.AddFace(face[0], face[1], face[2], material);
    return subMesh;
  }

  std::vector<std::unique_ptr<QZOgreSubMeshT>> SubMeshes;

private:
  QZOgreTextureT FTexture{"stone.jpg"};
  std::vector<std::unique_ptr<QZOgreMaterialT>> FMaterials;
};
