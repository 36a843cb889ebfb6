#pragma once
// Where every file of one asset lives in a repository, in one value that the
// exporter, its transaction, the preview and the dialog all ask: the paths
// as this platform opens them, the targets as the definitions write them
// ("Meshes\Props\Crate.mesh"), the lock's file and the mark of the asset's
// temporary files.
//
// One letter-case rule: the files keep the name's letter case, as the user
// wrote it; the lock and the mark fold it, because names that fold alike are
// one asset on Windows, where the repository is read too.

#include <string>
#include <string_view>
#include <vector>

#include "base/uException.h"

// A folder of the repository that an export needs is not there. Front ends
// that can create the repository's folders add how to their message.
struct TMissingFolder : TException {
  explicit TMissingFolder(const std::string& folder);
  std::string Folder;
};

class TAssetLayout {
public:
  // The asset name must be fit (see AssetNameProblem in uRepository.h). The
  // repository is taken as given.
  TAssetLayout(const std::string& repository, const std::string& assetName);

  // The repository followed by one path delimiter.
  const std::string& Root() const { return FRoot; }
  // The name as the definitions write it: its parts joined by "\".
  const std::string& DefinitionName() const { return FDefinitionName; }
  // The last part: the name without its folders.
  const std::string& BaseName() const { return FBaseName; }
  // The folder of the repository, followed by the asset's own folders (for
  // "Textures", which is shared and flat, the folder alone); no delimiter at
  // the end.
  std::string Folder(std::string_view kind) const;

  // Repository-relative targets as the definitions write them.
  std::string MeshTarget() const;
  std::string MaterialTarget() const;
  std::string PhysicsTarget() const;
  std::string MeshDefinitionTarget() const;
  std::string MaterialDefinitionTarget() const;
  std::string TextureTarget(const std::string& textureName) const;
  // A target as a path of this platform inside the repository.
  std::string PathOf(const std::string& target) const;

  // The same files as paths of this platform.
  std::string MeshFile() const { return PathOf(MeshTarget()); }
  std::string MaterialFile() const { return PathOf(MaterialTarget()); }
  std::string PhysicsFile() const { return PathOf(PhysicsTarget()); }
  std::string MeshDefinitionFile() const { return PathOf(MeshDefinitionTarget()); }
  std::string MaterialDefinitionFile() const { return PathOf(MaterialDefinitionTarget()); }
  std::string TextureFile(const std::string& textureName) const { return PathOf(TextureTarget(textureName)); }

  // The definition name with its letter case folded: the mark of the asset's
  // temporary files, shared by every export that the lock keeps out.
  std::string FoldedName() const;
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
  // Raises TMissingFolder, "The repository has no folder %s.", naming the
  // first missing one.
  void CheckFolders(bool hasPhysics) const;
  // The first folder that CheckFolders would miss; empty when none.
  std::string MissingFolder(bool hasPhysics) const;

private:
  std::string FRoot;
  std::vector<std::string> FParts;
  std::string FDefinitionName;
  std::string FBaseName;
};
