#include "asset/MeshExportJob.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

#include "asset/KVMeshExporterCl.h"
#include "base/ProcessEnd.h"
#include "base/uException.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "platform/uFileLock.h"
#include "platform/uFileSystem.h"
#include "platform/uFileTransaction.h"
#include "scene/uScene.h"

namespace {
// A file that the export would write must not replace the scene file nor
// anything but a regular file (a device, a folder).
void CheckTarget(const std::string& sceneFile, const std::string& target) {
  const std::string identity = FileIdentity(target);
  if (!sceneFile.empty() && !identity.empty() && identity == FileIdentity(sceneFile))
    RaiseError("%s is the scene file; the export will not write over it.", {target});
  if (NameExists(target) && !FileExists(target))
    RaiseError("%s is not a regular file; the export will not write over it.", {target});
}

// The scene's texture sources by the identity of their files, so that each
// target is looked up once: a level may hold thousands of textures.
using TTextureSources = std::unordered_map<std::string, const std::string*>;

TTextureSources TextureSources(const QZOgreMeshExporterT& exporter) {
  TTextureSources sources;
  for (const auto& texture : exporter.GetTextures()) {
    const std::string identity = texture->IsColor ? std::string() : FileIdentity(exporter.TextureSourcePath(*texture));
    if (!identity.empty()) sources.emplace(identity, &texture->FileName);
  }
  return sources;
}

// Nor the source of one of the scene's textures.
void CheckTarget(const TTextureSources& sources, const std::string& target) {
  const auto source = sources.find(FileIdentity(target));
  if (source != sources.end())
    RaiseError("%s is the source of the texture \"%s\"; the export will not write over it.",
               {target, *source->second});
}
}  // namespace

TMeshFileResult ExportMeshFile(const TSceneSource& source, const TMeshFileOptions& options, const TReportSinks& sinks) {
  const std::string& output = options.MeshFile;
  // Before anything is made beside it, the lock file included.
  CheckTarget(options.SceneFile, output);
  if (!FolderOf(output).empty()) CreateDirectories(FolderOf(output));
  // Every file goes beside the mesh, in one folder.
  const std::string folder = AbsoluteDirectory(FolderOf(output), "");
  const std::string name = FileNameOf(output);
  // Held from before the scene is read, so that a second export of the mesh
  // is refused at once.
  const std::unique_ptr<TFileLock> lock = TFileLock::TryAcquire(folder + "." + name + ".lock");
  if (!lock) RaiseError("The mesh %s is being exported by another process.", {output});

  std::unique_ptr<TScene> scene = ReadExportScene(source, options.Scale, sinks);
  sinks.Report("Calculating normals...", 0);
  scene->CalculateNormals(ExportSmoothingAngle);

  TMeshExportOptions meshOptions;
  meshOptions.ExportNormals = true;
  meshOptions.Target = options.Target;
  // The visible mesh, as the asset's: collision volumes are the physics
  // file's, and drawn they would hide what they stand for.
  if (!options.AllPrimitives) meshOptions.FilterPrimitive = KVMeshExporterT::AcceptPrimitive;
  meshOptions.OnProgress = sinks.Progress;
  meshOptions.TextureSource = [textures = options.TextureFolder] { return textures; };
  QZOgreMeshExporterT exporter(*scene, std::move(meshOptions), sinks.Warnings);
  const std::string script = folder + MaterialScriptName(name);
  exporter.Build();
  std::vector<std::string> targets = {folder + name, script};
  for (const auto& texture : exporter.GetTextures())
    if (!texture->IsColor) targets.push_back(folder + TextureTargetName(texture->FileName));
  const TTextureSources sources = TextureSources(exporter);
  for (std::size_t i = 0; i < targets.size(); ++i) {
    CheckTarget(options.SceneFile, targets[i]);
    CheckTarget(sources, targets[i]);
    // Textures of the same name are the exporter's to warn about; the mesh
    // and its script must each have a file of their own.
    for (std::size_t j = 0; j < std::min<std::size_t>(i, 2); ++j)
      if (targets[j] == targets[i]) RaiseError("%s would receive two files of the export.", {targets[i]});
  }

  TFileTransaction transaction(folder + name);
  transaction.RemoveStaleFiles(folder);
  exporter.Export(output, &transaction);
  transaction.Commit();
  TMeshFileResult result{{folder + name, script}};
  for (const std::string& texture : exporter.GetPlacedTextures()) result.WrittenFiles.push_back(folder + texture);
  if (options.KeepSceneToProcessEnd) KeepToProcessEnd(std::move(scene));
  return result;
}
