#include "asset/uTextureUsers.h"

#include <algorithm>
#include <string_view>

#include "platform/uFileSystem.h"
#include "xml/uXMLEntities.h"

namespace {
constexpr std::string_view kMaterialDefinition = "_material.asset";
constexpr std::string_view kOpen = "<TargetFile>";
constexpr std::string_view kClose = "</TargetFile>";

// True when a definition lists the target among its files. The definitions
// are ours: each file is one TargetFile element, its text escaped.
bool ListsTarget(const std::string& definition, const std::string& foldedTarget) {
  for (std::size_t at = definition.find(kOpen); at != std::string::npos; at = definition.find(kOpen, at)) {
    at += kOpen.size();
    const std::size_t end = definition.find(kClose, at);
    if (end == std::string::npos) return false;
    const std::string_view text = std::string_view(definition).substr(at, end - at);
    // Decoding never lengthens a text: a shorter one cannot be the target.
    if (text.size() >= foldedTarget.size() && FoldedCase(DecodeEntities(text)) == foldedTarget) return true;
  }
  return false;
}

// Walks one folder of the definitions and those below it (links to folders
// are not followed, so a loop cannot hold the export up).
void FindUsers(const std::string& folder, const std::string& asset, const std::string& foldedTarget,
               const std::string& exceptAsset, std::vector<std::string>& users) {
  std::string text;
  for (const std::string& entry : FolderEntries(folder)) {
    const std::string path = folder + PathDelimiter + entry;
    if (IsDirectoryEntry(path)) {
      FindUsers(path, asset + entry + "/", foldedTarget, exceptAsset, users);
      continue;
    }
    if (entry.size() <= kMaterialDefinition.size()) continue;
    const std::size_t base = entry.size() - kMaterialDefinition.size();
    if (FoldedCase(std::string_view(entry).substr(base)) != kMaterialDefinition) continue;
    const std::string user = asset + entry.substr(0, base);
    if (user != exceptAsset && ReadWholeFile(path, text) && ListsTarget(text, foldedTarget)) users.push_back(user);
  }
}
}  // namespace

std::vector<std::string> AssetsListingTexture(const std::string& repositoryRoot, const std::string& textureName,
                                              const std::string& exceptAsset) {
  std::string definitions = repositoryRoot;
  if (!definitions.empty() && definitions.back() != PathDelimiter) definitions += PathDelimiter;
  std::vector<std::string> users;
  FindUsers(definitions + "AssetDefinitions", "", FoldedCase("Textures\\" + textureName), exceptAsset, users);
  std::sort(users.begin(), users.end());
  return users;
}

std::string ReplacedTextureWarning(const std::string& textureName, const std::vector<std::string>& users) {
  std::string warning = "Texture " + textureName + " replaces a different file of that name";
  for (std::size_t i = 0; i < users.size(); ++i) warning += (i == 0 ? " used by " : ", ") + users[i];
  return warning + ".";
}
