#pragma once
// Reads a <primitive> element of a scene document straight from its text,
// into what TXMLSceneReader makes of the same element read through the XML
// tree: the bulk of a level (its vertices, polygons and texture coordinates)
// without tokens, interned names and attribute lists in between.
//
// It takes an element only in the form it can read exactly as the tree
// would give it: markup as the XML scanner accepts it, the elements the
// scene reader reads (tag, vertices, polygons, vertex, poly) named in lower
// case, white space between them, and values the scene accepts. At anything
// else (a comment, other text, another element, an error of the document or
// of the scene) it gives up, and the parser and the tree read the element,
// or report its error, as ever. Giving up costs time only, never a
// difference in the scene.

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "scene/uScene.h"

struct TTextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// Materials by identifier, the first material of each: what a polygon's
// "mid" finds.
using TMaterialsById = std::unordered_map<std::string, TMaterial*, TTextHash, std::equal_to<>>;

class TPrimitiveTextReader {
public:
  // Positions are multiplied by `scale`; `materials` must stay as it is
  // while the reader reads.
  TPrimitiveTextReader(float scale, const TMaterialsById& materials) : FScale(scale), FMaterials(materials) {}

  // `text` starts at the element's "<" and runs to the document's end. The
  // element's length through its end tag, with the primitive in `primitive`;
  // 0 when the reader gives up (`primitive` is empty then).
  std::size_t Read(std::string_view text, std::unique_ptr<TPrimitive>& primitive);

  // Texture coordinate sets beyond this many in one polygon are left to the tree.
  static constexpr int kMaxLayers = 8;

private:
  // A piece of the text, without the initialisation std::string_view has.
  struct TText {
    const char* Data;
    std::size_t Size;
  };
  struct TVertexText {
    std::string_view Id;
    float X, Y, Z;
  };
  struct TPolygonText {
    TMaterial* Material;
    int Layers;
    uint32_t FirstCorner;
    uint32_t Corners;
    uint32_t FirstCoordinate;  // in FCoordinates: corner k's set n is FirstCoordinate + k * Layers + n
  };

  bool ReadPrimitive(TPrimitive& primitive);
  bool ReadTag(std::string& tag);
  bool ReadVertices(TPrimitive& primitive);
  bool ReadPolygons(TPrimitive& primitive);
  bool ReadPolygon(TPrimitive& primitive);
  bool ReadCorner(TPrimitive& primitive, const TPolygonText& polygon);
  template <typename OnAttribute>
  bool ReadAttributes(bool& empty, OnAttribute&& onAttribute);
  bool Decode(std::string_view raw, bool reference, std::string_view& value);
  bool CanDecode(std::string_view raw, bool reference);
  bool NextMarkup(bool& end, std::string_view& name);
  template <std::size_t N>
  bool EndTag(const char (&name)[N]);
  template <std::size_t N>
  bool EndOfEmptyContent(const char (&name)[N]);
  TMaterial* FindMaterial(std::string_view id);

  const float FScale;
  const TMaterialsById& FMaterials;
  const char* FPosition = nullptr;
  const char* FEnd = nullptr;
  std::string_view FLastMaterialId;
  TMaterial* FLastMaterial = nullptr;
  bool FHasLastMaterial = false;
  // Reused from element to element.
  std::vector<TVertexText> FVertices;
  std::vector<TPolygonText> FPolygons;
  std::vector<TVertex*> FCorners;
  std::vector<TUVCoordinate> FCoordinates;
  // Values whose entity references were decoded; a deque keeps them in place.
  std::deque<std::string> FDecoded;
};
