#include "cli/DrawCallCount.h"

#include "asset/KVMeshExporterCl.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "mesh/SubMeshCutting.h"
#include "scene/uScene.h"

namespace {
std::size_t SubMeshCount(const TScene& scene, bool optimize) {
  QZOgreMeshExporterT exporter(scene);
  exporter.OnFilterPrimitive = KVMeshExporterT::AcceptPrimitive;
  exporter.OptimizeForDrawing = optimize;
  exporter.Build();
  // As the binary mesh is written.
  CutForShortIndices(exporter.SubMeshes);
  return exporter.SubMeshes.size();
}
}  // namespace

void WriteDrawCalls(TScene& scene, std::ostream& out) {
  // Welding compares normals, and the cut counts welded vertices.
  scene.CalculateNormals(ExportSmoothingAngle);
  out << "\nDraw calls (sub-meshes of the exported mesh): " << SubMeshCount(scene, false) << '\n';
  out << "Draw calls with --optimize: " << SubMeshCount(scene, true) << '\n';
}
