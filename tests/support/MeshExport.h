#pragma once
// Exports a scene's mesh the way the asset exporter lays it out: material
// script and textures in the sibling folders "../Materials" and
// "../Textures", textures read from `sources`. The exporter's warnings are
// collected in `warnings`, also when the export fails.

#include <string>
#include <vector>

#include "mesh/QZOgreMeshExporterCl.h"
#include "scene/uScene.h"

inline void ExportMesh(TScene& scene, const std::string& mesh, const std::string& sources,
                       std::vector<std::string>& warnings) {
  scene.CalculateNormals(66);
  TMeshExportOptions options;
  options.MaterialDirectory = "../Materials";
  options.TextureDirectory = "../Textures";
  options.TextureSource = [sources] { return sources; };
  warnings.clear();
  QZOgreMeshExporterT exporter(scene, options, [&](const std::string& warning) { warnings.push_back(warning); });
  exporter.Export(mesh);
}
