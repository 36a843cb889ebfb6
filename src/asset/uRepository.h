#pragma once
// The rules of an asset repository, in one place for the command line and
// the export dialog: which asset names are fit, where an asset's files go,
// and what must be there before anything is written.
//
// An asset name may hold folders, which place its files one level deeper in
// each folder of the repository. "/" and "\" both separate them, on every
// platform, as the repository travels between systems; the definitions write
// them as "\".

#include <string>
#include <string_view>
#include <vector>

#include "platform/uFileSystem.h"

// The repository's folders, in the order the layout lists them.
inline constexpr const char* RepositoryFolders[] = {"Meshes", "Materials", "Textures", "Physics", "AssetDefinitions"};

// Empty when the name is fit for an asset; otherwise the message that says
// why not. Refused: an empty name, an absolute path, a drive, an empty, "."
// or ".." part, a part ending in a dot or a blank, a part that Windows opens
// as a device, a character that Windows does not allow in a file name, and
// control characters (C1 included: the name is Latin-1 text).
std::string AssetNameProblem(const std::string& assetName);

// Empty when the category can be written into the definitions; otherwise
// the message that says why not (a control character XML cannot hold).
std::string CategoryProblem(const std::string& category);

// The parts of a fit asset name: its folders, then its own name.
std::vector<std::string> AssetNameParts(const std::string& assetName);

// The asset's files and folders inside a repository. The repository is
// taken as given; every path is this platform's.
class TAssetLayout {
public:
  // The asset name must be fit (see AssetNameProblem).
  TAssetLayout(const std::string& repository, const std::string& assetName);

  // The repository followed by one path delimiter.
  const std::string& Root() const { return FRoot; }
  // The name as the definitions write it: its parts joined by "\".
  const std::string& DefinitionName() const { return FDefinitionName; }
  // The last part: the name without its folders.
  const std::string& BaseName() const { return FBaseName; }
  // The definition name with its letter case folded: names that fold alike
  // are one asset on Windows, where the repository is read too, so their
  // exports share one lock and one mark for their temporary files.
  std::string FoldedName() const { return FoldedCase(FDefinitionName); }
  // The folder of the repository, followed by the asset's own folders (for
  // "Textures", which is shared and flat, the folder alone); no delimiter at
  // the end.
  std::string Folder(std::string_view kind) const;
  // A repository-relative target as the definitions write it ("Meshes\A.mesh"),
  // as a path of this platform inside the repository.
  std::string PathOf(const std::string& target) const;
  // The hidden lock file that makes one export of the asset exclusive:
  // ".NAME.lock" in the repository's AssetDefinitions folder, NAME being the
  // folded name with "." between its parts. It stands in that one folder
  // whatever the letter case of the asset's folders, which are distinct
  // folders on Linux.
  std::string LockFile() const;
  // The assets in the repository whose names differ from this one's in
  // letter case alone, as found among the definitions ("props/Level"), sorted.
  std::vector<std::string> AssetsDifferingInCase() const;

  // Checks that the folders an export writes into exist, before anything is
  // written: the asset's folders in Meshes and AssetDefinitions, and in
  // Physics when it has a physics file (Materials and Textures are created).
  // Raises "The repository has no folder %s." naming the first missing one.
  void CheckFolders(bool hasPhysics) const;
  // The first folder that CheckFolders would miss; empty when none.
  std::string MissingFolder(bool hasPhysics) const;

private:
  std::string FRoot;
  std::vector<std::string> FParts;
  std::string FDefinitionName;
  std::string FBaseName;
};
