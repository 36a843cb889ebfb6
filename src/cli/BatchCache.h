#pragma once
// The batch's memory of what it exported (--cache DIR), so that
// --changed-only skips an asset whose export would write what the repository
// holds already.
//
// After each export that succeeded, the cache records in a file of its own
// (named by a hash of the repository and the asset's name, letter case
// folded as the asset's lock folds it): the tool (its version and a hash of
// the program file, so that a rebuilt tool exports everything again), the
// options (repository, name, category, scale, OGRE and mesh versions,
// --optimize, the texture folder and the scene's path), SHA-256 hashes of
// the scene and of every texture source copied, the hash of every file
// written as the export left it (for a texture, its source's bytes, which
// were copied), and how many warnings the export gave.
//
// An asset is unchanged when its record says the same tool and options,
// every hash still holds, the scene's and sources' as much as the written
// files', and its export gave no warning: what a warning was about (a
// missing texture, another asset's texture of the same name) may have been
// mended since. Contents are compared, never times. A record that is
// missing, unreadable or of another form means changed. A record is written
// like the export's files (whole or not at all); a failed export leaves the
// record of the last one that succeeded, which describes the asset that the
// failure left in place.
//
// The written files are hashed once the export's job has returned, after
// its lock is gone: an export of the same asset by another process in that
// moment would be taken for this one's. The cache assumes that only batches
// change the assets it records while they run.

#include <cstddef>
#include <string>

#include "asset/AssetExportJob.h"
#include "asset/AssetExportOptions.h"

class TBatchCache {
public:
  // `folder` must exist; `tool` is what identifies the program.
  TBatchCache(std::string folder, std::string tool);

  // The program's identity for `tool`: its version and a hash of its file.
  static std::string ToolIdentity(const std::string& version);

  // The hash of the scene before its export reads it ("" when it cannot be
  // read): a change made while the export runs then shows at the next batch.
  static std::string SceneHash(const std::string& sceneFile);

  bool Unchanged(const TAssetExportOptions& options, const std::string& sceneFile) const;

  // Records an export that succeeded with `warnings` warnings; `sceneHash`
  // from SceneHash before it. Raises when the record cannot be written (the
  // earlier one is then removed, so that the asset counts as changed).
  void Record(const TAssetExportOptions& options, const std::string& sceneFile, const std::string& sceneHash,
              const TAssetExportResult& result, std::size_t warnings) const;

private:
  std::string RecordFile(const TAssetExportOptions& options) const;

  std::string FFolder;
  std::string FTool;
};

// True when `inner` is `outer` or lies below it, links resolved and, on
// Windows, letter case aside: the cache must not be inside the repository.
bool FolderLiesWithin(const std::string& inner, const std::string& outer);
