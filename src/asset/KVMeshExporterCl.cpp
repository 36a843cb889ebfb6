#include "asset/KVMeshExporterCl.h"

#include <algorithm>
#include <unordered_set>

#include "asset/KVPhysicsExporterCl.h"
#include "asset/uTextureUsers.h"
#include "base/uException.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "platform/uFileLock.h"
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

KVMeshExporterT::KVMeshExporterT(TAssetExportOptions options, TWarningSink warnings)
    : FOptions(std::move(options)), FWarnings(std::move(warnings)) {}
KVMeshExporterT::~KVMeshExporterT() = default;
KVMeshExporterT::KVMeshExporterT(KVMeshExporterT&&) noexcept = default;
KVMeshExporterT& KVMeshExporterT::operator=(KVMeshExporterT&&) noexcept = default;

void KVMeshExporterT::Warn(const std::string& warning) const {
  if (FWarnings) FWarnings(warning);
}

TAssetLayout KVMeshExporterT::Layout() const { return TAssetLayout(FOptions.Repository, FOptions.AssetName); }

std::string KVMeshExporterT::GetMeshTarget() const { return "Meshes\\" + Layout().DefinitionName() + ".mesh"; }
std::string KVMeshExporterT::GetMeshFileName() const { return Layout().PathOf(GetMeshTarget()); }
std::string KVMeshExporterT::GetPhysicsTarget() const { return "Physics\\" + Layout().DefinitionName() + ".physics"; }
std::string KVMeshExporterT::GetPhysicsFileName() const { return Layout().PathOf(GetPhysicsTarget()); }
std::string KVMeshExporterT::GetMaterialTarget() const {
  return "Materials\\" + Layout().DefinitionName() + ".material";
}
std::string KVMeshExporterT::GetMeshAssetFileName() const {
  return Layout().PathOf("AssetDefinitions\\" + Layout().DefinitionName() + "_Mesh.asset");
}
std::string KVMeshExporterT::GetMaterialAssetTarget() const {
  return "AssetDefinitions\\" + Layout().DefinitionName() + "_Material.asset";
}
std::string KVMeshExporterT::GetMaterialAssetFileName() const { return Layout().PathOf(GetMaterialAssetTarget()); }

bool KVMeshExporterT::AcceptPrimitive(const TPrimitive& primitive) {
  return !KVPhysicsExporterT::IsCollisionVolume(primitive);
}

// Every file of the asset is written first and replaces its earlier version
// only when all are complete, while the asset's lock keeps every other export
// of it away: the repository holds the whole old asset or the whole new one.
void KVMeshExporterT::Lock() {
  if (FLock) return;
  for (const std::string& problem : {AssetNameProblem(FOptions.AssetName), CategoryProblem(FOptions.Category)})
    if (!problem.empty()) throw TException(problem);
  const TAssetLayout layout = Layout();
  // The lock file lives among the definitions: their folder must be there.
  layout.CheckFolders(false);
  FLock = TFileLock::TryAcquire(layout.LockFile());
  if (!FLock) RaiseError("The asset \"%s\" is being exported by another process.", {VisibleText(FOptions.AssetName)});
}

void KVMeshExporterT::Export(TScene& scene) {
  Lock();
  // The lock ends with the export, whichever way it ends.
  const std::unique_ptr<TFileLock> lock = std::move(FLock);
  const TAssetLayout layout = Layout();
  const bool hasPhysics = KVPhysicsExporterT::HasCollisionVolumes(scene);
  layout.CheckFolders(hasPhysics);

  // Letter case aside, as Windows tells the asset's files apart: the same
  // name as the lock's, so that an export removes leftovers only of the
  // exports its lock keeps out.
  TFileTransaction transaction(layout.FoldedName());
  for (const std::string& other : layout.AssetsDifferingInCase())
    Warn(FormatText("The asset name \"%s\" differs only in letter case from the asset \"%s\" in the repository; "
                    "Windows takes them for one asset.",
                    {VisibleText(FOptions.AssetName), VisibleText(other)}));
  for (const char* kind : RepositoryFolders) transaction.RemoveStaleFiles(layout.Folder(kind));

  ExportMesh(scene, transaction);
  if (hasPhysics) ExportPhysics(scene, transaction);
  WriteMeshAssetDefinition(hasPhysics, transaction);
  WriteMaterialAssetDefinition(transaction);
  transaction.Commit();

  FWrittenFiles.push_back(GetMeshFileName());
  FWrittenFiles.push_back(layout.PathOf(GetMaterialTarget()));
  for (const std::string& name : FTextureFiles) FWrittenFiles.push_back(layout.Folder("Textures") + PathDelimiter + name);
  if (hasPhysics) FWrittenFiles.push_back(GetPhysicsFileName());
  FWrittenFiles.push_back(GetMeshAssetFileName());
  FWrittenFiles.push_back(GetMaterialAssetFileName());
}

void KVMeshExporterT::ExportMesh(TScene& scene, TFileTransaction& transaction) {
  scene.CalculateNormals(ExportSmoothingAngle);
  TMeshExportOptions options;
  // Absolute, so that the mesh file's folder, which an asset name with
  // folders places deeper, does not move them.
  const TAssetLayout layout = Layout();
  options.TextureDirectory = AbsoluteDirectory("", layout.Folder("Textures"));
  options.MaterialDirectory = AbsoluteDirectory("", layout.Folder("Materials"));
  options.NamePrefix = FOptions.AssetName + "_";
  options.MaterialNameForm = FOptions.MaterialNameForm;
  options.MeshFormat = FOptions.MeshFormat;
  options.LodLevels = FOptions.LodLevels;
  options.ExportNormals = true;
  options.OptimizeForDrawing = FOptions.OptimizeForDrawing;
  options.FilterPrimitive = AcceptPrimitive;
  options.TextureSource = FOptions.TextureSource;
  options.OnProgress = FOptions.OnProgress;
  QZOgreMeshExporterT exporter(scene, std::move(options), FWarnings);
  exporter.Export(GetMeshFileName(), &transaction);
  WarnOfReplacedTextures(exporter);
  std::unordered_set<std::string> listed(FTextureFiles.begin(), FTextureFiles.end());
  for (const std::string& name : exporter.GetPlacedTextures())
    if (listed.insert(name).second) FTextureFiles.push_back(name);
}

// Textures/ is shared and a texture is placed by its name alone: one whose
// earlier file holds other bytes may be another asset's, which would change
// with this export. The definitions are read only then, which is rare, so
// that an export into a repository of thousands of assets stays quick.
void KVMeshExporterT::WarnOfReplacedTextures(const QZOgreMeshExporterT& exporter) const {
  const TAssetLayout layout = Layout();
  std::string own = layout.DefinitionName();
  std::replace(own.begin(), own.end(), '\\', '/');
  const std::vector<std::string>& names = exporter.GetPlacedTextures();
  const std::vector<std::string>& sources = exporter.GetPlacedTextureSources();
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string target = layout.Folder("Textures") + PathDelimiter + names[i];
    if (!NameExists(target) || SameFileContents(sources[i], target)) continue;
    Warn(ReplacedTextureWarning(names[i], AssetsListingTexture(layout.Root(), names[i], own)));
  }
}

void KVMeshExporterT::ExportPhysics(TScene& scene, TFileTransaction& transaction) {
  KVPhysicsExporterT exporter(scene, Layout().BaseName() + ".mesh", FWarnings);
  exporter.Export(GetPhysicsFileName(), &transaction);
}

void KVMeshExporterT::WriteMeshAssetDefinition(bool hasPhysics, TFileTransaction& transaction) {
  TXMLFileWriter writer(GetMeshAssetFileName(), &transaction);
  OpenDefinition(writer, Layout().BaseName() + "_Mesh", FOptions.AssetName, "Mesh", FOptions.Category);
  WriteAssetFile(writer, GetMeshTarget(), "Mesh");
  WriteAssetFile(writer, GetMaterialAssetTarget(), "AssetDefinition");
  if (hasPhysics) WriteAssetFile(writer, GetPhysicsTarget(), "Physics");
  CloseDefinition(writer);
}

void KVMeshExporterT::WriteMaterialAssetDefinition(TFileTransaction& transaction) {
  TXMLFileWriter writer(GetMaterialAssetFileName(), &transaction);
  OpenDefinition(writer, Layout().BaseName() + "_Material", FOptions.AssetName, "Material", FOptions.Category);
  WriteAssetFile(writer, GetMaterialTarget(), "Material");
  for (const std::string& name : FTextureFiles) WriteAssetFile(writer, "Textures\\" + name, "Texture");
  CloseDefinition(writer);
}
