#pragma once
// Everything an asset export is told by its front end, in one value: which
// asset of which repository, at which scale, for which reader, and where the
// texture files are read from.

#include <functional>
#include <string>

#include "mesh/MeshExportOptions.h"

class TTextureClaims;

struct TAssetExportOptions {
  std::string AssetName;
  std::string Repository;
  std::string Category;
  // Millimetres per editor unit: positions and light ranges are multiplied
  // by it as the scene is read. 1 keeps the editor's numbers.
  float Scale = 1.0f;
  // The material names' form, the mesh format and the drawing order (see
  // MeshExportOptions.h).
  TMeshTarget Target;
  // The repository's own folders are made first when missing; the asset's
  // folders below Meshes, Physics and AssetDefinitions never are, so that a
  // mistyped asset name does not start a new tree.
  bool CreateRepositoryFolders = false;
  // Where the editor keeps its texture files, given by the front end (see
  // MeshExportOptions.h).
  std::function<std::string()> TextureSource;
  // Set when other exports into the repository run at the same time in this
  // process (the batch): their textures are claimed there (see
  // TextureClaims.h). Unset, the repository's files alone are compared.
  TTextureClaims* TextureClaims = nullptr;
  // For a process that ends right after the job (the command line's export):
  // the scene is kept to its end rather than freed, which for a level of a
  // million polygons took longer than writing its mesh (see ProcessEnd.h).
  // The dialog and the batch, which run on, free it.
  bool KeepSceneToProcessEnd = false;
};
