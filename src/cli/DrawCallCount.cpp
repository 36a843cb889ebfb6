#include "cli/DrawCallCount.h"

#include "asset/KVMeshExporterCl.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "scene/uScene.h"

namespace {
std::size_t SubMeshCount(const TScene& scene, bool optimize) {
  TMeshExportOptions options;
  options.FilterPrimitive = KVMeshExporterT::AcceptPrimitive;
  options.Target.OptimizeForDrawing = optimize;
  QZOgreMeshExporterT exporter(scene, options);
  exporter.Build();
  return exporter.BinarySubMeshes().SubMeshes.size();
}
}  // namespace

TDrawCalls CountDrawCalls(const TScene& scene) { return {SubMeshCount(scene, false), SubMeshCount(scene, true)}; }

void WriteDrawCalls(const TDrawCalls& drawCalls, std::ostream& out) {
  out << "\nDraw calls (sub-meshes of the exported mesh): " << drawCalls.Plain << '\n';
  out << "Draw calls with --optimize: " << drawCalls.Optimized << '\n';
}
