#pragma once
// Turns the editor's scene document into a TScene: materials with their
// layers, primitives with vertices and polygons, and lights. Positions and
// light ranges are multiplied by Scale (millimetres per editor unit). A scene
// in which a scaled coordinate is not a finite number is refused, naming the
// vertex ("Vertex "%s" of primitive "%s" has a coordinate that is not a finite
// number.") or the light.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "uScene.h"

class TXMLNode;

class TXMLSceneReader {
public:
  float Scale = 1.0f;
  // Progress in percent: parsing covers 0 to 50, building 50 to 100.
  std::function<void(int percent)> OnProgress;

  // Asks the editor for its scene through the host callback and reads it.
  std::unique_ptr<TScene> ReadScene();
  // Reads a scene document as the editor would reply it (it is trimmed first).
  std::unique_ptr<TScene> ReadSceneText(std::string text);

private:
  void ReportParseProgress(int32_t position, int32_t total);
  void ReportBuildProgress(const TXMLNode& node);

  void ReadSettings(const TXMLNode& node, TScene& scene);
  void ReadMaterials(const TXMLNode& node, TScene& scene);
  void ReadMaterial(const TXMLNode& node, const std::string& category, TScene& scene);
  void ReadLayer(const TXMLNode& node, TMaterial& material);
  // Frees the node tree's primitives that have been read as it goes.
  void ReadPrimitives(TXMLNode& node, TScene& scene);
  // How many primitives are read between two releases: few enough to keep the
  // tree's part small, many enough that a release is worth its search.
  static constexpr int kReleaseEvery = 16;
  void ReadVertices(const TXMLNode& node, TPrimitive& primitive);
  void ReadPolygons(const TXMLNode& node, TPrimitive& primitive);
  void ReadLights(const TXMLNode& node, TScene& scene);
  void ReadLight(const TXMLNode& node, TLight& light);

  struct TTextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };

  int32_t FTotal = 0;
  // Materials by identifier, the first of each: what FindMaterial answers,
  // without a search through all materials for every polygon.
  std::unordered_map<std::string, TMaterial*, TTextHash, std::equal_to<>> FMaterialsById;
  // "u0", "v0", "u1", ...: the names of the UV attributes of layer n.
  std::vector<std::pair<std::string, std::string>> FUVNames;
};
