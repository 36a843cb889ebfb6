#pragma once
// The assets of a batch, read from its SOURCE: a folder of scenes or a list
// file.
//
// A folder: every scene below it (a file ending in ".xml", any letter case;
// hidden files and folders, whose names start with a dot, and links to
// folders are passed over), each the asset named by its path inside the
// folder without ".xml", "/" between its folders: "Props/Crate.xml" is the
// asset "Props/Crate".
//
// A list (a file ending in ".tsv"): one asset a line, its scene, its name and
// optionally its category separated by tabs; blank lines and lines starting
// with "#" are passed over, a line may end in CR LF, and a scene given
// relative is relative to the list's folder.
//
// A list is checked whole before anything is exported: a line that is not
// two or three fields, a scene that is not there, a name or category the
// export refuses and a second line for one asset (letter case aside, as the
// asset's lock folds names) are each a problem naming the list's line, and
// any problem stops the batch. A folder's names are the files' own: one the
// export refuses, or one that only letter case tells from an earlier one,
// fails that asset alone, and the others are exported.
//
// Either way the assets come sorted by name (folders and all, "/" between
// them), so that every machine that reads one source numbers its assets
// alike, as shards need.

#include <string>
#include <vector>

#include "base/uException.h"

struct TBatchEntry {
  // The scene file as it is opened: the folder or the list's folder joined
  // to the name found or written.
  std::string SceneFile;
  // As found or written (a list's "\" stays), before its conversion to Latin-1.
  std::string AssetName;
  std::string Category;
  // The list's line, counted from 1; 0 for a folder's scene.
  int Line = 0;
  // A folder's scene whose asset cannot be exported: why.
  std::string Problem;
};

// A source that cannot be used as a whole: missing, neither a folder nor a
// list, unreadable, or a list with bad lines ("LIST:LINE: message", one
// each). The batch exports nothing.
struct TBatchSourceError : TException {
  explicit TBatchSourceError(std::vector<std::string> problems);
  std::vector<std::string> Problems;
};

// The source's assets, sorted. `defaultCategory` is every asset's category
// unless its line gives one. Raises TBatchSourceError.
std::vector<TBatchEntry> ReadBatchSource(const std::string& source, const std::string& defaultCategory);

// The key that tells two assets apart as the asset's lock does: the name's
// parts joined by "\" with their letter case folded. Empty for a name that is
// not fit.
std::string BatchAssetKey(const std::string& latin1Name);
