#include "asset/KVMeshExporterCl.h"

#include <algorithm>
#include <unordered_set>

#include "asset/KVPhysicsExporterCl.h"
#include "asset/TextureClaims.h"
#include "asset/uTextureUsers.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "platform/uFileSystem.h"
#include "platform/uFileTransaction.h"
#include "scene/uScene.h"
#include "xml/uXMLWriter.h"

namespace {
void WriteAssetFile(TXMLWriter& writer, const std::string& target, const char* type) {
  writer.OpenTag("AssetFile");
  writer.AddElement("TargetFile", target);
  writer.AddElement("FileType", type);
  writer.CloseTag("AssetFile");
}

void OpenDefinition(TXMLWriter& writer, const std::string& name, const std::string& description, const char* type,
                    const std::string& category) {
  writer.OpenTag("AssetDefinition");
  writer.AddElement("Name", name);
  writer.AddElement("Description", description);
  writer.AddElement("Type", type);
  writer.AddElement("Category", category);
  writer.OpenTag("Files");
}

void CloseDefinition(TXMLFileWriter& writer) {
  writer.CloseTag("Files");
  writer.CloseTag("AssetDefinition");
  writer.Close();
}
}  // namespace

KVMeshExporterT::KVMeshExporterT(const TAssetExportOptions& options, const TReportSinks& sinks)
    : FOptions(options), FSinks(sinks), FLayout(options.Repository, options.AssetName) {}

bool KVMeshExporterT::AcceptPrimitive(const TPrimitive& primitive) {
  return !KVPhysicsExporterT::IsCollisionVolume(primitive);
}

void KVMeshExporterT::Write(const TScene& scene, TFileTransaction& transaction) {
  const bool hasPhysics = KVPhysicsExporterT::HasCollisionVolumes(scene);
  WriteMesh(scene, transaction);
  if (hasPhysics) WritePhysics(scene, transaction);
  WriteMeshAssetDefinition(hasPhysics, transaction);
  WriteMaterialAssetDefinition(transaction);

  FWrittenFiles = {FLayout.MeshFile(), FLayout.MaterialFile()};
  for (const std::string& name : FTextureFiles) FWrittenFiles.push_back(FLayout.TextureFile(name));
  if (hasPhysics) FWrittenFiles.push_back(FLayout.PhysicsFile());
  FWrittenFiles.push_back(FLayout.MeshDefinitionFile());
  FWrittenFiles.push_back(FLayout.MaterialDefinitionFile());
}

void KVMeshExporterT::WriteMesh(const TScene& scene, TFileTransaction& transaction) {
  TMeshExportOptions options;
  // Absolute, so that the mesh file's folder, which an asset name with
  // folders places deeper, does not move them.
  options.TextureDirectory = AbsoluteDirectory("", FLayout.Folder("Textures"));
  options.MaterialDirectory = AbsoluteDirectory("", FLayout.Folder("Materials"));
  options.NamePrefix = FOptions.AssetName + "_";
  options.Target = FOptions.Target;
  options.ExportNormals = true;
  options.FilterPrimitive = AcceptPrimitive;
  options.TextureSource = FOptions.TextureSource;
  options.OnProgress = FSinks.Progress;
  QZOgreMeshExporterT exporter(scene, std::move(options), FSinks.Warnings);
  exporter.Export(FLayout.MeshFile(), &transaction);
  WarnOfReplacedTextures(exporter);
  std::unordered_set<std::string> listed(FTextureFiles.begin(), FTextureFiles.end());
  const std::vector<std::string>& names = exporter.GetPlacedTextures();
  for (std::size_t i = 0; i < names.size(); ++i)
    if (listed.insert(names[i]).second) {
      FTextureFiles.push_back(names[i]);
      FTextureSources.push_back(exporter.GetPlacedTextureSources()[i]);
    }
}

// Textures/ is shared and a texture is placed by its name alone: one whose
// earlier file holds other bytes may be another asset's, which would change
// with this export. The definitions are read only then, which is rare, so
// that an export into a repository of thousands of assets stays quick.
// Exports running beside this one claim their textures first (see
// TextureClaims.h), as the file on the disk cannot tell of them yet.
void KVMeshExporterT::WarnOfReplacedTextures(const QZOgreMeshExporterT& exporter) const {
  std::string own = FLayout.DefinitionName();
  std::replace(own.begin(), own.end(), '\\', '/');
  const std::vector<std::string>& names = exporter.GetPlacedTextures();
  const std::vector<std::string>& sources = exporter.GetPlacedTextureSources();
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string target = FLayout.TextureFile(names[i]);
    const auto replacesFile = [&] { return NameExists(target) && !SameFileContents(sources[i], target); };
    std::vector<std::string> users;
    if (FOptions.TextureClaims) {
      TTextureClaim claim = FOptions.TextureClaims->Claim(names[i], sources[i], own, replacesFile);
      if (!claim.Replaces) continue;
      users = std::move(claim.OtherAssets);
    } else if (!replacesFile()) {
      continue;
    }
    for (std::string& user : AssetsListingTexture(FLayout.Root(), names[i], own)) users.push_back(std::move(user));
    std::sort(users.begin(), users.end());
    users.erase(std::unique(users.begin(), users.end()), users.end());
    FSinks.Warn(ReplacedTextureWarning(names[i], users));
  }
}

void KVMeshExporterT::WritePhysics(const TScene& scene, TFileTransaction& transaction) {
  KVPhysicsExporterT exporter(scene, FLayout.BaseName() + ".mesh", FSinks.Warnings);
  exporter.Export(FLayout.PhysicsFile(), &transaction);
}

void KVMeshExporterT::WriteMeshAssetDefinition(bool hasPhysics, TFileTransaction& transaction) {
  TXMLFileWriter writer(FLayout.MeshDefinitionFile(), &transaction);
  OpenDefinition(writer, FLayout.BaseName() + "_Mesh", FOptions.AssetName, "Mesh", FOptions.Category);
  WriteAssetFile(writer, FLayout.MeshTarget(), "Mesh");
  WriteAssetFile(writer, FLayout.MaterialDefinitionTarget(), "AssetDefinition");
  if (hasPhysics) WriteAssetFile(writer, FLayout.PhysicsTarget(), "Physics");
  CloseDefinition(writer);
}

void KVMeshExporterT::WriteMaterialAssetDefinition(TFileTransaction& transaction) {
  TXMLFileWriter writer(FLayout.MaterialDefinitionFile(), &transaction);
  OpenDefinition(writer, FLayout.BaseName() + "_Material", FOptions.AssetName, "Material", FOptions.Category);
  WriteAssetFile(writer, FLayout.MaterialTarget(), "Material");
  for (const std::string& name : FTextureFiles) WriteAssetFile(writer, FLayout.TextureTarget(name), "Texture");
  CloseDefinition(writer);
}
