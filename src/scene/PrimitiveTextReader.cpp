#include "scene/PrimitiveTextReader.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "base/uException.h"
#include "base/uNumbers.h"
#include "scene/uXMLSceneConstants.h"
#include "xml/XMLCharacters.h"
#include "xml/uXMLEntities.h"
#include "xml/uXMLNode.h"

// Every function below returns false where the reader gives up. The markup
// rules are the XML scanner's (src/xml/uXMLScanner.cpp), restated for the
// forms read here: a name is a run of letters, digits, "_", "." and "-";
// white space is blank, tab, CR and LF; a start tag's name is followed by
// white space or ">"; an attribute is a name, "=" with optional white space
// around it and a value in double quotes, which may hold anything but a
// double quote; attributes are separated by optional white space; a tag ends
// with ">" or "/>"; an end tag is "</", the name and ">". Names of elements
// and attributes count without regard to letter case, as the tree lower-cases
// them; a repeated attribute counts with its last value.
namespace {
using XMLCharacters::IsName;
using XMLCharacters::IsWhite;

// The first character at or after `p` that is no white space, or `end`.
// Elements stand on lines of their own, indented: sixteen characters are
// looked at together.
inline const char* SkipIndentation(const char* p, const char* end) {
#ifdef __SSE2__
  const __m128i blank = _mm_set1_epi8(' '), lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'),
                tab = _mm_set1_epi8('\t');
  for (; end - p >= 16; p += 16) {
    const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i white = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(text, blank), _mm_cmpeq_epi8(text, lf)),
                                       _mm_or_si128(_mm_cmpeq_epi8(text, cr), _mm_cmpeq_epi8(text, tab)));
    const auto other = static_cast<unsigned>(~_mm_movemask_epi8(white)) & 0xFFFFu;
    if (other != 0) return p + std::countr_zero(other);
  }
#endif
  while (p != end && IsWhite(*p)) ++p;
  return p;
}

// The double quote that ends a value starting at `p`, or nullptr; `reference`
// is set when an "&" comes before it.
inline const char* FindValueEnd(const char* p, const char* end, bool& reference) {
#ifdef __SSE2__
  const __m128i quote = _mm_set1_epi8('"'), ampersand = _mm_set1_epi8('&');
  for (; end - p >= 16; p += 16) {
    const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const auto quotes = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(text, quote)));
    const auto ampersands = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(text, ampersand)));
    if (quotes != 0) {
      const int first = std::countr_zero(quotes);
      if (ampersands & ((1u << first) - 1)) reference = true;
      return p + first;
    }
    if (ampersands != 0) reference = true;
  }
#endif
  for (; p != end; ++p) {
    if (*p == '"') return p;
    if (*p == '&') reference = true;
  }
  return nullptr;
}

// Whether an attribute name, as the document spells it, is `lower` (lower
// case letters and digits). Setting bit 5 lower-cases a letter and leaves a
// digit as it is; of the other name characters none can meet a letter or a
// digit that way.
inline bool NameIs(std::string_view name, std::string_view lower) {
  if (name.size() != lower.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if ((name[i] | 0x20) != lower[i]) return false;
  return true;
}

// Whether an element name is exactly `literal`: a comparison of known length,
// which the compiler turns into a few loads, where operator== calls memcmp.
template <std::size_t N>
inline bool Is(std::string_view name, const char (&literal)[N]) {
  return name.size() == N - 1 && std::memcmp(name.data(), literal, N - 1) == 0;
}

// The number n of an attribute "un" or "vn" (any letter case) as the scene
// reader names the texture coordinates of layer n, n written as
// std::to_string writes it; -1 for any other name or a layer beyond `layers`.
inline int CoordinateLayer(std::string_view name, int layers) {
  if (name.size() < 2 || name.size() > 3) return -1;
  if (name[1] < '0' || name[1] > '9' || (name[1] == '0' && name.size() > 2)) return -1;
  int layer = name[1] - '0';
  if (name.size() == 3) {
    if (name[2] < '0' || name[2] > '9') return -1;
    layer = layer * 10 + (name[2] - '0');
  }
  return layer < layers ? layer : -1;
}

// A position's coordinate as the scene reader reads it: the float times the
// scale, computed in double and rounded once; false where that leaves the
// float range (the reader refuses such a scene).
inline bool ReadCoordinate(std::string_view text, float scale, float& coordinate) {
  float value = 0;
  if (!TryStrToFloat(text, value)) return false;
  const double scaled = static_cast<double>(value) * scale;
  if (!(std::fabs(scaled) <= std::numeric_limits<float>::max())) return false;
  coordinate = static_cast<float>(scaled);
  return true;
}
}  // namespace

std::size_t TPrimitiveTextReader::Read(std::string_view text, std::unique_ptr<TPrimitive>& primitive) {
  FPosition = text.data();
  FEnd = text.data() + text.size();
  FHasLastMaterial = false;
  FDecoded.clear();
  auto read = std::make_unique<TPrimitive>();
  if (!ReadPrimitive(*read)) {
    primitive.reset();
    return 0;
  }
  primitive = std::move(read);
  return static_cast<std::size_t>(FPosition - text.data());
}

// The value with its entity references decoded as the tree decodes them.
// A numeric reference beyond the 32-bit range is the tree's error to raise.
bool TPrimitiveTextReader::Decode(std::string_view raw, bool reference, std::string_view& value) {
  if (!reference) {
    value = raw;
    return true;
  }
  std::string& decoded = FDecoded.emplace_back(raw.size(), '\0');
  try {
    decoded.resize(DecodeEntitiesInto(raw, decoded.data()));
  } catch (const TException&) {
    return false;
  }
  value = decoded;
  return true;
}

// A value that is not used must still be one the tree takes.
bool TPrimitiveTextReader::CanDecode(std::string_view raw, bool reference) {
  std::string_view ignored;
  return !reference || Decode(raw, true, ignored);
}

// At the character after a start tag's name: its attributes, each handed to
// onAttribute(name, raw value, whether it holds an "&") (false: give up),
// through the tag's end.
// `empty` tells "/>" from ">".
template <typename OnAttribute>
bool TPrimitiveTextReader::ReadAttributes(bool& empty, OnAttribute&& onAttribute) {
  const char* p = FPosition;
  const char* const end = FEnd;
  if (p == end) return false;
  if (*p == '>') {
    FPosition = p + 1;
    empty = false;
    return true;
  }
  if (!IsWhite(*p)) return false;
  ++p;
  for (;;) {
    while (p != end && IsWhite(*p)) ++p;
    if (p == end) return false;
    const char c = *p;
    if (c == '>') {
      FPosition = p + 1;
      empty = false;
      return true;
    }
    if (c == '/') {
      if (p + 1 == end || p[1] != '>') return false;
      FPosition = p + 2;
      empty = true;
      return true;
    }
    if (!IsName(c)) return false;
    const char* const nameStart = p;
    while (++p != end && IsName(*p)) {
    }
    const std::string_view name(nameStart, static_cast<std::size_t>(p - nameStart));
    while (p != end && IsWhite(*p)) ++p;
    if (p == end || *p != '=') return false;
    ++p;
    while (p != end && IsWhite(*p)) ++p;
    if (p == end || *p != '"') return false;
    ++p;
    bool reference = false;
    const char* const close = FindValueEnd(p, end, reference);
    if (!close) return false;
    if (!onAttribute(name, std::string_view(p, static_cast<std::size_t>(close - p)), reference)) return false;
    p = close + 1;
  }
}

// After white space, the next markup: an end tag (`end`) or a start tag whose
// name is `name`, the position then on the character after the name. Text or
// a comment there gives up.
bool TPrimitiveTextReader::NextMarkup(bool& end, std::string_view& name) {
  const char* p = SkipIndentation(FPosition, FEnd);
  if (FEnd - p < 2 || *p != '<') return false;
  if (p[1] == '/') {
    FPosition = p;
    end = true;
    return true;
  }
  const char* const nameStart = ++p;
  while (p != FEnd && IsName(*p)) ++p;
  if (p == nameStart) return false;
  name = std::string_view(nameStart, static_cast<std::size_t>(p - nameStart));
  FPosition = p;
  end = false;
  return true;
}

// At an end tag: it must be exactly that of `name`.
template <std::size_t N>
bool TPrimitiveTextReader::EndTag(const char (&name)[N]) {
  constexpr std::size_t length = N - 1 + 3;
  if (static_cast<std::size_t>(FEnd - FPosition) < length || FPosition[1] != '/' || FPosition[length - 1] != '>' ||
      std::memcmp(FPosition + 2, name, N - 1) != 0)
    return false;
  FPosition += length;
  return true;
}

// The content of an element without children: white space, then its end tag.
template <std::size_t N>
bool TPrimitiveTextReader::EndOfEmptyContent(const char (&name)[N]) {
  bool end = false;
  std::string_view child;
  return NextMarkup(end, child) && end && EndTag(name);
}

TMaterial* TPrimitiveTextReader::FindMaterial(std::string_view id) {
  // Polygons of one material come in runs.
  if (FHasLastMaterial && id == FLastMaterialId) return FLastMaterial;
  const auto found = FMaterials.find(id);
  FLastMaterial = found == FMaterials.end() ? nullptr : found->second;
  FLastMaterialId = id;
  FHasLastMaterial = true;
  return FLastMaterial;
}

bool TPrimitiveTextReader::ReadPrimitive(TPrimitive& primitive) {
  constexpr std::size_t kLength = sizeof "primitive" - 1;
  if (static_cast<std::size_t>(FEnd - FPosition) < kLength + 2 || std::memcmp(FPosition + 1, "primitive", kLength) != 0)
    return false;
  FPosition += 1 + kLength;
  std::string_view id, name, type, visible, snap, autoUV;
  bool hasId = false, hasName = false, hasType = false, hasVisible = false, hasSnap = false, hasAutoUV = false;
  bool empty = false;
  const bool tagRead = ReadAttributes(empty, [&](std::string_view attribute, std::string_view raw, bool reference) {
    std::string_view* value = nullptr;
    bool* has = nullptr;
    if (NameIs(attribute, "id")) {
      value = &id, has = &hasId;
    } else if (NameIs(attribute, "name")) {
      value = &name, has = &hasName;
    } else if (NameIs(attribute, "type")) {
      value = &type, has = &hasType;
    } else if (NameIs(attribute, "visible")) {
      value = &visible, has = &hasVisible;
    } else if (NameIs(attribute, "snap")) {
      value = &snap, has = &hasSnap;
    } else if (NameIs(attribute, "autouv")) {
      value = &autoUV, has = &hasAutoUV;
    } else {
      return CanDecode(raw, reference);
    }
    *has = true;
    return Decode(raw, reference, *value);
  });
  if (!tagRead || !hasId || !hasName || !hasType || !hasVisible || !hasSnap || !hasAutoUV) return false;
  const auto* typeEntry = FindKeyword(PrimitiveTypeKeywords, type);
  const auto* snapEntry = FindKeyword(SnapMethodKeywords, snap);
  if (!typeEntry || !snapEntry) return false;
  primitive.Id = id;
  primitive.Name = name;
  primitive.PrimitiveType = typeEntry->Value;
  primitive.Visible = XMLBoolValue(visible);
  primitive.SnapMethod = snapEntry->Value;
  primitive.AutoUV = XMLBoolValue(autoUV);
  if (empty) return true;

  for (;;) {
    bool end = false;
    std::string_view child;
    if (!NextMarkup(end, child)) return false;
    if (end) return EndTag("primitive");
    if (Is(child, "vertices")) {
      if (!ReadVertices(primitive)) return false;
    } else if (Is(child, "polygons")) {
      if (!ReadPolygons(primitive)) return false;
    } else if (Is(child, "tag")) {
      if (!ReadTag(primitive.Tag)) return false;
    } else {
      return false;
    }
  }
}

// The element's text, as the tree keeps it: character data that holds more
// than white space, decoded. Only character data, no child, is taken.
bool TPrimitiveTextReader::ReadTag(std::string& tag) {
  bool empty = false;
  if (!ReadAttributes(empty, [&](std::string_view, std::string_view raw, bool reference) {
        return CanDecode(raw, reference);
      }))
    return false;
  if (empty) {
    tag.clear();
    return true;
  }
  const auto* lt = static_cast<const char*>(std::memchr(FPosition, '<', static_cast<std::size_t>(FEnd - FPosition)));
  if (!lt) return false;
  const std::string_view raw(FPosition, static_cast<std::size_t>(lt - FPosition));
  bool blank = true;
  for (const char c : raw) blank = blank && IsWhite(c);
  std::string_view text;
  if (!blank && !Decode(raw, std::memchr(raw.data(), '&', raw.size()) != nullptr, text)) return false;
  FPosition = lt;
  if (!EndTag("tag")) return false;
  tag = text;
  return true;
}

bool TPrimitiveTextReader::ReadVertices(TPrimitive& primitive) {
  bool empty = false;
  if (!ReadAttributes(empty, [&](std::string_view, std::string_view raw, bool reference) {
        return CanDecode(raw, reference);
      }))
    return false;
  FVertices.clear();
  if (!empty) {
    for (;;) {
      bool end = false;
      std::string_view child;
      if (!NextMarkup(end, child)) return false;
      if (end) {
        if (!EndTag("vertices")) return false;
        break;
      }
      if (!Is(child, "vertex")) return false;
      std::string_view id, x, y, z;
      bool hasId = false, hasX = false, hasY = false, hasZ = false, vertexEmpty = false;
      const bool tagRead = ReadAttributes(vertexEmpty, [&](std::string_view attribute, std::string_view raw, bool reference) {
        if (attribute.size() == 1) {
          switch (attribute[0] | 0x20) {
            case 'x': hasX = true; return Decode(raw, reference, x);
            case 'y': hasY = true; return Decode(raw, reference, y);
            case 'z': hasZ = true; return Decode(raw, reference, z);
            default: break;
          }
        } else if (NameIs(attribute, "id")) {
          hasId = true;
          return Decode(raw, reference, id);
        }
        return CanDecode(raw, reference);
      });
      if (!tagRead || !hasId || !hasX || !hasY || !hasZ) return false;
      if (!vertexEmpty && !EndOfEmptyContent("vertex")) return false;
      TVertexText& vertex = FVertices.emplace_back();
      vertex.Id = id;
      if (!ReadCoordinate(x, FScale, vertex.X) || !ReadCoordinate(y, FScale, vertex.Y) ||
          !ReadCoordinate(z, FScale, vertex.Z))
        return false;
    }
  }
  primitive.ReserveVertices(static_cast<int>(FVertices.size()));
  for (const TVertexText& read : FVertices) {
    TVertex& vertex = primitive.MakeVertex(read.Id);
    vertex.X = read.X;
    vertex.Y = read.Y;
    vertex.Z = read.Z;
  }
  return true;
}

bool TPrimitiveTextReader::ReadPolygons(TPrimitive& primitive) {
  bool empty = false;
  if (!ReadAttributes(empty, [&](std::string_view, std::string_view raw, bool reference) {
        return CanDecode(raw, reference);
      }))
    return false;
  FPolygons.clear();
  FCorners.clear();
  FCoordinates.clear();
  if (!empty) {
    for (;;) {
      bool end = false;
      std::string_view child;
      if (!NextMarkup(end, child)) return false;
      if (end) {
        if (!EndTag("polygons")) return false;
        break;
      }
      if (!Is(child, "poly") || !ReadPolygon(primitive)) return false;
    }
  }
  // Built as the tree's reader builds them, with the same room made.
  primitive.ReservePolygons(static_cast<int>(FPolygons.size()));
  for (const TPolygonText& read : FPolygons) {
    TPolygon& polygon = primitive.MakePolygon();
    polygon.Material = read.Material;
    const int corners = static_cast<int>(read.Corners);
    polygon.Reserve(corners, read.Layers);
    for (uint32_t k = 0; k < read.Corners; ++k) {
      polygon.AddVertex(FCorners[read.FirstCorner + k]);
      const TUVCoordinate* sets = FCoordinates.data() + read.FirstCoordinate + k * static_cast<uint32_t>(read.Layers);
      for (int n = 0; n < read.Layers; ++n) {
        TUVCoordinates& coordinates = polygon.EnsureUVCoordinates(n);
        if (coordinates.Count() == 0) coordinates.Reserve(corners);
        coordinates.Add(sets[n].U, sets[n].V);
      }
    }
  }
  return true;
}

bool TPrimitiveTextReader::ReadPolygon(TPrimitive& primitive) {
  std::string_view materialId;
  bool hasMaterial = false, empty = false;
  const bool tagRead = ReadAttributes(empty, [&](std::string_view attribute, std::string_view raw, bool reference) {
    if (!NameIs(attribute, "mid")) return CanDecode(raw, reference);
    hasMaterial = true;
    return Decode(raw, reference, materialId);
  });
  if (!tagRead || !hasMaterial) return false;
  TPolygonText polygon{};
  polygon.Material = FindMaterial(materialId);
  polygon.Layers = polygon.Material ? polygon.Material->LayerCount() : 0;
  if (polygon.Layers > kMaxLayers) return false;
  polygon.FirstCorner = static_cast<uint32_t>(FCorners.size());
  polygon.FirstCoordinate = static_cast<uint32_t>(FCoordinates.size());
  if (!empty) {
    for (;;) {
      bool end = false;
      std::string_view child;
      if (!NextMarkup(end, child)) return false;
      if (end) {
        if (!EndTag("poly")) return false;
        break;
      }
      if (!Is(child, "vertex") || !ReadCorner(primitive, polygon)) return false;
    }
  }
  polygon.Corners = static_cast<uint32_t>(FCorners.size()) - polygon.FirstCorner;
  FPolygons.push_back(polygon);
  return true;
}

bool TPrimitiveTextReader::ReadCorner(TPrimitive& primitive, const TPolygonText& polygon) {
  std::string_view vertexId;
  // Left unset but for the layers read (uRead, vRead): a corner is read
  // millions of times, and most have one layer of eight.
  TText u[kMaxLayers], v[kMaxLayers];
  unsigned uRead = 0, vRead = 0;  // bit n: the coordinate of layer n was given
  bool hasVertex = false, empty = false;
  const int layers = polygon.Layers;
  const bool tagRead = ReadAttributes(empty, [&](std::string_view attribute, std::string_view raw, bool reference) {
    const char first = static_cast<char>(attribute[0] | 0x20);
    if (first == 'u' || first == 'v') {
      const int layer = CoordinateLayer(attribute, layers);
      if (layer >= 0) {
        std::string_view value;
        if (!Decode(raw, reference, value)) return false;
        (first == 'u' ? uRead : vRead) |= 1u << layer;
        (first == 'u' ? u : v)[layer] = {value.data(), value.size()};
        return true;
      }
      if (NameIs(attribute, "vid")) {
        hasVertex = true;
        return Decode(raw, reference, vertexId);
      }
    }
    return CanDecode(raw, reference);
  });
  const unsigned all = (1u << layers) - 1;
  if (!tagRead || !hasVertex || uRead != all || vRead != all) return false;
  if (!empty && !EndOfEmptyContent("vertex")) return false;
  // The vertex must be one of the primitive's read so far.
  TVertex* vertex = primitive.FindVertex(vertexId);
  if (!vertex) return false;
  FCorners.push_back(vertex);
  for (int n = 0; n < layers; ++n) {
    TUVCoordinate& coordinate = FCoordinates.emplace_back();
    if (!TryStrToFloat({u[n].Data, u[n].Size}, coordinate.U) || !TryStrToFloat({v[n].Data, v[n].Size}, coordinate.V))
      return false;
  }
  return true;
}
