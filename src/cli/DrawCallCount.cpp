#include "cli/DrawCallCount.h"

#include "asset/KVMeshExporterCl.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "scene/uScene.h"

namespace {
std::size_t SubMeshCount(const TScene& scene, bool optimize) {
  TMeshExportOptions options;
  options.FilterPrimitive = KVMeshExporterT::AcceptPrimitive;
  options.OptimizeForDrawing = optimize;
  QZOgreMeshExporterT exporter(scene, options);
  exporter.Build();
  return exporter.GetBinarySubMeshes().size();
}
}  // namespace

void WriteDrawCalls(TScene& scene, std::ostream& out) {
  // Welding compares normals, and the cut counts welded vertices.
  scene.CalculateNormals(ExportSmoothingAngle);
  out << "\nDraw calls (sub-meshes of the exported mesh): " << SubMeshCount(scene, false) << '\n';
  out << "Draw calls with --optimize: " << SubMeshCount(scene, true) << '\n';
}
