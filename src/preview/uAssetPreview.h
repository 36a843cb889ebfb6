#pragma once
// The preview command's job: finds an asset's files, starts a display when
// the process has none, renders the asset with OGRE and writes the picture.
//
// In a repository, the asset NAME (folders allowed, as for an export) has its
// mesh at Meshes/NAME.mesh, its material script at Materials/NAME.material
// and its textures in Textures. A mesh given on its own has its material
// script and textures beside it, as `veldara-export mesh` writes them
// (FILE.mesh, FILE.material).

#include <ostream>
#include <string>

struct TAssetPreviewRequest {
  // Either a repository and an asset name ...
  std::string Repository;
  std::string AssetName;
  // ... or a mesh file.
  std::string MeshFile;
  // The PNG to write; empty: NAME.png in the current folder, NAME being the
  // asset's own name (without its folders) or the mesh file's without ".mesh".
  std::string Output;
  int Width = 800;
  int Height = 600;
  int Views = 4;  // 4: front, side, top and three-quarter views; 1: the three-quarter view
  bool Timings = false;  // print the times of the steps on standard error
  int DetailLevel = 0;   // the mesh's level of detail to draw: 0, the full mesh
};

// Prints OGRE's warnings about the files as "warning: ..." lines on `err` and
// the PNG's path on `out`. Raises a TException when the files cannot be
// found, OGRE cannot start or render them, or the picture cannot be written.
void RunAssetPreview(const TAssetPreviewRequest& request, std::ostream& out, std::ostream& err);
