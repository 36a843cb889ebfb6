#pragma once
// One scene exported as one asset of a repository: the mesh, its material
// script and textures, the physics file when the scene has collision volumes,
// and the mesh and material asset definitions.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "asset/uRepository.h"
#include "mesh/QZOgreMaterialWriterCl.h"

class TFileLock;
class TFileTransaction;
class TScene;
class TPrimitive;

class KVMeshExporterT {
public:
  KVMeshExporterT();
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

  std::string AssetName;
  std::string Repository;
  std::string Category;
  // How the material script names its materials (see QZOgreMaterialWriterCl.h).
  TMaterialNameForm MaterialNameForm = TMaterialNameForm::Platform;
  // Merged, cut and ordered sub-meshes: fewer draw calls (see
  // QZOgreMeshExporterT::OptimizeForDrawing).
  bool OptimizeForDrawing = false;
  // Where the editor keeps its texture files, given by the front end.
  std::function<std::string()> GetTextureSourceDirectory;
  // Progress of the mesh export: the step's text and how far it is, in
  // percent, handed on from QZOgreMeshExporterT::OnProgress. Front ends
  // show it; the export itself only reports.
  std::function<void(const std::string& status, int percent)> OnProgress;
  // The texture files placed in the repository, for the material definition.
  std::vector<std::string> TextureFiles;
  // Problems that did not stop the export, from the mesh and the physics
  // exporter, in the order met.
  std::vector<std::string> Warnings;
  // Every file of the asset, once the export has succeeded.
  std::vector<std::string> WrittenFiles;

private:
  void ExportMesh(TScene& scene, TFileTransaction& transaction);
  void ExportPhysics(TScene& scene, TFileTransaction& transaction);
  void WriteMeshAssetDefinition(bool hasPhysics, TFileTransaction& transaction);
  void WriteMaterialAssetDefinition(TFileTransaction& transaction);
  TAssetLayout Layout() const;

  std::unique_ptr<TFileLock> FLock;
};
