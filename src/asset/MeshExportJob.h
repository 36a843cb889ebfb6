#pragma once
// One export of a scene as a mesh of its own, outside any repository: the
// mesh file (binary, or XML for a ".xml" name), its material script and its
// texture copies, all in the mesh file's folder. The same run as the asset's
// (see AssetExportJob.h): lock, read, normals, write into one transaction,
// commit; a second export of the same mesh file is refused at once ("The mesh
// %s is being exported by another process.").
//
// No file it writes may replace the scene file, the source of one of the
// scene's textures, or anything but a regular file; the mesh and its script
// must each get a file of their own. Such a target is refused before
// anything is written.

#include <string>
#include <vector>

#include "asset/SceneSource.h"
#include "base/ReportSinks.h"
#include "mesh/MeshExportOptions.h"

struct TMeshFileOptions {
  // The mesh file to write; its folder is made when missing.
  std::string MeshFile;
  // The scene file, which no output may replace; empty when the scene does
  // not come from a file.
  std::string SceneFile;
  // Millimetres per editor unit (see AssetExportOptions.h).
  float Scale = 1.0f;
  TMeshTarget Target;
  // Collision volumes are left out, as the asset's mesh leaves them out,
  // unless this is set.
  bool AllPrimitives = false;
  // The folder the textures are read from, ending with a delimiter.
  std::string TextureFolder;
  // For a process that ends right after the job: the scene is kept to its
  // end rather than freed (see ProcessEnd.h).
  bool KeepSceneToProcessEnd = false;
};

struct TMeshFileResult {
  // The mesh file, its material script and the texture files placed, as
  // absolute paths of this platform.
  std::vector<std::string> WrittenFiles;
};

TMeshFileResult ExportMeshFile(const TSceneSource& source, const TMeshFileOptions& options, const TReportSinks& sinks);
