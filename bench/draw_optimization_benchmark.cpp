// What optimizing for drawing gives and costs, as a Markdown table for
// bench/RESULTS.md: for generated levels and a terrain, the sub-meshes (draw
// calls) of the exported mesh, the average cache miss ratio (vertex shader
// runs per triangle) with a 16- and a 32-entry post-transform cache, the
// overfetch (bytes of vertex data read over the bytes of the vertices),
// without and with the option, and the time of the asset export without and
// with it (the scene read once beforehand: reading does not depend on it).
//
//   draw_optimization_benchmark [RUNS] [SIZE...]
//
// RUNS (default 3) exports of each kind per scene, the median counts; SIZEs
// are generated levels' polygons (default 100000 1000000). The terrain is a
// single primitive of 256 x 256 quads of one material (66,049 vertices, so
// it is cut in two for 16-bit indices). The ratios come from meshoptimizer's
// own analysers, per sub-mesh (each draw call starts with a cold cache),
// summed over the mesh.

#include <meshoptimizer.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SceneDocumentGenerator.h"
#include "asset/KVMeshExporterCl.h"
#include "asset/uRepository.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "platform/uFileSystem.h"
#include "platform/uFileTransaction.h"
#include "scene/uScene.h"
#include "scene/uXMLSceneReader.h"

namespace {
struct TDrawStatistics {
  std::size_t SubMeshes = 0;
  double Acmr16 = 0, Acmr32 = 0, Overfetch = 0;
};

// The sub-meshes as the binary mesh holds them, and what drawing them costs.
TDrawStatistics Measure(const TScene& scene, bool optimize) {
  TMeshExportOptions options;
  options.FilterPrimitive = KVMeshExporterT::AcceptPrimitive;
  options.Target.OptimizeForDrawing = optimize;
  QZOgreMeshExporterT exporter(scene, options);
  exporter.Build();
  const TShortIndexSubMeshes binary = exporter.BinarySubMeshes();
  const TSubMeshView& subMeshes = binary.SubMeshes;

  TDrawStatistics statistics;
  statistics.SubMeshes = subMeshes.size();
  double triangles = 0, transformed16 = 0, transformed32 = 0, fetched = 0, vertexBytes = 0;
  std::vector<unsigned int> indices;
  for (const auto& subMesh : subMeshes) {
    indices.clear();
    for (const QZOgreFaceInfoT& face : subMesh->Faces)
      for (const int32_t index : face.Indices) indices.push_back(static_cast<unsigned int>(index));
    const std::size_t vertices = subMesh->Vertices.size();
    // Position and normal, and two floats per texture coordinate set.
    const std::size_t vertexSize = 24 + 8 * static_cast<std::size_t>(subMesh->ExportedSetCount(true));
    const auto cache16 = meshopt_analyzeVertexCache(indices.data(), indices.size(), vertices, 16, 0, 0);
    const auto cache32 = meshopt_analyzeVertexCache(indices.data(), indices.size(), vertices, 32, 0, 0);
    const auto fetch = meshopt_analyzeVertexFetch(indices.data(), indices.size(), vertices, vertexSize);
    triangles += static_cast<double>(indices.size() / 3);
    transformed16 += cache16.vertices_transformed;
    transformed32 += cache32.vertices_transformed;
    fetched += fetch.bytes_fetched;
    vertexBytes += static_cast<double>(vertices * vertexSize);
  }
  statistics.Acmr16 = transformed16 / triangles;
  statistics.Acmr32 = transformed32 / triangles;
  statistics.Overfetch = fetched / vertexBytes;
  return statistics;
}

// The median wall time in seconds of `runs` asset exports of the scene into a
// fresh repository, as `veldara-export export` makes it after reading.
double ExportSeconds(TScene& scene, bool optimize, int runs, const std::string& folder) {
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    std::filesystem::remove_all(folder);
    for (const char* kind : RepositoryFolders) std::filesystem::create_directories(folder + "/" + kind);
    TAssetExportOptions options;
    options.Repository = folder;
    options.AssetName = "Level";
    options.Target.OptimizeForDrawing = optimize;
    const TReportSinks sinks;
    KVMeshExporterT exporter(options, sinks);
    const auto start = std::chrono::steady_clock::now();
    scene.CalculateNormals(ExportSmoothingAngle);
    TFileTransaction transaction("Level");
    exporter.Write(scene, transaction);
    transaction.Commit();
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::filesystem::remove_all(folder);
  std::sort(seconds.begin(), seconds.end());
  return seconds[seconds.size() / 2];
}

// One primitive of side x side quads of one material, with rolling heights,
// as a terrain is modelled in the editor.
std::string TerrainDocument(int side) {
  std::string text =
      "<scene><materials><category name=\"Ground\"><material id=\"m1\" name=\"Grass\" used=\"true\">"
      "<layer type=\"texture\" blend=\"replace\"><texture file=\"grass.png\" /></layer></material></category>"
      "</materials><primitives><primitive id=\"p1\" name=\"Terrain\" type=\"grid\" visible=\"true\" snap=\"none\" "
      "autoUV=\"false\"><vertices>";
  char line[200];
  for (int y = 0; y <= side; ++y)
    for (int x = 0; x <= side; ++x) {
      std::snprintf(line, sizeof line, "<vertex id=\"v%d\" x=\"%.3f\" y=\"%.3f\" z=\"%.3f\" />", y * (side + 1) + x,
                    x * 32.0, 40.0 * std::sin(x * 0.11) * std::cos(y * 0.07), y * 32.0);
      text += line;
    }
  text += "</vertices><polygons>";
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      text += "<poly mid=\"m1\">";
      const int corners[4] = {y * (side + 1) + x, y * (side + 1) + x + 1, (y + 1) * (side + 1) + x + 1,
                              (y + 1) * (side + 1) + x};
      for (const int corner : corners) {
        std::snprintf(line, sizeof line, "<vertex vid=\"v%d\" u0=\"%.4f\" v0=\"%.4f\" />", corner,
                      (corner % (side + 1)) / 8.0, (corner / (side + 1)) / 8.0);
        text += line;
      }
      text += "</poly>";
    }
  return text + "</polygons></primitive></primitives></scene>";
}

void Row(const std::string& name, const std::string& document, int runs) {
  const std::unique_ptr<TScene> scene = TXMLSceneReader().ReadSceneText(document);
  scene->CalculateNormals(ExportSmoothingAngle);
  const TDrawStatistics before = Measure(*scene, false), after = Measure(*scene, true);
  const std::string folder = (std::filesystem::temp_directory_path() / "veldara-draw-benchmark").string();
  const double plain = ExportSeconds(*scene, false, runs, folder);
  const double optimized = ExportSeconds(*scene, true, runs, folder);
  std::printf("| %s | %zu | %zu | %.3f | %.3f | %.3f | %.3f | %.0f%% | %.3f | %.3f | %.2f | %.2f | %+.2f | %+.0f%% |\n",
              name.c_str(), before.SubMeshes, after.SubMeshes, before.Acmr16, after.Acmr16, before.Acmr32,
              after.Acmr32, 100.0 * (before.Acmr16 - after.Acmr16) / before.Acmr16, before.Overfetch,
              after.Overfetch, plain, optimized, optimized - plain, 100.0 * (optimized - plain) / plain);
  std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  std::vector<long long> sizes;
  for (int i = 2; i < argc; ++i) sizes.push_back(std::atoll(argv[i]));
  if (sizes.empty()) sizes = {100000, 1000000};

  std::printf("| Scene | Sub-meshes before | after | ACMR 16 before | after | ACMR 32 before | after | "
              "ACMR 16 lower by | Overfetch before | after | Export s before | after | added s | added |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const long long polygons : sizes) {
    TSceneDocumentOptions options;
    options.Polygons = polygons;
    Row("Level, " + std::to_string(polygons) + " polygons", GenerateSceneDocument(options), runs);
  }
  Row("Terrain, 256 x 256 quads", TerrainDocument(256), runs);
  return 0;
}
