#pragma once
// One scene exported as one asset of a repository: the mesh, its material
// script and textures, the physics file when the scene has collision volumes,
// and the mesh and material asset definitions.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "asset/AssetExportOptions.h"
#include "asset/uRepository.h"
#include "mesh/QZOgreMaterialWriter.h"

class TFileLock;
class TFileTransaction;
class TScene;
class TPrimitive;
class QZOgreMeshExporterT;

class KVMeshExporterT {
public:
  // Problems that did not stop the export, from the mesh and the physics
  // exporter, go to `warnings` in the order met, also when a later step fails.
  explicit KVMeshExporterT(TAssetExportOptions options, TWarningSink warnings = {});
  ~KVMeshExporterT();
  KVMeshExporterT(KVMeshExporterT&&) noexcept;
  KVMeshExporterT& operator=(KVMeshExporterT&&) noexcept;

  // Runs every step in order; the first error ends the export and leaves
  // the asset's earlier files as they were. Refuses an unfit asset name or
  // category, a repository without the asset's folders, and a second export
  // of the asset while one runs ("The asset "%s" is being exported by
  // another process.").
  void Export(TScene& scene);
  // Checks the asset name and the category and takes the asset's lock,
  // which the exporter then holds until Export ends or it is freed: a front
  // end calls it before it reads the scene, so that a second export of the
  // asset is refused at once instead of after its own reading. Export calls
  // it when it has not been called. Raises the messages of Export's checks.
  void Lock();

  std::string GetMeshTarget() const;
  std::string GetMeshFileName() const;
  std::string GetPhysicsTarget() const;
  std::string GetPhysicsFileName() const;
  std::string GetMaterialTarget() const;
  std::string GetMeshAssetFileName() const;
  std::string GetMaterialAssetTarget() const;
  std::string GetMaterialAssetFileName() const;

  static bool AcceptPrimitive(const TPrimitive& primitive);

  // The texture files placed in the repository, for the material definition.
  const std::vector<std::string>& GetTextureFiles() const { return FTextureFiles; }
  // Every file of the asset, once the export has succeeded.
  const std::vector<std::string>& GetWrittenFiles() const { return FWrittenFiles; }

private:
  void ExportMesh(TScene& scene, TFileTransaction& transaction);
  void ExportPhysics(TScene& scene, TFileTransaction& transaction);
  void WriteMeshAssetDefinition(bool hasPhysics, TFileTransaction& transaction);
  void WriteMaterialAssetDefinition(TFileTransaction& transaction);
  TAssetLayout Layout() const;
  void Warn(const std::string& warning) const;
  void WarnOfReplacedTextures(const QZOgreMeshExporterT& exporter) const;

  TAssetExportOptions FOptions;
  TWarningSink FWarnings;
  std::vector<std::string> FTextureFiles;
  std::vector<std::string> FWrittenFiles;
  std::unique_ptr<TFileLock> FLock;
};
