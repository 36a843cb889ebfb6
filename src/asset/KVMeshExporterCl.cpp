#include "asset/KVMeshExporterCl.h"

#include <unordered_set>

#include "asset/KVPhysicsExporterCl.h"
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

// Runs one exporter's step and keeps its warnings, also when the step fails.
template <typename TExporter, typename TStep>
void KeepingWarnings(TExporter& exporter, std::vector<std::string>& warnings, TStep&& step) {
  struct TCollector {
    TExporter& Exporter;
    std::vector<std::string>& Warnings;
    ~TCollector() {
      try {
        Warnings.insert(Warnings.end(), Exporter.Warnings.begin(), Exporter.Warnings.end());
      } catch (...) {
        // Out of memory while an error passes: the error matters more than the warnings.
      }
    }
  } collector{exporter, warnings};
  step();
}

void CloseDefinition(TXMLFileWriter& writer) {
  writer.CloseTag("Files");
  writer.CloseTag("AssetDefinition");
  writer.Close();
}
}  // namespace

KVMeshExporterT::KVMeshExporterT() = default;
KVMeshExporterT::~KVMeshExporterT() = default;
KVMeshExporterT::KVMeshExporterT(KVMeshExporterT&&) noexcept = default;
KVMeshExporterT& KVMeshExporterT::operator=(KVMeshExporterT&&) noexcept = default;

TAssetLayout KVMeshExporterT::Layout() const { return TAssetLayout(Repository, AssetName); }

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
  for (const std::string& problem : {AssetNameProblem(AssetName), CategoryProblem(Category)})
    if (!problem.empty()) throw TException(problem);
  const TAssetLayout layout = Layout();
  // The lock file lives among the definitions: their folder must be there.
  layout.CheckFolders(false);
  FLock = TFileLock::TryAcquire(layout.LockFile());
  if (!FLock) RaiseError("The asset \"%s\" is being exported by another process.", {VisibleText(AssetName)});
}

void KVMeshExporterT::Export(TScene& scene) {
  Lock();
  // The lock ends with the export, whichever way it ends.
  const std::unique_ptr<TFileLock> lock = std::move(FLock);
  const TAssetLayout layout = Layout();
  const bool hasPhysics = KVPhysicsExporterT::HasCollisionVolumes(scene);
  layout.CheckFolders(hasPhysics);

  // Letter case aside, as Windows tells the asset's files apart.
  std::string owner = layout.DefinitionName();
  for (char& c : owner)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  TFileTransaction transaction(owner);
  for (const char* kind : RepositoryFolders) transaction.RemoveStaleFiles(layout.Folder(kind));

  ExportMesh(scene, transaction);
  if (hasPhysics) ExportPhysics(scene, transaction);
  WriteMeshAssetDefinition(hasPhysics, transaction);
  WriteMaterialAssetDefinition(transaction);
  transaction.Commit();

  WrittenFiles.push_back(GetMeshFileName());
  WrittenFiles.push_back(layout.PathOf(GetMaterialTarget()));
  for (const std::string& name : TextureFiles) WrittenFiles.push_back(layout.Folder("Textures") + PathDelimiter + name);
  if (hasPhysics) WrittenFiles.push_back(GetPhysicsFileName());
  WrittenFiles.push_back(GetMeshAssetFileName());
  WrittenFiles.push_back(GetMaterialAssetFileName());
}

void KVMeshExporterT::ExportMesh(TScene& scene, TFileTransaction& transaction) {
  scene.CalculateNormals(ExportSmoothingAngle);
  QZOgreMeshExporterT exporter(scene);
  exporter.ExportMaterials = true;
  exporter.CopyTextures = true;
  // Absolute, so that the mesh file's folder, which an asset name with
  // folders places deeper, does not move them.
  const TAssetLayout layout = Layout();
  exporter.TextureDirectory = AbsoluteDirectory("", layout.Folder("Textures"));
  exporter.MaterialDirectory = AbsoluteDirectory("", layout.Folder("Materials"));
  exporter.NamePrefix = AssetName + "_";
  exporter.MaterialNameForm = MaterialNameForm;
  exporter.ExportLightmaps = true;
  exporter.ExportNormals = true;
  exporter.OptimizeForDrawing = OptimizeForDrawing;
  exporter.OnFilterPrimitive = AcceptPrimitive;
  exporter.Transaction = &transaction;
  if (GetTextureSourceDirectory) exporter.GetTextureSourceDirectory = GetTextureSourceDirectory;
  exporter.OnProgress = OnProgress;

  KeepingWarnings(exporter, Warnings, [&] { exporter.Export(GetMeshFileName()); });
  std::unordered_set<std::string> listed(TextureFiles.begin(), TextureFiles.end());
  for (const std::string& name : exporter.PlacedTextures)
    if (listed.insert(name).second) TextureFiles.push_back(name);
}

void KVMeshExporterT::ExportPhysics(TScene& scene, TFileTransaction& transaction) {
  KVPhysicsExporterT exporter(scene, Layout().BaseName() + ".mesh");
  KeepingWarnings(exporter, Warnings, [&] { exporter.Export(GetPhysicsFileName(), &transaction); });
}

void KVMeshExporterT::WriteMeshAssetDefinition(bool hasPhysics, TFileTransaction& transaction) {
  TXMLFileWriter writer(GetMeshAssetFileName(), &transaction);
  OpenDefinition(writer, Layout().BaseName() + "_Mesh", AssetName, "Mesh", Category);
  WriteAssetFile(writer, GetMeshTarget(), "Mesh");
  WriteAssetFile(writer, GetMaterialAssetTarget(), "AssetDefinition");
  if (hasPhysics) WriteAssetFile(writer, GetPhysicsTarget(), "Physics");
  CloseDefinition(writer);
}

void KVMeshExporterT::WriteMaterialAssetDefinition(TFileTransaction& transaction) {
  TXMLFileWriter writer(GetMaterialAssetFileName(), &transaction);
  OpenDefinition(writer, Layout().BaseName() + "_Material", AssetName, "Material", Category);
  WriteAssetFile(writer, GetMaterialTarget(), "Material");
  for (const std::string& name : TextureFiles) WriteAssetFile(writer, "Textures\\" + name, "Texture");
  CloseDefinition(writer);
}
