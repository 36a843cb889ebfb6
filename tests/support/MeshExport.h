#pragma once
// Exports a scene's mesh the way the asset exporter lays it out: material
// script and textures in the sibling folders "../Materials" and
// "../Textures", textures read from `sources`. The exporter's warnings are
// handed back in `warnings`, also when the export fails.

#include <string>
#include <vector>

#include "mesh/QZOgreMeshExporterCl.h"
#include "scene/uScene.h"

inline void ExportMesh(TScene& scene, const std::string& mesh, const std::string& sources,
                       std::vector<std::string>& warnings) {
  scene.CalculateNormals(66);
  QZOgreMeshExporterT exporter(scene);
  exporter.MaterialDirectory = "../Materials";
  exporter.TextureDirectory = "../Textures";
  exporter.GetTextureSourceDirectory = [sources] { return sources; };
  try {
    exporter.Export(mesh);
  } catch (...) {
    warnings = exporter.Warnings;
    throw;
  }
  warnings = exporter.Warnings;
}
