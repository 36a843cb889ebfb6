#pragma once
// One export of a scene as an asset, the same for every front end: the
// command line, the batch and the editor's dialog gather the options and show
// what the sinks report; the job does the rest, in this order:
//
//   check the name and category, make the repository's folders when asked,
//   take the asset's lock, read the scene, calculate its normals, write every
//   file of the asset into one transaction and commit it.
//
// The first error ends the job and leaves the asset's earlier files as they
// were: the repository holds the whole old asset or the whole new one. A
// second export of the asset while one runs is refused at once, before its
// scene is read: "The asset "%s" is being exported by another process.".
// A missing folder raises TMissingFolder (see AssetLayout.h).

#include <cstddef>
#include <string>
#include <vector>

#include "asset/AssetExportOptions.h"
#include "asset/SceneSource.h"
#include "base/ReportSinks.h"

struct TAssetExportResult {
  // Every file of the asset, paths of this platform: mesh, material script,
  // textures, physics file, mesh and material definitions.
  std::vector<std::string> WrittenFiles;
  // The file each texture among them was copied from, in their order.
  std::vector<std::string> TextureSources;
  // The polygons of the scene as read.
  std::size_t Polygons = 0;
};

TAssetExportResult ExportAsset(const TSceneSource& source, const TAssetExportOptions& options,
                               const TReportSinks& sinks);
