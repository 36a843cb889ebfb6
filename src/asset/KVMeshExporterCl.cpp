#include "KVMeshExporterCl.h"

#include <algorithm>

#include "KVPhysicsExporterCl.h"
#include "QZOgreMeshExporterCl.h"
#include "uFileSystem.h"
#include "uScene.h"
#include "uXMLWriter.h"

namespace {
// Asset names may hold a directory part. Windows takes both delimiters; other
// systems only their own, where a backslash is an ordinary character.
bool IsNameDelimiter(char c) { return c == PathDelimiter || (PathDelimiter == '\\' && c == '/'); }

// The asset name as the definitions write it: backslashes, whatever the platform.
std::string DefinitionName(const std::string& assetName) {
  std::string name = assetName;
  for (char& c : name)
    if (IsNameDelimiter(c)) c = '\\';
  return name;
}

// A definition's text turned into a path of this platform.
std::string PlatformPath(std::string path) {
  if constexpr (PathDelimiter == '/') std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::string BaseName(const std::string& assetName) {
  const auto delimiter = std::find_if(assetName.rbegin(), assetName.rend(), IsNameDelimiter);
  return std::string(delimiter.base(), assetName.end());
}

// How many directories deep the asset name places its files.
int Depth(const std::string& assetName) {
  return static_cast<int>(std::count_if(assetName.begin(), assetName.end(), IsNameDelimiter));
}

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

std::string KVMeshExporterT::RepositoryRoot() const {
  std::string root = Repository;
  if (root.empty() || root.back() != PathDelimiter) root += PathDelimiter;
  return root;
}

std::string KVMeshExporterT::GetMeshTarget() const { return "Meshes\\" + DefinitionName(AssetName) + ".mesh"; }
std::string KVMeshExporterT::GetMeshFileName() const { return RepositoryRoot() + PlatformPath(GetMeshTarget()); }
std::string KVMeshExporterT::GetPhysicsTarget() const { return "Physics\\" + DefinitionName(AssetName) + ".physics"; }
std::string KVMeshExporterT::GetPhysicsFileName() const { return RepositoryRoot() + PlatformPath(GetPhysicsTarget()); }
std::string KVMeshExporterT::GetMaterialTarget() const {
  return "Materials\\" + DefinitionName(AssetName) + ".material";
}
std::string KVMeshExporterT::GetMeshAssetFileName() const {
  return RepositoryRoot() + PlatformPath("AssetDefinitions\\" + DefinitionName(AssetName) + "_Mesh.asset");
}
std::string KVMeshExporterT::GetMaterialAssetTarget() const {
  return "AssetDefinitions\\" + DefinitionName(AssetName) + "_Material.asset";
}
std::string KVMeshExporterT::GetMaterialAssetFileName() const {
  return RepositoryRoot() + PlatformPath(GetMaterialAssetTarget());
}

bool KVMeshExporterT::AcceptPrimitive(const TPrimitive& primitive) {
  return !KVPhysicsExporterT::IsCollisionVolume(primitive);
}

void KVMeshExporterT::Export(TScene& scene) {
  ExportMesh(scene);
  const bool hasPhysics = KVPhysicsExporterT::HasCollisionVolumes(scene);
  if (hasPhysics) ExportPhysics(scene);
  WriteMeshAssetDefinition(hasPhysics);
  WriteMaterialAssetDefinition();
}

void KVMeshExporterT::ExportMesh(TScene& scene) {
  scene.CalculateNormals(66);
  QZOgreMeshExporterT exporter(scene);
  exporter.ExportMaterials = true;
  exporter.CopyTextures = true;
  // Relative to the mesh file's directory, which an asset name with a
  // directory part places deeper inside Meshes: the script and the textures
  // still go where the layout (and the definitions) put them.
  const int depth = Depth(AssetName);
  std::string up;
  for (int i = 0; i <= depth; ++i) up += std::string("..") + PathDelimiter;
  const std::string assetDirectory = PlatformPath(DefinitionName(AssetName.substr(0, AssetName.size() - BaseName(AssetName).size())));
  exporter.TextureDirectory = up + "Textures";
  exporter.MaterialDirectory = up + "Materials" + (depth > 0 ? PathDelimiter + assetDirectory : std::string());
  exporter.NamePrefix = AssetName + "_";
  exporter.ExportLightmaps = true;
  exporter.ExportNormals = true;
  exporter.OnFilterPrimitive = AcceptPrimitive;
  if (GetTextureSourceDirectory) exporter.GetTextureSourceDirectory = GetTextureSourceDirectory;

  KeepingWarnings(exporter, Warnings, [&] { exporter.Export(GetMeshFileName()); });
  WrittenFiles.push_back(GetMeshFileName());
  WrittenFiles.push_back(RepositoryRoot() + PlatformPath(GetMaterialTarget()));
  const std::string textures = RepositoryRoot() + "Textures" + PathDelimiter;
  for (const std::string& name : exporter.PlacedTextures)
    if (std::find(TextureFiles.begin(), TextureFiles.end(), name) == TextureFiles.end()) {
      TextureFiles.push_back(name);
      WrittenFiles.push_back(textures + name);
    }
}

void KVMeshExporterT::ExportPhysics(TScene& scene) {
  const std::string meshFile = GetMeshFileName();
  KVPhysicsExporterT exporter(scene, meshFile.substr(meshFile.find_last_of(PathDelimiter) + 1));
  KeepingWarnings(exporter, Warnings, [&] { exporter.Export(GetPhysicsFileName()); });
  WrittenFiles.push_back(GetPhysicsFileName());
}

void KVMeshExporterT::WriteMeshAssetDefinition(bool hasPhysics) {
  TXMLFileWriter writer(GetMeshAssetFileName());
  OpenDefinition(writer, BaseName(AssetName) + "_Mesh", AssetName, "Mesh", Category);
  WriteAssetFile(writer, GetMeshTarget(), "Mesh");
  WriteAssetFile(writer, GetMaterialAssetTarget(), "AssetDefinition");
  if (hasPhysics) WriteAssetFile(writer, GetPhysicsTarget(), "Physics");
  CloseDefinition(writer);
  WrittenFiles.push_back(GetMeshAssetFileName());
}

void KVMeshExporterT::WriteMaterialAssetDefinition() {
  TXMLFileWriter writer(GetMaterialAssetFileName());
  OpenDefinition(writer, BaseName(AssetName) + "_Material", AssetName, "Material", Category);
  WriteAssetFile(writer, GetMaterialTarget(), "Material");
  for (const std::string& name : TextureFiles) WriteAssetFile(writer, "Textures\\" + name, "Texture");
  CloseDefinition(writer);
  WrittenFiles.push_back(GetMaterialAssetFileName());
}
