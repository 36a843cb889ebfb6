#include "cli/uSceneSummary.h"

#include <string>

#include "scene/uColor.h"
#include "scene/uScene.h"
#include "scene/uXMLSceneConstants.h"

namespace {
std::string Count(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

void WriteLayer(const TMaterialLayer& layer, int index, std::ostream& out) {
  out << "    layer " << index << ": ";
  if (layer.IsLightmap)
    out << "lightmap";
  else
    out << KeywordOf(LayerTypeKeywords, layer.LayerType);
  out << ", " << KeywordOf(BlendOperationKeywords, layer.Blend);
  if (layer.LayerType == lyTexture) {
    out << ", file " << layer.TextureFile;
  } else {
    const TColorBytes color = SplitColor(layer.Color);
    out << ", color r=" << int{color.Red} << " g=" << int{color.Green} << " b=" << int{color.Blue}
        << " a=" << int{color.Alpha};
  }
  out << '\n';
}
}  // namespace

void WriteSceneSummary(const TScene& scene, std::ostream& out) {
  int layers = 0;
  for (int i = 0; i < scene.MaterialCount(); ++i) layers += scene.GetMaterial(i).LayerCount();
  int vertices = 0, polygons = 0;
  for (int i = 0; i < scene.PrimitiveCount(); ++i) {
    vertices += scene.GetPrimitive(i).VertexCount();
    polygons += scene.GetPrimitive(i).PolygonCount();
  }

  out << "Scene: " << scene.Name << '\n';
  out << "Author: " << scene.Author << '\n';
  out << "Categories: " << scene.CategoryCount() << '\n';
  out << "Materials: " << scene.MaterialCount() << '\n';
  out << "Layers: " << layers << '\n';
  out << "Primitives: " << scene.PrimitiveCount() << '\n';
  out << "Vertices: " << vertices << '\n';
  out << "Polygons: " << polygons << '\n';
  out << "Lights: " << scene.LightCount() << '\n';

  if (scene.MaterialCount() > 0) out << "\nMaterials:\n";
  for (int i = 0; i < scene.MaterialCount(); ++i) {
    const TMaterial& material = scene.GetMaterial(i);
    out << "  " << material.Id << " \"" << material.Name << "\" (category " << material.Category << ")\n";
    for (int j = 0; j < material.LayerCount(); ++j) WriteLayer(material.GetLayer(j), j, out);
  }

  if (scene.PrimitiveCount() > 0) out << "\nPrimitives:\n";
  for (int i = 0; i < scene.PrimitiveCount(); ++i) {
    const TPrimitive& primitive = scene.GetPrimitive(i);
    out << "  " << primitive.Id << " \"" << primitive.Name << "\": "
        << KeywordOf(PrimitiveTypeKeywords, primitive.PrimitiveType) << ", "
        << Count(primitive.VertexCount(), "vertex", "vertices") << ", "
        << Count(primitive.PolygonCount(), "polygon", "polygons") << '\n';
  }
}
