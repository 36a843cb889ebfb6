#pragma once
// The files of one asset written for one scene: the mesh, its material
// script and textures, the physics file when the scene has collision
// volumes, and the mesh and material asset definitions. The export job
// (AssetExportJob.h) runs it inside the asset's lock and transaction.

#include <string>
#include <vector>

#include "asset/AssetExportOptions.h"
#include "asset/AssetLayout.h"
#include "base/ReportSinks.h"

class TFileTransaction;
class TScene;
class TPrimitive;
class QZOgreMeshExporterT;

class KVMeshExporterT {
public:
  // The options' asset name must be fit (see AssetNameProblem). Problems
  // that do not stop the export go to the warning sink as they are met.
  KVMeshExporterT(const TAssetExportOptions& options, const TReportSinks& sinks);

  // Stages every file of the asset in `transaction`, which the caller
  // commits. The scene's normals must be calculated (ExportSmoothingAngle).
  void Write(const TScene& scene, TFileTransaction& transaction);

  // Whether a primitive belongs to the asset's mesh: collision volumes are
  // the physics file's.
  static bool AcceptPrimitive(const TPrimitive& primitive);

  // Every file that Write staged, paths of this platform in the order of the
  // definitions: mesh, script, textures, physics, the two definitions.
  const std::vector<std::string>& GetWrittenFiles() const { return FWrittenFiles; }
  // The file each texture placed was copied from, in their order.
  const std::vector<std::string>& GetTextureSources() const { return FTextureSources; }

private:
  void WriteMesh(const TScene& scene, TFileTransaction& transaction);
  void WritePhysics(const TScene& scene, TFileTransaction& transaction);
  void WriteMeshAssetDefinition(bool hasPhysics, TFileTransaction& transaction);
  void WriteMaterialAssetDefinition(TFileTransaction& transaction);
  void WarnOfReplacedTextures(const QZOgreMeshExporterT& exporter) const;

  const TAssetExportOptions& FOptions;
  const TReportSinks& FSinks;
  const TAssetLayout FLayout;
  // The texture files placed in the repository, for the material definition.
  std::vector<std::string> FTextureFiles;
  std::vector<std::string> FTextureSources;
  std::vector<std::string> FWrittenFiles;
};
