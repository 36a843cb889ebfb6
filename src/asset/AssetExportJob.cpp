#include "asset/AssetExportJob.h"

#include <memory>

#include "asset/AssetLayout.h"
#include "asset/KVMeshExporterCl.h"
#include "asset/KVPhysicsExporterCl.h"
#include "asset/uRepository.h"
#include "base/ProcessEnd.h"
#include "platform/uFileLock.h"
#include "platform/uFileSystem.h"
#include "platform/uFileTransaction.h"
#include "scene/uScene.h"

namespace {
std::size_t PolygonCount(const TScene& scene) {
  std::size_t count = 0;
  for (int i = 0; i < scene.PrimitiveCount(); ++i) count += static_cast<std::size_t>(scene.GetPrimitive(i).PolygonCount());
  return count;
}
}  // namespace

TAssetExportResult ExportAsset(const TSceneSource& source, const TAssetExportOptions& options,
                               const TReportSinks& sinks) {
  for (const std::string& problem : {AssetNameProblem(options.AssetName), CategoryProblem(options.Category)})
    if (!problem.empty()) throw TException(problem);
  const TAssetLayout layout(options.Repository, options.AssetName);
  if (options.CreateRepositoryFolders)
    for (const char* folder : RepositoryFolders) CreateDirectories(layout.Root() + folder);
  // The lock file lives among the definitions: their folder must be there.
  layout.CheckFolders(false);
  // Held from before the scene is read, so that a second export of the asset
  // is refused at once instead of after its own reading.
  const std::unique_ptr<TFileLock> lock = TFileLock::TryAcquire(layout.LockFile());
  if (!lock) RaiseError("The asset \"%s\" is being exported by another process.", {VisibleText(options.AssetName)});

  std::unique_ptr<TScene> scene = ReadExportScene(source, options.Scale, sinks);
  // A mistyped repository must not receive half an asset: the folders that
  // the export does not create itself must be there before anything is written.
  layout.CheckFolders(KVPhysicsExporterT::HasCollisionVolumes(*scene));
  sinks.Report("Calculating normals...", 0);
  scene->CalculateNormals(ExportSmoothingAngle);

  // Letter case aside, as Windows tells the asset's files apart: the same
  // mark as the lock's name, so that an export removes leftovers only of the
  // exports its lock keeps out.
  TFileTransaction transaction(layout.FoldedName());
  for (const std::string& other : layout.AssetsDifferingInCase())
    sinks.Warn(FormatText("The asset name \"%s\" differs only in letter case from the asset \"%s\" in the repository; "
                          "Windows takes them for one asset.",
                          {VisibleText(options.AssetName), VisibleText(other)}));
  for (const char* kind : RepositoryFolders) transaction.RemoveStaleFiles(layout.Folder(kind));
  KVMeshExporterT exporter(options, sinks);
  exporter.Write(*scene, transaction);
  transaction.Commit();
  TAssetExportResult result{exporter.GetWrittenFiles(), exporter.GetTextureSources(), PolygonCount(*scene)};
  if (options.KeepSceneToProcessEnd) KeepToProcessEnd(std::move(scene));
  return result;
}
