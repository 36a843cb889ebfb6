#include "cli/uSceneSummary.h"

#include <algorithm>
#include <string>

#include "asset/KVPhysicsExporterCl.h"
#include "base/uNumbers.h"
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

// Metres to the millimetre, which is as fine as a level is built.
std::string Metres(double value) { return FormatFixed(value, 3); }

std::string Point(const double (&point)[3]) {
  return "(" + Metres(point[0]) + ", " + Metres(point[1]) + ", " + Metres(point[2]) + ")";
}
}  // namespace

TSceneBox SceneBoxInMetres(const TScene& scene) {
  TSceneBox box;
  for (int i = 0; i < scene.PrimitiveCount(); ++i) {
    const TPrimitive& primitive = scene.GetPrimitive(i);
    for (int j = 0; j < primitive.VertexCount(); ++j) {
      const TVertex& vertex = primitive.GetVertex(j);
      const double position[3] = {vertex.X / 1000.0, vertex.Y / 1000.0, vertex.Z / 1000.0};
      for (int axis = 0; axis < 3; ++axis) {
        box.Min[axis] = box.Empty ? position[axis] : std::min(box.Min[axis], position[axis]);
        box.Max[axis] = box.Empty ? position[axis] : std::max(box.Max[axis], position[axis]);
      }
      box.Empty = false;
    }
  }
  return box;
}

void WriteMissingTextures(const std::vector<std::string>& missing, const std::string& folder, std::ostream& out) {
  out << "\nMissing textures in " << folder << ": " << (missing.empty() ? "none" : std::to_string(missing.size()))
      << '\n';
  for (const std::string& name : missing) out << "  " << name << '\n';
}

void WriteSceneSummary(const TScene& scene, float millimetres, std::ostream& out) {
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
  // Editor units mean nothing to the user: the size is what the export makes
  // of them, x across, y up, z deep.
  const TSceneBox box = SceneBoxInMetres(scene);
  if (box.Empty) {
    out << "Size: none (no vertices)\n";
  } else {
    out << "Size: " << Metres(box.Max[0] - box.Min[0]) << " x " << Metres(box.Max[1] - box.Min[1]) << " x "
        << Metres(box.Max[2] - box.Min[2]) << " m (width x height x depth at " << FormatGeneral(millimetres)
        << " mm per editor unit)\n";
    out << "Bounds: " << Point(box.Min) << " to " << Point(box.Max) << " m\n";
  }

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
        << Count(primitive.PolygonCount(), "polygon", "polygons")
        << (KVPhysicsExporterT::IsCollisionVolume(primitive) ? ", collision volume" : "") << '\n';
  }
}
