#include "asset/AssetLayout.h"

#include <algorithm>
#include <set>

#include "asset/uRepository.h"
#include "platform/uFileSystem.h"

namespace {
// A relative folder written with "/" (and one at its end), in this
// platform's form.
std::string NativeFolder(std::string folder) {
  std::replace(folder.begin(), folder.end(), '/', PathDelimiter);
  return folder;
}
}  // namespace

TMissingFolder::TMissingFolder(const std::string& folder)
    : TException(FormatText("The repository has no folder %s.", {folder})), Folder(folder) {}

TAssetLayout::TAssetLayout(const std::string& repository, const std::string& assetName)
    : FRoot(repository), FParts(AssetNameParts(assetName)), FBaseName(FParts.back()) {
  if (FRoot.empty() || FRoot.back() != PathDelimiter) FRoot += PathDelimiter;
  for (const std::string& part : FParts) FDefinitionName += (FDefinitionName.empty() ? "" : "\\") + part;
}

std::string TAssetLayout::Folder(std::string_view kind) const {
  std::string folder = FRoot + std::string(kind);
  if (kind != "Textures")
    for (std::size_t i = 0; i + 1 < FParts.size(); ++i) folder += PathDelimiter + FParts[i];
  return folder;
}

std::string TAssetLayout::MeshTarget() const { return "Meshes\\" + FDefinitionName + ".mesh"; }
std::string TAssetLayout::MaterialTarget() const { return "Materials\\" + FDefinitionName + ".material"; }
std::string TAssetLayout::PhysicsTarget() const { return "Physics\\" + FDefinitionName + ".physics"; }
std::string TAssetLayout::MeshDefinitionTarget() const { return "AssetDefinitions\\" + FDefinitionName + "_Mesh.asset"; }
std::string TAssetLayout::MaterialDefinitionTarget() const {
  return "AssetDefinitions\\" + FDefinitionName + "_Material.asset";
}
std::string TAssetLayout::TextureTarget(const std::string& textureName) const { return "Textures\\" + textureName; }

std::string TAssetLayout::PathOf(const std::string& target) const {
  std::string path = target;
  for (char& c : path)
    if (c == '\\') c = PathDelimiter;
  return FRoot + path;
}

std::string TAssetLayout::FoldedName() const { return FoldedCase(FDefinitionName); }

std::string TAssetLayout::LockFile() const {
  std::string name = FoldedName();
  std::replace(name.begin(), name.end(), '\\', '.');
  return FRoot + "AssetDefinitions" + PathDelimiter + "." + name + ".lock";
}

std::vector<std::string> TAssetLayout::AssetsDifferingInCase() const {
  const std::string definitions = FRoot + "AssetDefinitions";
  // The asset's folders as found, each matched letter case aside: on Linux
  // "Props" and "props" may both be there.
  std::vector<std::string> folders = {""};  // each ending with "/" but the first
  for (std::size_t i = 0; i + 1 < FParts.size(); ++i) {
    std::vector<std::string> deeper;
    const std::string folded = FoldedCase(FParts[i]);
    for (const std::string& folder : folders) {
      const std::string path = definitions + PathDelimiter + NativeFolder(folder);
      for (const std::string& entry : FolderEntries(path))
        if (FoldedCase(entry) == folded && IsDirectoryEntry(path + entry)) deeper.push_back(folder + entry + "/");
    }
    folders = std::move(deeper);
  }
  std::string own;
  for (std::size_t i = 0; i + 1 < FParts.size(); ++i) own += FParts[i] + "/";
  own += FBaseName;
  const std::string folded = FoldedCase(FBaseName);
  std::set<std::string> found;
  for (const std::string& folder : folders)
    for (const std::string& entry : FolderEntries(definitions + PathDelimiter + NativeFolder(folder)))
      for (const std::string_view kind : {"_mesh.asset", "_material.asset"}) {
        if (entry.size() <= kind.size()) continue;
        const std::string base = entry.substr(0, entry.size() - kind.size());
        if (FoldedCase(entry.substr(base.size())) == kind && FoldedCase(base) == folded && folder + base != own)
          found.insert(folder + base);
      }
  return {found.begin(), found.end()};
}

std::string TAssetLayout::MissingFolder(bool hasPhysics) const {
  for (const char* kind : {"Meshes", "AssetDefinitions", "Physics"}) {
    if (std::string_view(kind) == "Physics" && !hasPhysics) continue;
    if (!DirectoryExists(Folder(kind))) return Folder(kind);
  }
  return {};
}

void TAssetLayout::CheckFolders(bool hasPhysics) const {
  const std::string missing = MissingFolder(hasPhysics);
  if (!missing.empty()) throw TMissingFolder(missing);
}
