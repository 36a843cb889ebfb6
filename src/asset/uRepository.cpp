#include "asset/uRepository.h"

#include <algorithm>
#include <set>

#include "base/uException.h"
#include "platform/uFileSystem.h"
#include "xml/uXMLWriter.h"

namespace {
bool IsNameDelimiter(char c) { return c == '/' || c == '\\'; }

// A relative folder written with "/" (and one at its end), in this
// platform's form.
std::string NativeFolder(std::string folder) {
  std::replace(folder.begin(), folder.end(), '/', PathDelimiter);
  return folder;
}

// Empty, or "." as Windows reads it: it drops trailing dots and blanks.
// (Parts holding ".." are refused before, as leading out.)
bool OnlyDotsAndBlanks(std::string_view part) { return part.find_first_not_of(". ") == std::string_view::npos; }

bool HasControlCharacter(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

// Bytes 0x80 to 0x9F: the C1 control characters of ISO-8859-1, in which the
// definitions are declared (the ANSI code page shows them as "€" or "’",
// which the definitions cannot carry).
bool HasC1ControlCharacter(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80 && static_cast<unsigned char>(c) <= 0x9F) return true;
  return false;
}

// Windows drops dots and blanks at the end of a name: "Crate." would be
// "Crate" there, another asset's files.
bool EndsInDotOrBlank(std::string_view part) { return !part.empty() && (part.back() == '.' || part.back() == ' '); }

// Characters that Windows, where the platform loads our assets, refuses in a
// file name (the colon would name a stream of the file).
bool HasForbiddenCharacter(std::string_view text) { return text.find_first_of("<>:\"|?*") != std::string_view::npos; }
}  // namespace

std::vector<std::string> AssetNameParts(const std::string& assetName) {
  std::vector<std::string> parts(1);
  for (const char c : assetName)
    if (IsNameDelimiter(c))
      parts.emplace_back();
    else
      parts.back() += c;
  return parts;
}

std::string AssetNameProblem(const std::string& assetName) {
  if (assetName.empty()) return "Please specify an asset name.";
  const std::string shown = VisibleText(assetName);
  if (HasControlCharacter(assetName)) return FormatText("The asset name \"%s\" holds a control character.", {shown});
  if (HasC1ControlCharacter(assetName))
    return FormatText("The asset name \"%s\" holds a character from 0x80 to 0x9F, a control character in the "
                      "definitions' ISO-8859-1.",
                      {shown});
  if (LeadsOutOfFolder(assetName))
    return FormatText("The asset name \"%s\" leads out of the repository: it may not be an absolute path, "
                      "start with a drive or hold a \"..\" folder.",
                      {shown});
  const std::vector<std::string> parts = AssetNameParts(assetName);
  if (std::any_of(parts.begin(), parts.end(), OnlyDotsAndBlanks))
    return FormatText("The asset name \"%s\" has an empty or \".\" part.", {shown});
  if (std::any_of(parts.begin(), parts.end(), [](const std::string& part) { return EndsInDotOrBlank(part); }))
    return FormatText("The asset name \"%s\" has a part ending in a dot or a blank, which Windows drops.", {shown});
  if (std::any_of(parts.begin(), parts.end(), [](const std::string& part) { return IsDeviceName(part); }))
    return FormatText("The asset name \"%s\" holds a name reserved for a device.", {shown});
  if (HasForbiddenCharacter(assetName))
    return FormatText("The asset name \"%s\" holds a character that Windows does not allow in file names (< > : \" | "
                      "? *).",
                      {shown});
  return {};
}

std::string CategoryProblem(const std::string& category) {
  if (HasNonXMLControlCharacter(category))
    return FormatText("The category \"%s\" holds a control character.", {VisibleText(category)});
  return {};
}

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

std::string TAssetLayout::PathOf(const std::string& target) const {
  std::string path = target;
  for (char& c : path)
    if (c == '\\') c = PathDelimiter;
  return FRoot + path;
}

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
  if (!missing.empty()) RaiseError("The repository has no folder %s.", {missing});
}
