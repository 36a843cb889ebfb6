#include "scene/uScene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <utility>

#include "base/uException.h"
#include "base/Parallel.h"
#include "scene/uVector.h"

namespace {

// Below this length a face normal is divided by it instead, so that a
// degenerate polygon gives a short vector rather than a division by zero.
constexpr double kMinimumNormalLength = 0.001;

void CheckIndex(int index, std::size_t count) {
  if (index < 0 || static_cast<std::size_t>(index) >= count) RaiseListIndexError(index);
}

template <typename T>
void CheckPresent(const T& object) {
  if (!object) RaiseError("Cannot add a missing object.");
}

// Identifiers and names from the editor are matched without regard to the
// case of ASCII letters; other bytes must be equal.
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

// Vertex identifiers are looked up once per polygon corner, millions of times
// in a level: they are folded and compared eight bytes at a time.

// Up to eight bytes of the text, from `at` on, in the word's low bytes: whole
// words, or for a short text its bytes in fixed places, so that texts equal
// but for letter case give words equal but for letter case.
uint64_t WordAt(const char* at, std::size_t count) {
  const auto load32 = [](const char* from) {
    uint32_t word;
    std::memcpy(&word, from, sizeof word);
    return uint64_t{word};
  };
  if (count >= 8) {
    uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
  }
  if (count >= 4) return load32(at) | load32(at + count - 4) << 32;
  if (count == 0) return 0;
  const auto byte = [&](std::size_t i) { return uint64_t{static_cast<unsigned char>(at[i])}; };
  return byte(0) | byte(count / 2) << 8 | byte(count - 1) << 16;
}

// Each byte 'A'-'Z' of the word made 'a'-'z'; every other byte, those from
// 0x80 on included, left as it is.
uint64_t LowerWord(uint64_t word) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu, kHigh = 0x8080808080808080u;
  const uint64_t seven = word & kLow7;
  const uint64_t atLeastA = seven + 0x3F3F3F3F3F3F3F3Fu;   // high bit: byte >= 'A'
  const uint64_t aboveZ = seven + 0x2525252525252525u;     // high bit: byte > 'Z'
  const uint64_t upper = atLeastA & ~aboveZ & ~word & kHigh;
  return word | upper >> 2;
}

// Calls visit(at, count) for the words of a text of `size` bytes, as long as
// it returns true: the whole words from the front, then the last eight bytes
// (overlapping the words before) or, for a text shorter than eight, its one
// short word. Returns whether every call returned true.
template <typename Visit>
bool AllWords(std::size_t size, Visit&& visit) {
  if (size < 8) return visit(0, size);
  for (std::size_t at = 0; at + 8 < size; at += 8)
    if (!visit(at, 8)) return false;
  return visit(size - 8, 8);
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && AllWords(a.size(), [&](std::size_t at, std::size_t count) {
           return LowerWord(WordAt(a.data() + at, count)) == LowerWord(WordAt(b.data() + at, count));
         });
}

// The lower-cased words and the length, multiplied in and mixed at the end,
// because the index uses the low bits and vertex identifiers tend to differ
// only in their last digits.
uint32_t HashIgnoringCase(std::string_view text) {
  uint64_t hash = text.size() * 0x9E3779B97F4A7C15u;
  AllWords(text.size(), [&](std::size_t at, std::size_t count) {
    hash = (hash ^ LowerWord(WordAt(text.data() + at, count))) * 0xBF58476D1CE4E5B9u;
    return true;
  });
  hash ^= hash >> 31;
  hash *= 0x94D049BB133111EBu;
  return static_cast<uint32_t>(hash >> 32);
}

// Blanks and control characters.
bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string Trim(const std::string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && IsTrimmed(text[first])) ++first;
  while (last > first && IsTrimmed(text[last - 1])) --last;
  return text.substr(first, last - first);
}

template <typename T>
int AppendOwned(std::vector<std::unique_ptr<T>>& list, std::unique_ptr<T> object) {
  CheckPresent(object);
  list.push_back(std::move(object));
  return static_cast<int>(list.size() - 1);
}

template <typename T>
T& OwnedAt(const std::vector<std::unique_ptr<T>>& list, int index) {
  CheckIndex(index, list.size());
  return *list[static_cast<std::size_t>(index)];
}

}  // namespace

// ---- TUVCoordinates ----

void TUVCoordinates::Add(float u, float v) { FCoordinates.push_back({u, v}); }

TUVCoordinate& TUVCoordinates::EnsureCoordinate(int index) {
  if (index < 0) RaiseListIndexError(index);
  const auto position = static_cast<std::size_t>(index);
  if (position >= FCoordinates.size()) FCoordinates.resize(static_cast<uint32_t>(position + 1));
  return FCoordinates[static_cast<uint32_t>(position)];
}

TUVCoordinate TUVCoordinates::CoordinateOrZero(int index) const {
  if (index < 0) RaiseListIndexError(index);
  const auto position = static_cast<uint32_t>(index);
  return position < FCoordinates.size() ? FCoordinates[position] : TUVCoordinate{};
}

// ---- TProperties ----

void TProperties::Parse(std::string_view text) {
  std::string name, value;
  bool inValue = false;
  for (const char c : text) {
    if (c == '|') {
      // Even an empty entry gives a pair.
      Add(Trim(name), std::move(value));
      name.clear();
      value.clear();
      inValue = false;
    } else if (inValue) {
      value += c;
    } else if (c == ' ') {
      inValue = true;
    } else {
      name += c;
    }
  }
  // Without a closing bar only an entry that has a name counts, so that a
  // trailing bar adds nothing more.
  if (!name.empty()) Add(Trim(name), std::move(value));
}

void TProperties::Add(std::string name, std::string value) {
  Names.push_back(std::move(name));
  Values.push_back(std::move(value));
}

std::string TProperties::GetValue(std::string_view name) const {
  for (std::size_t i = 0; i < Names.size() && i < Values.size(); ++i)
    if (SameTextIgnoringCase(Names[i], name)) return Values[i];
  return {};
}

const std::string& TProperties::GetName(int index) const {
  CheckIndex(index, Names.size());
  return Names[static_cast<std::size_t>(index)];
}

const std::string& TProperties::GetValueAt(int index) const {
  CheckIndex(index, Values.size());
  return Values[static_cast<std::size_t>(index)];
}

// ---- TPolygon ----

int TPolygon::AddVertex(TVertex* vertex) {
  CheckPresent(vertex);
  FVertices.push_back(vertex);
  return static_cast<int>(FVertices.size() - 1);
}

void TPolygon::Reserve(int corners, int uvSets) {
  FVertices.reserve(static_cast<uint32_t>(corners > 0 ? corners : 0));
  if (uvSets > 1) FMoreUVSets.reserve(static_cast<std::size_t>(uvSets - 1));
}

const TVertex* TPolygon::GetVertex(int index) const {
  CheckIndex(index, FVertices.size());
  return FVertices[static_cast<uint32_t>(index)];
}

TUVCoordinates& TPolygon::EnsureUVCoordinates(int layer) {
  if (layer < 0) RaiseListIndexError(layer);
  const auto position = static_cast<std::size_t>(layer);
  if (position >= FUVSetCount) {
    if (position > 0) FMoreUVSets.resize(position);
    FUVSetCount = static_cast<uint32_t>(position + 1);
  }
  return position == 0 ? FFirstUVSet : FMoreUVSets[position - 1];
}

TUVCoordinate TPolygon::GetUVCoordinate(int layer, int corner) const {
  if (layer < 0) RaiseListIndexError(layer);
  const auto position = static_cast<std::size_t>(layer);
  if (position >= FUVSetCount) {
    if (corner < 0) RaiseListIndexError(corner);
    return {};
  }
  return UVSet(static_cast<uint32_t>(position)).CoordinateOrZero(corner);
}

const TNormal& TPolygon::CalculateNormal() {
  // Newell's sums with the sign reversed, accumulated in double from the
  // single-precision corners; starting from the last corner closes the loop.
  const TVertex* previous = GetVertex(VertexCount() - 1);
  double nx = 0, ny = 0, nz = 0;
  for (const TVertex* current : FVertices) {
    nx += (static_cast<double>(previous->Z) + current->Z) * (static_cast<double>(current->Y) - previous->Y);
    ny += (static_cast<double>(previous->X) + current->X) * (static_cast<double>(current->Z) - previous->Z);
    nz += (static_cast<double>(previous->Y) + current->Y) * (static_cast<double>(current->X) - previous->X);
    previous = current;
  }
  const double length = std::max(std::sqrt(nx * nx + ny * ny + nz * nz), kMinimumNormalLength);
  FaceNormal.X = static_cast<float>(nx / length);
  FaceNormal.Y = static_cast<float>(ny / length);
  FaceNormal.Z = static_cast<float>(nz / length);
  return FaceNormal;
}

void TPolygon::AddNormal(float x, float y, float z) {
  // One normal per corner is what will be added; growing by doubling would
  // waste room in every polygon.
  if (FNormals.empty()) FNormals.reserve(std::max<uint32_t>(FVertices.size(), 1));
  FNormals.push_back({x, y, z});
}

TVertex TPolygon::GetNormal(int index) const {
  const TNormal& normal = NormalAt(index);
  return {normal.X, normal.Y, normal.Z};
}

const TNormal& TPolygon::NormalAt(int index) const {
  if (FNormals.empty()) RaiseError("Normals have not been calculated yet.");
  CheckIndex(index, FNormals.size());
  return FNormals[static_cast<uint32_t>(index)];
}

// ---- TMaterial ----

int TMaterial::AddLayer(std::unique_ptr<TMaterialLayer> layer) { return AppendOwned(FLayers, std::move(layer)); }

const TMaterialLayer& TMaterial::GetLayer(int index) const { return OwnedAt(FLayers, index); }

bool TMaterial::HasLightmap() const {
  return std::any_of(FLayers.begin(), FLayers.end(), [](const auto& layer) { return layer->IsLightmap; });
}

// ---- TMaterialCategory ----

void TMaterialCategory::AddMaterial(TMaterial* material) {
  CheckPresent(material);
  FMaterials.push_back(material);
}

const TMaterial* TMaterialCategory::GetMaterial(int index) const {
  CheckIndex(index, FMaterials.size());
  return FMaterials[static_cast<std::size_t>(index)];
}

// ---- TPrimitive ----

void TPrimitive::AddVertex(std::unique_ptr<TVertex> vertex) {
  CheckPresent(vertex);
  FAdoptedVertices.reserve(FAdoptedVertices.size() + 1);
  FVertices.reserve(FVertices.size() + 1);
  TVertex& adopted = *vertex;
  FAdoptedVertices.push_back(std::move(vertex));
  FileVertex(adopted);
}

TVertex& TPrimitive::MakeVertex(std::string_view id) {
  FVertices.reserve(FVertices.size() + 1);
  TVertex& vertex = FVertexBlocks.Emplace();
  vertex.Id = id;
  FileVertex(vertex);
  return vertex;
}

void TPrimitive::ReserveVertices(int count) {
  if (count <= 0) return;
  FVertexBlocks.Reserve(static_cast<std::size_t>(count));
  FVertices.reserve(FVertices.size() + static_cast<std::size_t>(count));
}

void TPrimitive::ReservePolygons(int count) {
  if (count <= 0) return;
  FPolygonBlocks.Reserve(static_cast<std::size_t>(count));
  FPolygons.reserve(FPolygons.size() + static_cast<std::size_t>(count));
}

// Appends a vertex already owned and files it under its identifier; room in
// FVertices is made before, so that nothing here can fail half-way.
void TPrimitive::FileVertex(TVertex& vertex) {
  // At most three quarters of the slots in use keeps probe sequences short.
  if ((static_cast<std::size_t>(FIndexedVertices) + 1) * 4 > FVertexSlots.size() * 3)
    RebuildVertexIndex(std::max<std::size_t>(16, FVertexSlots.size() * 2));
  vertex.Index = static_cast<int32_t>(FVertices.size());
  FVertices.push_back(&vertex);
  IndexVertex(static_cast<uint32_t>(FVertices.size() - 1));
}

int TPrimitive::IndexOfVertexId(std::string_view id) const {
  if (FVertexSlots.empty()) return -1;
  const std::size_t mask = FVertexSlots.size() - 1;
  // Triangular probing visits every slot of a power-of-two table, and one
  // slot at least is always free.
  for (std::size_t i = HashIgnoringCase(id) & mask, step = 1;; i = (i + step++) & mask) {
    const uint32_t slot = FVertexSlots[i];
    if (slot == 0) return -1;
    if (SameTextIgnoringCase(FVertices[slot - 1]->Id, id)) return static_cast<int>(slot - 1);
  }
}

void TPrimitive::IndexVertex(uint32_t index) {
  const std::string& id = FVertices[index]->Id;
  const std::size_t mask = FVertexSlots.size() - 1;
  for (std::size_t i = HashIgnoringCase(id) & mask, step = 1;; i = (i + step++) & mask) {
    uint32_t& slot = FVertexSlots[i];
    if (slot == 0) {
      slot = index + 1;
      ++FIndexedVertices;
      return;
    }
    // An identifier already present stays with its first vertex.
    if (SameTextIgnoringCase(FVertices[slot - 1]->Id, id)) return;
  }
}

void TPrimitive::RebuildVertexIndex(std::size_t slotCount) {
  FVertexSlots.assign(slotCount, 0);
  FIndexedVertices = 0;
  for (std::size_t i = 0; i < FVertices.size(); ++i) IndexVertex(static_cast<uint32_t>(i));
}

const TVertex* TPrimitive::FindVertex(std::string_view id) const {
  const int index = IndexOfVertexId(id);
  return index < 0 ? nullptr : FVertices[static_cast<std::size_t>(index)];
}

const TVertex& TPrimitive::GetVertex(int index) const {
  CheckIndex(index, FVertices.size());
  return *FVertices[static_cast<std::size_t>(index)];
}

int TPrimitive::AddPolygon(std::unique_ptr<TPolygon> polygon) {
  CheckPresent(polygon);
  FAdoptedPolygons.reserve(FAdoptedPolygons.size() + 1);
  FPolygons.push_back(polygon.get());
  FAdoptedPolygons.push_back(std::move(polygon));
  return static_cast<int>(FPolygons.size() - 1);
}

TPolygon& TPrimitive::MakePolygon() {
  FPolygons.reserve(FPolygons.size() + 1);
  TPolygon& polygon = FPolygonBlocks.Emplace();
  FPolygons.push_back(&polygon);
  return polygon;
}

const TPolygon& TPrimitive::GetPolygon(int index) const {
  CheckIndex(index, FPolygons.size());
  return *FPolygons[static_cast<std::size_t>(index)];
}

TProperties& TPrimitive::Properties() {
  if (!FProperties) FProperties = std::make_unique<TProperties>(Tag);
  return *FProperties;
}

const TMaterial* TPrimitive::GetMainMaterial() const { return FPolygons.empty() ? nullptr : FPolygons.front()->Material; }

void TPrimitive::CalculateNormals(float smoothingAngle) {
  // Unit face normals are compared by their dot product: a neighbour counts
  // when the angle between the faces is below the smoothing angle.
  const auto threshold = static_cast<float>(std::cos(static_cast<double>(smoothingAngle) * (std::numbers::pi / 180)));

  // The index in FVertices of every corner, polygon after polygon. Corners are
  // matched to vertices by identity, so polygons that merely touch through
  // other vertices at the same position, or in another primitive, stay apart.
  std::size_t cornerCount = 0;
  for (const auto& polygon : FPolygons) cornerCount += static_cast<std::size_t>(polygon->VertexCount());
  std::vector<uint32_t> cornerVertex;
  cornerVertex.reserve(cornerCount);
  for (const auto& polygon : FPolygons) {
    for (int j = 0; j < polygon->VertexCount(); ++j) {
      const TVertex* vertex = polygon->GetVertex(j);
      const auto index = static_cast<std::size_t>(vertex->Index);
      if (vertex->Index < 0 || index >= FVertices.size() || FVertices[index] != vertex) RaiseListIndexError(-1);
      cornerVertex.push_back(static_cast<uint32_t>(index));
    }
  }

  // Every face normal once, before any polygon receives normals: a polygon
  // without corners fails here and leaves the primitive as it was. The
  // results are the same as recomputing each neighbour's normal at every
  // corner that meets it.
  for (TPolygon* polygon : FPolygons) polygon->CalculateNormal();

  // For every vertex the polygons meeting at it, in polygon and corner order,
  // as one array: the polygons of vertex v are neighbours[first[v]] up to
  // neighbours[first[v + 1]]. A polygon using a vertex twice is listed twice.
  std::vector<uint32_t> first(FVertices.size() + 1, 0);
  for (const uint32_t vertex : cornerVertex) ++first[vertex];
  for (std::size_t v = 1; v < first.size(); ++v) first[v] += first[v - 1];  // first[v] = end of v's run
  std::vector<uint32_t> neighbours(cornerVertex.size());
  std::size_t corner = cornerVertex.size();
  for (std::size_t p = FPolygons.size(); p-- > 0;) {
    // Filling from the back moves each end down to its start and keeps the order.
    for (int j = FPolygons[p]->VertexCount(); j-- > 0;) {
      const uint32_t vertex = cornerVertex[--corner];
      neighbours[--first[vertex]] = static_cast<uint32_t>(p);
    }
  }

  corner = 0;
  for (std::size_t p = 0; p < FPolygons.size(); ++p) {
    TPolygon& polygon = *FPolygons[p];
    const TVector normal = VertexToVector(polygon.FaceNormal);
    for (int j = 0; j < polygon.VertexCount(); ++j) {
      const uint32_t vertex = cornerVertex[corner++];
      TVector sum = normal;
      for (uint32_t k = first[vertex]; k < first[vertex + 1]; ++k) {
        const uint32_t other = neighbours[k];
        if (other == p) continue;
        const TVector otherNormal = VertexToVector(FPolygons[other]->FaceNormal);
        if (VectorDot(otherNormal, normal) > threshold) sum = VectorAdd(sum, otherNormal);
      }
      const TVector smoothed = VectorNormalize(sum);
      polygon.AddNormal(static_cast<float>(smoothed.X), static_cast<float>(smoothed.Y), static_cast<float>(smoothed.Z));
    }
  }
  FHasNormals = true;
}

// ---- TScene ----

void TScene::AddMaterial(std::unique_ptr<TMaterial> material) {
  CheckPresent(material);
  // Categories are told apart without regard to letter case: keyed by
  // their lower-cased name, found in constant time however many there are.
  std::string key = material->Category;
  for (char& c : key) c = Lower(c);
  TMaterialCategory*& category = FCategoryIndex[std::move(key)];
  if (!category) {
    auto created = std::make_unique<TMaterialCategory>();
    created->Name = material->Category;
    category = created.get();
    FCategories.push_back(std::move(created));
  }
  TMaterial* filed = material.get();
  FMaterials.push_back(std::move(material));
  FMaterialIndex.emplace(filed, static_cast<int>(FMaterials.size() - 1));
  category->AddMaterial(filed);
}

int TScene::AddPrimitive(std::unique_ptr<TPrimitive> primitive) { return AppendOwned(FPrimitives, std::move(primitive)); }

int TScene::AddLight(std::unique_ptr<TLight> light) { return AppendOwned(FLights, std::move(light)); }

const TMaterial& TScene::GetMaterial(int index) const { return OwnedAt(FMaterials, index); }

const TPrimitive& TScene::GetPrimitive(int index) const { return OwnedAt(FPrimitives, index); }

const TLight& TScene::GetLight(int index) const { return OwnedAt(FLights, index); }

const TMaterialCategory& TScene::GetCategory(int index) const { return OwnedAt(FCategories, index); }

int TScene::IndexOfMaterial(const TMaterial* material) const {
  const auto found = FMaterialIndex.find(material);
  return found == FMaterialIndex.end() ? -1 : found->second;
}

const TMaterial* TScene::FindMaterial(std::string_view id) const {
  // A plain search: the reader files a material before it reads its Id, so an
  // index keyed by Id at filing time would be wrong, and scenes hold few materials.
  for (const auto& material : FMaterials)
    if (material->Id == id) return material.get();
  return nullptr;
}

void TScene::CalculateNormals(float smoothingAngle) {
  // Each primitive's normals depend on that primitive alone: they are
  // computed on every core, and raise as a loop in order would.
  ForEachInParallel(FPrimitives.size(), [&](std::size_t p) {
    if (!FPrimitives[p]->HasNormals()) FPrimitives[p]->CalculateNormals(smoothingAngle);
  });
}
