#pragma once
// The first difference between two scenes, in words, or "" when they hold
// the same: every field of the settings, materials, categories, primitives,
// vertices, polygons, texture coordinates, normals and lights, numbers bit for bit
// (so that -0 and 0 differ), and polygons' references as indices.

#include <cstring>
#include <string>
#include <type_traits>

#include "scene/uScene.h"

namespace scene_difference {
template <typename T>
bool Same(const T& a, const T& b) {
  if constexpr (std::is_floating_point_v<T>)
    return std::memcmp(&a, &b, sizeof(T)) == 0;
  else
    return a == b;
}
}  // namespace scene_difference

inline std::string SceneDifference(const TScene& a, const TScene& b) {
  using scene_difference::Same;
  std::string where;
#define SCENE_SAME(x, y, what)                                        \
  do {                                                                \
    if (!Same((x), (y))) return where + (where.empty() ? "" : ": ") + (what); \
  } while (false)
  SCENE_SAME(a.Name, b.Name, "scene name");
  SCENE_SAME(a.Author, b.Author, "author");
  SCENE_SAME(a.Comments, b.Comments, "comments");
  SCENE_SAME(a.AmbientColor, b.AmbientColor, "ambient colour");
  SCENE_SAME(a.ShadowOpacity, b.ShadowOpacity, "shadow opacity");
  SCENE_SAME(a.MaterialCount(), b.MaterialCount(), "material count");
  for (int m = 0; m < a.MaterialCount(); ++m) {
    const TMaterial& x = a.GetMaterial(m);
    const TMaterial& y = b.GetMaterial(m);
    where = "material " + std::to_string(m);
    SCENE_SAME(x.Id, y.Id, "id");
    SCENE_SAME(x.Name, y.Name, "name");
    SCENE_SAME(x.Tag, y.Tag, "tag");
    SCENE_SAME(x.Category, y.Category, "category");
    SCENE_SAME(x.Used, y.Used, "used");
    SCENE_SAME(x.LayerCount(), y.LayerCount(), "layer count");
    for (int l = 0; l < x.LayerCount(); ++l) {
      SCENE_SAME(x.GetLayer(l).TextureFile, y.GetLayer(l).TextureFile, "texture of layer " + std::to_string(l));
      SCENE_SAME(x.GetLayer(l).Color, y.GetLayer(l).Color, "colour of layer " + std::to_string(l));
      SCENE_SAME(x.GetLayer(l).Blend, y.GetLayer(l).Blend, "blend of layer " + std::to_string(l));
      SCENE_SAME(x.GetLayer(l).LayerType, y.GetLayer(l).LayerType, "type of layer " + std::to_string(l));
      SCENE_SAME(x.GetLayer(l).IsLightmap, y.GetLayer(l).IsLightmap, "lightmap of layer " + std::to_string(l));
    }
  }
  where.clear();
  SCENE_SAME(a.CategoryCount(), b.CategoryCount(), "category count");
  for (int c = 0; c < a.CategoryCount(); ++c) {
    where = "category " + std::to_string(c);
    SCENE_SAME(a.GetCategory(c).Name, b.GetCategory(c).Name, "name");
    SCENE_SAME(a.GetCategory(c).MaterialCount(), b.GetCategory(c).MaterialCount(), "material count");
    for (int m = 0; m < a.GetCategory(c).MaterialCount(); ++m)
      SCENE_SAME(a.IndexOfMaterial(a.GetCategory(c).GetMaterial(m)), b.IndexOfMaterial(b.GetCategory(c).GetMaterial(m)),
                 "material " + std::to_string(m));
  }
  where.clear();
  SCENE_SAME(a.PrimitiveCount(), b.PrimitiveCount(), "primitive count");
  for (int p = 0; p < a.PrimitiveCount(); ++p) {
    const TPrimitive& x = a.GetPrimitive(p);
    const TPrimitive& y = b.GetPrimitive(p);
    where = "primitive " + std::to_string(p);
    SCENE_SAME(x.Id, y.Id, "id");
    SCENE_SAME(x.Name, y.Name, "name");
    SCENE_SAME(x.Tag, y.Tag, "tag");
    SCENE_SAME(x.PrimitiveType, y.PrimitiveType, "type");
    SCENE_SAME(x.SnapMethod, y.SnapMethod, "snap");
    SCENE_SAME(x.Visible, y.Visible, "visible");
    SCENE_SAME(x.AutoUV, y.AutoUV, "auto UV");
    SCENE_SAME(x.HasNormals(), y.HasNormals(), "normals");
    SCENE_SAME(x.VertexCount(), y.VertexCount(), "vertex count");
    for (int v = 0; v < x.VertexCount(); ++v) {
      const TVertex& s = x.GetVertex(v);
      const TVertex& t = y.GetVertex(v);
      const std::string vertex = "vertex " + std::to_string(v) + " ";
      SCENE_SAME(s.Id, t.Id, vertex + "id");
      SCENE_SAME(s.X, t.X, vertex + "x");
      SCENE_SAME(s.Y, t.Y, vertex + "y");
      SCENE_SAME(s.Z, t.Z, vertex + "z");
      SCENE_SAME(s.Index, t.Index, vertex + "index");
      SCENE_SAME(x.FindVertex(s.Id)->Index, y.FindVertex(t.Id)->Index, vertex + "found by its id");
    }
    SCENE_SAME(x.PolygonCount(), y.PolygonCount(), "polygon count");
    for (int q = 0; q < x.PolygonCount(); ++q) {
      const TPolygon& s = x.GetPolygon(q);
      const TPolygon& t = y.GetPolygon(q);
      const std::string polygon = "polygon " + std::to_string(q) + " ";
      SCENE_SAME(a.IndexOfMaterial(s.Material), b.IndexOfMaterial(t.Material), polygon + "material");
      SCENE_SAME(s.VertexCount(), t.VertexCount(), polygon + "corner count");
      for (int k = 0; k < s.VertexCount(); ++k)
        SCENE_SAME(s.GetVertex(k)->Index, t.GetVertex(k)->Index, polygon + "corner " + std::to_string(k));
      SCENE_SAME(s.UVSetCount(), t.UVSetCount(), polygon + "UV set count");
      for (int n = 0; n < s.UVSetCount(); ++n) {
        const TUVCoordinates& c = const_cast<TPolygon&>(s).EnsureUVCoordinates(n);
        const TUVCoordinates& d = const_cast<TPolygon&>(t).EnsureUVCoordinates(n);
        SCENE_SAME(c.Count(), d.Count(), polygon + "UV count of set " + std::to_string(n));
        for (int k = 0; k < c.Count(); ++k) {
          SCENE_SAME(c.CoordinateOrZero(k).U, d.CoordinateOrZero(k).U, polygon + "u of corner " + std::to_string(k));
          SCENE_SAME(c.CoordinateOrZero(k).V, d.CoordinateOrZero(k).V, polygon + "v of corner " + std::to_string(k));
        }
      }
      SCENE_SAME(s.FaceNormal.X, t.FaceNormal.X, polygon + "face normal");
      SCENE_SAME(s.FaceNormal.Y, t.FaceNormal.Y, polygon + "face normal");
      SCENE_SAME(s.FaceNormal.Z, t.FaceNormal.Z, polygon + "face normal");
      SCENE_SAME(s.NormalCount(), t.NormalCount(), polygon + "normal count");
      for (int k = 0; k < s.NormalCount(); ++k) {
        SCENE_SAME(s.NormalAt(k).X, t.NormalAt(k).X, polygon + "normal of corner " + std::to_string(k));
        SCENE_SAME(s.NormalAt(k).Y, t.NormalAt(k).Y, polygon + "normal of corner " + std::to_string(k));
        SCENE_SAME(s.NormalAt(k).Z, t.NormalAt(k).Z, polygon + "normal of corner " + std::to_string(k));
      }
    }
  }
  where.clear();
  SCENE_SAME(a.LightCount(), b.LightCount(), "light count");
  for (int l = 0; l < a.LightCount(); ++l) {
    const TLight& x = a.GetLight(l);
    const TLight& y = b.GetLight(l);
    where = "light " + std::to_string(l);
    SCENE_SAME(x.Id, y.Id, "id");
    SCENE_SAME(x.Name, y.Name, "name");
    SCENE_SAME(x.Tag, y.Tag, "tag");
    SCENE_SAME(x.Position.X, y.Position.X, "position");
    SCENE_SAME(x.Position.Y, y.Position.Y, "position");
    SCENE_SAME(x.Position.Z, y.Position.Z, "position");
    SCENE_SAME(x.Direction.X, y.Direction.X, "direction");
    SCENE_SAME(x.Direction.Y, y.Direction.Y, "direction");
    SCENE_SAME(x.Direction.Z, y.Direction.Z, "direction");
    SCENE_SAME(x.DiffuseColor, y.DiffuseColor, "diffuse");
    SCENE_SAME(x.SpecularColor, y.SpecularColor, "specular");
    SCENE_SAME(x.Intensity, y.Intensity, "intensity");
    SCENE_SAME(x.ConstantAttenuation, y.ConstantAttenuation, "attenuation");
    SCENE_SAME(x.LinearAttenuation, y.LinearAttenuation, "attenuation");
    SCENE_SAME(x.QuadraticAttenuation, y.QuadraticAttenuation, "attenuation");
    SCENE_SAME(x.Range, y.Range, "range");
    SCENE_SAME(x.ConeInner, y.ConeInner, "cone");
    SCENE_SAME(x.ConeOuter, y.ConeOuter, "cone");
    SCENE_SAME(x.ConeFalloff, y.ConeFalloff, "cone");
    SCENE_SAME(x.LightType, y.LightType, "type");
    SCENE_SAME(x.Active, y.Active, "active");
  }
#undef SCENE_SAME
  return "";
}
