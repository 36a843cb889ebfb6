#pragma once
// The output side of the mesh export: welded vertices and triangles per
// sub-mesh, and output materials with their texture units, in the form the
// mesh and material writers emit them.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/uInlineList.h"
#include "scene/uScene.h"

struct QZOgreBaseVertexT {
  float X = 0, Y = 0, Z = 0;
};

// A vertex normal; (0, 0, 0) means the vertex has none.
struct QZOgreNormalT : QZOgreBaseVertexT {
  void Assign(const QZOgreNormalT& source) { X = source.X, Y = source.Y, Z = source.Z; }
  // Exact comparison: values computed in two ways may differ in the last bit.
  bool SameAs(const QZOgreNormalT& other) const { return X == other.X && Y == other.Y && Z == other.Z; }
};

struct QZOgreTextureCoordinatesT {
  float U = 0, V = 0;
  bool SameAs(const QZOgreTextureCoordinatesT& other) const { return U == other.U && V == other.V; }
};

class QZOgreVertexT : public QZOgreBaseVertexT {
public:
  QZOgreVertexT() = default;
  QZOgreVertexT(float x, float y, float z) : QZOgreBaseVertexT{x, y, z} {}

  // Takes over the source's position, texture coordinates and normal.
  void Assign(const QZOgreVertexT& source) { *this = source; }
  QZOgreVertexT Clone() const { return *this; }

  void AddTextureCoordinates(float u, float v) { TextureCoordinates.push_back({u, v}); }
  void ClearTextureCoordinates() { TextureCoordinates.clear(); }
  int TextureCoordinateCount() const { return static_cast<int>(TextureCoordinates.size()); }
  // Raises "List index out of bounds (%d)" outside the list.
  const QZOgreTextureCoordinatesT& GetTextureCoordinates(int index) const;
  bool HasTextureCoordinates() const { return !TextureCoordinates.empty(); }
  // A normal counts when one of its components is not exactly zero (-0.0 is zero).
  bool HasNormal() const { return Normal.X != 0 || Normal.Y != 0 || Normal.Z != 0; }

  // Before the texture coordinates, where it fills the room the list's
  // alignment would leave: a level's mesh holds millions of vertices.
  QZOgreNormalT Normal;
  // Set i at index i; a vertex has one or two sets as a rule.
  TInlineList<QZOgreTextureCoordinatesT, 2> TextureCoordinates;
};

class QZOgreMaterialT;

struct QZOgreFaceInfoT {
  int32_t GetIndex(int i) const { return Indices[static_cast<std::size_t>(i)]; }
  void SetIndex(int i, int32_t value) { Indices[static_cast<std::size_t>(i)] = value; }

  std::array<int32_t, 3> Indices{};
  QZOgreMaterialT* Material = nullptr;  // not owned
};

// A texture file, or a plain colour that the material script describes itself.
struct QZOgreTextureT {
  explicit QZOgreTextureT(std::string fileName) : FileName(std::move(fileName)) {}

  std::string FileName;
  bool IsColor = false;
  uint32_t Color = 0;  // red bits 0-7, green 8-15, blue 16-23, alpha 24-31
  bool IsLightmap = false;
};

struct QZOgreTextureUnitT {
  QZOgreTextureT* Texture;  // not owned: the exporter owns the texture entries
  std::string Blend;        // one of OgreBlendNames, or "modulate" for a replacing first layer
  int32_t TexCoordSet;
};

class QZOgreMaterialT {
public:
  void AddTextureUnit(QZOgreTextureT* texture, std::string blend, int32_t texCoordSet) {
    TextureUnits.push_back({texture, std::move(blend), texCoordSet});
  }
  int TextureUnitCount() const { return static_cast<int>(TextureUnits.size()); }
  const QZOgreTextureUnitT& GetTextureUnit(int index) const;

  std::string Name;
  std::vector<QZOgreTextureUnitT> TextureUnits;
  bool Used = false;
  bool Lightmapped = false;
  // Position among the materials when they were created: the order in which
  // sub-meshes of one primitive are written, the same on every machine.
  int CreationOrder = 0;
};

class QZOgreSubMeshT {
public:
  int AddVertex(QZOgreVertexT vertex);
  int VertexCount() const { return static_cast<int>(Vertices.size()); }
  const QZOgreVertexT& GetVertex(int index) const;
  void AddFace(int32_t i1, int32_t i2, int32_t i3, QZOgreMaterialT* material) {
    Faces.push_back({{i1, i2, i3}, material});
  }
  // A copy of the face's indices, without its material.
  void AddFaceCopy(const QZOgreFaceInfoT& face) { Faces.push_back({face.Indices, nullptr}); }
  int FaceCount() const { return static_cast<int>(Faces.size()); }
  const QZOgreFaceInfoT& GetFace(int index) const;
  // Makes the faces of each material contiguous: a stable sort on the
  // materials' creation order (faces without material first).
  void SortFaces();

  // The number of texture coordinate sets the writers put out per vertex: one
  // per texture unit, less the lightmap's when lightmaps are left out.
  int ExportedSetCount(bool exportLightmaps) const;

  std::vector<QZOgreVertexT> Vertices;
  std::vector<QZOgreFaceInfoT> Faces;
  QZOgreMaterialT* Material = nullptr;  // not owned; set when sub-meshes are split by material
};

// Sub-meshes as a writer reads them, in order, owned elsewhere: the model's
// own, or pieces cut from them (see SubMeshCutting.h).
using TSubMeshView = std::vector<const QZOgreSubMeshT*>;

// The model's sub-meshes as such a view.
TSubMeshView ViewOf(const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes);

// The script's blend texts, indexed by TBlendOperation. A later layer that
// replaces what lies below is OGRE's "colour_op replace".
inline constexpr std::string_view OgreBlendNames[] = {"", "replace", "add", "modulate", "alpha_blend"};

struct TMeshBounds {
  float MinX = 0, MinY = 0, MinZ = 0;
  float MaxX = 0, MaxY = 0, MaxZ = 0;
  float Radius = 0;
};
