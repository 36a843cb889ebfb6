#include "cli/uSceneJson.h"

#include <nlohmann/json.hpp>

#include "asset/KVPhysicsExporterCl.h"
#include "cli/uSceneSummary.h"
#include "scene/uColor.h"
#include "scene/uScene.h"
#include "scene/uXMLSceneConstants.h"

using nlohmann::json;

namespace {
json Layer(const TMaterialLayer& layer) {
  json result = {{"type", layer.IsLightmap ? std::string("lightmap") : std::string(KeywordOf(LayerTypeKeywords, layer.LayerType))},
                 {"blend", KeywordOf(BlendOperationKeywords, layer.Blend)}};
  if (layer.LayerType == lyTexture) {
    result["file"] = layer.TextureFile;
  } else {
    const TColorBytes color = SplitColor(layer.Color);
    result["color"] = {{"r", color.Red}, {"g", color.Green}, {"b", color.Blue}, {"a", color.Alpha}};
  }
  return result;
}

json Size(const TScene& scene) {
  const TSceneBox box = SceneBoxInMetres(scene);
  if (box.Empty) return nullptr;
  return {{"width", box.Max[0] - box.Min[0]},
          {"height", box.Max[1] - box.Min[1]},
          {"depth", box.Max[2] - box.Min[2]},
          {"min", box.Min},
          {"max", box.Max}};
}
}  // namespace

void WriteSceneJson(const TScene& scene, float millimetres, const TDrawCalls* drawCalls,
                    const std::vector<std::string>* missingTextures, std::ostream& out) {
  int layers = 0, vertices = 0, polygons = 0;
  json materials = json::array(), primitives = json::array();
  for (int i = 0; i < scene.MaterialCount(); ++i) {
    const TMaterial& material = scene.GetMaterial(i);
    json materialLayers = json::array();
    for (int j = 0; j < material.LayerCount(); ++j) materialLayers.push_back(Layer(material.GetLayer(j)));
    layers += material.LayerCount();
    materials.push_back(
        {{"id", material.Id}, {"name", material.Name}, {"category", material.Category}, {"layers", materialLayers}});
  }
  for (int i = 0; i < scene.PrimitiveCount(); ++i) {
    const TPrimitive& primitive = scene.GetPrimitive(i);
    vertices += primitive.VertexCount();
    polygons += primitive.PolygonCount();
    primitives.push_back({{"id", primitive.Id},
                          {"name", primitive.Name},
                          {"type", KeywordOf(PrimitiveTypeKeywords, primitive.PrimitiveType)},
                          {"vertices", primitive.VertexCount()},
                          {"polygons", primitive.PolygonCount()},
                          {"collisionVolume", KVPhysicsExporterT::IsCollisionVolume(primitive)}});
  }
  json document = {{"scene", scene.Name},
                   {"author", scene.Author},
                   {"categories", scene.CategoryCount()},
                   {"layers", layers},
                   {"vertices", vertices},
                   {"polygons", polygons},
                   {"lights", scene.LightCount()},
                   {"millimetresPerUnit", millimetres},
                   {"sizeInMetres", Size(scene)},
                   {"materials", materials},
                   {"primitives", primitives}};
  if (drawCalls) document["drawCalls"] = {{"plain", drawCalls->Plain}, {"optimized", drawCalls->Optimized}};
  if (missingTextures) document["missingTextures"] = *missingTextures;
  out << document.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
}
