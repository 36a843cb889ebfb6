#pragma once
// The keywords of the editor's scene documents and the values they stand for.
// Keywords are compared exactly: letter case counts.

#include <string_view>

#include "scene/uScene.h"

template <typename Enum>
struct TKeyword {
  std::string_view Text;
  Enum Value;
};

struct TLayerKeyword {
  std::string_view Text;
  TLayerType Value;
  bool IsLightmap;
};

inline constexpr TLayerKeyword LayerTypeKeywords[] = {
    {"texture", lyTexture, false},
    {"color", lyColor, false},
    {"lightmap", lyTexture, true},
};

inline constexpr TKeyword<TBlendOperation> BlendOperationKeywords[] = {
    {"ignore", boIgnore}, {"replace", boReplace}, {"add", boAdd}, {"modulate", boModulate}, {"alphablend", boAlphaBlend},
};

inline constexpr TKeyword<TSnapMethod> SnapMethodKeywords[] = {
    {"none", smNone}, {"vertex", smVertex}, {"center", smCenter}, {"location", smLocation},
};

inline constexpr TKeyword<TLightType> LightTypeKeywords[] = {
    {"point", ltPoint}, {"directional", ltDirectional}, {"spot", ltSpot},
};

// In the order of the enumeration: entry i is the keyword of value i.
inline constexpr TKeyword<TPrimitiveType> PrimitiveTypeKeywords[] = {
    {"rectangle", ptRectangle},     {"cube", ptCube},
    {"pyramid", ptPyramid},         {"cylinder", ptCylinder},
    {"polyline", ptPolyline},       {"vertice", ptVertice},
    {"sphere", ptSphere},           {"torus", ptTorus},
    {"plane", ptPlane},             {"userdefined", ptUserDefined},
    {"prefab", ptPrefab},           {"undefined", ptUndefined},
    {"grid", ptGrid},               {"pointlight", ptPointLight},
    {"directionalLight", ptDirectionalLight}, {"spotlight", ptSpotlight},
    {"primitive", ptPrimitive},     {"light", ptLight},
    {"ellipse", ptEllipse},         {"text", ptText},
};

// The entry whose keyword is exactly the text, or nothing.
template <typename Entry, std::size_t N>
constexpr const Entry* FindKeyword(const Entry (&table)[N], std::string_view text) {
  for (const Entry& entry : table)
    if (entry.Text == text) return &entry;
  return nullptr;
}

// The keyword of a value, for messages and summaries.
template <typename Entry, std::size_t N, typename Enum>
constexpr std::string_view KeywordOf(const Entry (&table)[N], Enum value) {
  for (const Entry& entry : table)
    if (entry.Value == value) return entry.Text;
  return {};
}
