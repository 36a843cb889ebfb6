#pragma once
// The in-memory scene: what the scene reader builds from the editor's XML and
// the exporters read. A scene owns its materials, primitives and lights; a
// primitive owns its vertices and polygons; a polygon only refers to vertices
// of its own primitive and to one material of the scene.
//
// Scenes reach millions of vertices and polygons inside a 32-bit process, so
// the per-object classes carry nothing that is not used: UV sets, coordinates
// and normals are created when first asked for.
//
// Colours are packed as red in bits 0-7, green 8-15, blue 16-23, alpha 24-31.
// Every index outside a list raises "List index out of bounds (%d)"; adding a
// missing object (nullptr) raises "Cannot add a missing object.".

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/uInlineList.h"
#include "base/uObjectBlocks.h"

// Stored as the one-byte ordinal; other units index tables by it.
enum TPrimitiveType : uint8_t {
  ptRectangle,
  ptCube,
  ptPyramid,
  ptCylinder,
  ptPolyline,
  ptVertice,
  ptSphere,
  ptTorus,
  ptPlane,
  ptUserDefined,
  ptPrefab,
  ptUndefined,
  ptGrid,
  ptPointLight,
  ptDirectionalLight,
  ptSpotlight,
  ptPrimitive,
  ptLight,
  ptEllipse,
  ptText
};

// A lightmap layer has the type lyTexture and IsLightmap set.
enum TLayerType : uint8_t { lyTexture, lyColor };

enum TBlendOperation : uint8_t { boIgnore, boReplace, boAdd, boModulate, boAlphaBlend };

enum TSnapMethod : uint8_t { smNone, smVertex, smCenter, smLocation };

enum TLightType : uint8_t { ltPoint, ltDirectional, ltSpot };

// The angle in degrees below which the faces meeting at a vertex share their
// normals there, as every export of the system smooths them.
inline constexpr float ExportSmoothingAngle = 66;

class TMaterial;

// A primitive's vertex, a normal (Id empty) or a light's position or direction.
class TVertex {
public:
  TVertex() = default;
  TVertex(float x, float y, float z) : X(x), Y(y), Z(z) {}
  // Index belongs to the object, not to its value: a copy is in no
  // primitive, and a vertex given another's values stays where it is.
  TVertex(const TVertex& other) : X(other.X), Y(other.Y), Z(other.Z), Id(other.Id) {}
  TVertex& operator=(const TVertex& other) {
    X = other.X;
    Y = other.Y;
    Z = other.Z;
    Id = other.Id;
    return *this;
  }

  float X = 0, Y = 0, Z = 0;
  // The vertex's place among its primitive's vertices, set when the
  // primitive takes it; -1 before. Corners find their vertex's number
  // through it instead of searching.
  int32_t Index = -1;
  std::string Id;
};

struct TUVCoordinate {
  float U = 0, V = 0;
};

// Coordinate j belongs to corner j of the polygon. References returned by
// EnsureCoordinate stay valid until the set grows.
class TUVCoordinates {
public:
  void Add(float u, float v);
  // Appends coordinates (0, 0) until `index` exists.
  TUVCoordinate& EnsureCoordinate(int index);
  // (0, 0) beyond the list, which does not grow.
  TUVCoordinate CoordinateOrZero(int index) const;
  int Count() const { return static_cast<int>(FCoordinates.size()); }
  // Room for `count` coordinates, for a reader that knows how many will come.
  void Reserve(int count) { FCoordinates.reserve(static_cast<uint32_t>(count > 0 ? count : 0)); }

private:
  TInlineList<TUVCoordinate, 4> FCoordinates;
};

// Name/value pairs taken from a primitive's tag, e.g. "type box|shape sphere".
class TProperties {
public:
  TProperties() = default;
  explicit TProperties(std::string_view text) { Parse(text); }

  // Entries are separated by "|"; in each, the first blank separates the name
  // from the value. Names lose surrounding blanks and control characters,
  // values are kept as they are. Pairs are appended to those already held.
  void Parse(std::string_view text);
  void Add(std::string name, std::string value);
  // The value of the first pair whose name matches ignoring letter case, or "".
  std::string GetValue(std::string_view name) const;

  int Count() const { return static_cast<int>(Names.size()); }
  const std::string& GetName(int index) const;
  const std::string& GetValueAt(int index) const;

  // Parallel lists: Values[i] belongs to Names[i].
  std::vector<std::string> Names;
  std::vector<std::string> Values;
};

// A direction: a face normal needs no identifier nor index of its own.
struct TNormal {
  float X = 0, Y = 0, Z = 0;
};

class TPolygon {
public:
  // Corners refer to vertices of the polygon's own primitive. A missing vertex
  // raises an error: no later step could use such a corner.
  int AddVertex(TVertex* vertex);
  int VertexCount() const { return static_cast<int>(FVertices.size()); }
  const TVertex* GetVertex(int index) const;
  TVertex* GetVertex(int index) { return const_cast<TVertex*>(std::as_const(*this).GetVertex(index)); }
  // Room for `corners` corners and `uvSets` UV sets, for a reader that knows
  // them before adding any: growing one at a time would allocate several
  // times for every polygon of a scene of millions.
  void Reserve(int corners, int uvSets);

  // UV set `layer` belongs to material layer `layer`; missing sets up to it
  // are appended empty. References stay valid until the list of sets grows.
  TUVCoordinates& EnsureUVCoordinates(int layer);
  // The coordinate of corner `corner` in set `layer`, as EnsureUVCoordinates
  // would give it, but reading changes nothing: (0, 0) where the set or the
  // coordinate is missing. Negative numbers raise the list index error.
  TUVCoordinate GetUVCoordinate(int layer, int corner) const;
  int UVSetCount() const { return static_cast<int>(FUVSetCount); }

  // The face normal by Newell's method, pointing to the side from which the
  // corners run clockwise; stored in FaceNormal, which is returned. A polygon
  // without corners raises the index error of its last corner (-1).
  const TNormal& CalculateNormal();

  // Smoothed normals, one per corner in corner order, appended by
  // TPrimitive::CalculateNormals.
  void AddNormal(float x, float y, float z);
  // Raises "Normals have not been calculated yet." before the first AddNormal.
  TVertex GetNormal(int index) const;
  // The same without making a vertex of it.
  const TNormal& NormalAt(int index) const;
  bool HasNormals() const { return !FNormals.empty(); }
  int NormalCount() const { return static_cast<int>(FNormals.size()); }

  TMaterial* Material = nullptr;  // not owned
  TNormal FaceNormal;

private:
  const TUVCoordinates& UVSet(uint32_t layer) const { return layer == 0 ? FFirstUVSet : FMoreUVSets[layer - 1]; }

  // Beside FaceNormal, in the room the lists' alignment would leave.
  uint32_t FUVSetCount = 0;
  TInlineList<TVertex*, 4> FVertices;  // not owned
  // Set 0 inside the polygon, as nearly every polygon has one; sets 1 and
  // up, when there are any, after it on the heap.
  TUVCoordinates FFirstUVSet;
  std::vector<TUVCoordinates> FMoreUVSets;
  TInlineList<TNormal, 4> FNormals;
};

class TMaterialLayer {
public:
  std::string TextureFile;
  uint32_t Color = 0;
  TBlendOperation Blend = boReplace;
  TLayerType LayerType = lyTexture;
  bool IsLightmap = false;
};

class TMaterial {
public:
  // Takes ownership; returns the index of the layer.
  int AddLayer(std::unique_ptr<TMaterialLayer> layer);
  int LayerCount() const { return static_cast<int>(FLayers.size()); }
  const TMaterialLayer& GetLayer(int index) const;
  TMaterialLayer& GetLayer(int index) { return const_cast<TMaterialLayer&>(std::as_const(*this).GetLayer(index)); }
  bool HasLightmap() const;

  std::string Id;  // polygons refer to materials by it
  std::string Name;
  std::string Tag;
  std::string Category;  // fixed before the material is added to a scene
  bool Used = false;

private:
  std::vector<std::unique_ptr<TMaterialLayer>> FLayers;
};

// The materials of one category; it refers to them, the scene owns them.
class TMaterialCategory {
public:
  void AddMaterial(TMaterial* material);
  int MaterialCount() const { return static_cast<int>(FMaterials.size()); }
  const TMaterial* GetMaterial(int index) const;
  TMaterial* GetMaterial(int index) { return const_cast<TMaterial*>(std::as_const(*this).GetMaterial(index)); }

  std::string Name;

private:
  std::vector<TMaterial*> FMaterials;
};

class TPrimitive {
public:
  // Takes ownership and files the vertex under its Id, which must be set
  // before and not changed after. When several vertices share an identifier
  // (letter case ignored), lookups find the first of them.
  void AddVertex(std::unique_ptr<TVertex> vertex);
  // The same for a vertex that the primitive makes itself, with the given
  // identifier, for a reader that adds many.
  TVertex& MakeVertex(std::string_view id);
  // Room for this many more vertices and polygons made by the primitive.
  void ReserveVertices(int count);
  void ReservePolygons(int count);
  // Letter case ignored; nullptr when no vertex has the identifier.
  const TVertex* FindVertex(std::string_view id) const;
  TVertex* FindVertex(std::string_view id) { return const_cast<TVertex*>(std::as_const(*this).FindVertex(id)); }
  int VertexCount() const { return static_cast<int>(FVertices.size()); }
  // In insertion order.
  const TVertex& GetVertex(int index) const;
  TVertex& GetVertex(int index) { return const_cast<TVertex&>(std::as_const(*this).GetVertex(index)); }

  // Takes ownership; returns the index of the polygon.
  int AddPolygon(std::unique_ptr<TPolygon> polygon);
  // An empty polygon that the primitive makes itself, appended.
  TPolygon& MakePolygon();
  int PolygonCount() const { return static_cast<int>(FPolygons.size()); }
  const TPolygon& GetPolygon(int index) const;
  TPolygon& GetPolygon(int index) { return const_cast<TPolygon&>(std::as_const(*this).GetPolygon(index)); }

  // Parsed from Tag on the first call and kept; later changes of Tag are not seen.
  TProperties& Properties();
  // The material of the first polygon; nullptr without polygons.
  const TMaterial* GetMainMaterial() const;

  // Appends to every polygon one normal per corner: the corner's face normal
  // plus the face normals of the other polygons meeting at that same vertex
  // object whose angle to it is below `smoothingAngle` degrees, normalised.
  // Raises "List index out of bounds (-1)" for a polygon without corners or a
  // corner whose vertex is not one of this primitive's; no normals are added then.
  void CalculateNormals(float smoothingAngle);
  // Whether CalculateNormals has given the polygons their normals.
  bool HasNormals() const { return FHasNormals; }

  std::string Id;
  std::string Name;
  std::string Tag;
  TPrimitiveType PrimitiveType = ptUserDefined;
  TSnapMethod SnapMethod = smNone;
  bool Visible = true;
  bool AutoUV = false;

private:
  int IndexOfVertexId(std::string_view id) const;
  void IndexVertex(uint32_t index);
  void RebuildVertexIndex(std::size_t slotCount);
  void FileVertex(TVertex& vertex);

  // Vertices and polygons in order; those the primitive made live in its
  // blocks, those handed over in the Adopted lists.
  std::vector<TVertex*> FVertices;
  TObjectBlocks<TVertex> FVertexBlocks;
  std::vector<std::unique_ptr<TVertex>> FAdoptedVertices;
  // Open-addressed hash index over the vertices' identifiers, letter case
  // ignored: each slot holds a vertex index + 1, or 0 when free. Only the
  // first vertex of an identifier is entered. Its size is a power of two.
  std::vector<uint32_t> FVertexSlots;
  uint32_t FIndexedVertices = 0;
  std::vector<TPolygon*> FPolygons;
  TObjectBlocks<TPolygon> FPolygonBlocks;
  std::vector<std::unique_ptr<TPolygon>> FAdoptedPolygons;
  std::unique_ptr<TProperties> FProperties;
  bool FHasNormals = false;
};

class TLight {
public:
  std::string Id;
  std::string Name;
  std::string Tag;
  TVertex Position;
  TVertex Direction;
  uint32_t DiffuseColor = 0;
  uint32_t SpecularColor = 0;
  int32_t Intensity = 100;
  float ConstantAttenuation = 1.0f;
  float LinearAttenuation = 0;
  float QuadraticAttenuation = 3.0E-6f;
  int32_t Range = 1000;
  int32_t ConeInner = 0;
  int32_t ConeOuter = 0;
  int32_t ConeFalloff = 0;
  TLightType LightType = ltPoint;
  bool Active = true;
};

class TScene {
public:
  // Takes ownership and files the material into the category named by its
  // Category; categories match ignoring letter case and keep the spelling of
  // the first material that named them.
  void AddMaterial(std::unique_ptr<TMaterial> material);
  // Take ownership; return the index.
  int AddPrimitive(std::unique_ptr<TPrimitive> primitive);
  int AddLight(std::unique_ptr<TLight> light);

  int MaterialCount() const { return static_cast<int>(FMaterials.size()); }
  const TMaterial& GetMaterial(int index) const;
  TMaterial& GetMaterial(int index) { return const_cast<TMaterial&>(std::as_const(*this).GetMaterial(index)); }
  int PrimitiveCount() const { return static_cast<int>(FPrimitives.size()); }
  const TPrimitive& GetPrimitive(int index) const;
  TPrimitive& GetPrimitive(int index) { return const_cast<TPrimitive&>(std::as_const(*this).GetPrimitive(index)); }
  int LightCount() const { return static_cast<int>(FLights.size()); }
  const TLight& GetLight(int index) const;
  TLight& GetLight(int index) { return const_cast<TLight&>(std::as_const(*this).GetLight(index)); }
  int CategoryCount() const { return static_cast<int>(FCategories.size()); }
  const TMaterialCategory& GetCategory(int index) const;
  TMaterialCategory& GetCategory(int index) {
    return const_cast<TMaterialCategory&>(std::as_const(*this).GetCategory(index));
  }

  // The index of that very material object, or -1.
  int IndexOfMaterial(const TMaterial* material) const;
  // The first material whose Id equals `id` exactly, letter case included; nullptr when none.
  const TMaterial* FindMaterial(std::string_view id) const;
  TMaterial* FindMaterial(std::string_view id) { return const_cast<TMaterial*>(std::as_const(*this).FindMaterial(id)); }

  // Smoothed normals for every primitive that has none yet (the reader may
  // have given most of them already, see TXMLSceneReader::SmoothingAngle);
  // see TPrimitive. Primitives are taken on several threads (see
  // WorkerCount); the first primitive in order that raises is the error, and
  // primitives after it may have their normals then.
  void CalculateNormals(float smoothingAngle);

  std::string Name = "Tarnix Scene";
  std::string Author;
  std::string Comments;
  uint32_t AmbientColor = 0xFFFFFFFF;
  int32_t ShadowOpacity = 75;

private:
  // Declared in reverse order of freeing: lights, then primitives (whose
  // polygons refer to materials), then materials, then categories.
  std::vector<std::unique_ptr<TMaterialCategory>> FCategories;
  std::unordered_map<std::string, TMaterialCategory*> FCategoryIndex;  // by lower-cased name
  std::vector<std::unique_ptr<TMaterial>> FMaterials;
  std::unordered_map<const TMaterial*, int> FMaterialIndex;  // the exporter asks once per polygon
  std::vector<std::unique_ptr<TPrimitive>> FPrimitives;
  std::vector<std::unique_ptr<TLight>> FLights;
};
