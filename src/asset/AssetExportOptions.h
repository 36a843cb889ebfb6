#pragma once
// Which asset of which repository an export writes, and from where it reads
// the texture files; fixed when the exporter is made.

#include <functional>
#include <string>

#include "base/ReportSinks.h"
#include "mesh/QZOgreBinaryMeshWriter.h"
#include "mesh/QZOgreMaterialWriter.h"

struct TAssetExportOptions {
  std::string AssetName;
  std::string Repository;
  std::string Category;
  // How the material script names its materials (see QZOgreMaterialWriter.h).
  TMaterialNameForm MaterialNameForm = TMaterialNameForm::Platform;
  // The binary mesh's format (see QZOgreBinaryMeshWriter.h).
  TMeshFormat MeshFormat = TMeshFormat::V1_30;
  // Levels of detail beyond the full mesh (see MeshExportOptions.h); 0: none.
  int LodLevels = 0;
  // Merged, cut and ordered sub-meshes: fewer draw calls (see MeshExportOptions.h).
  bool OptimizeForDrawing = false;
  // Where the editor keeps its texture files, given by the front end (see
  // MeshExportOptions.h).
  std::function<std::string()> TextureSource;
  // Progress of the mesh export: the step's text and how far it is, in
  // percent. Front ends show it; the export itself only reports.
  TProgressSink OnProgress;
};
