#pragma once
// What a mesh export writes and from where, fixed when the exporter is made.

#include <functional>
#include <string>

#include "base/ReportSinks.h"
#include "mesh/QZOgreBinaryMeshWriter.h"
#include "mesh/QZOgreMaterialWriter.h"

class TPrimitive;

// What the files are written for, whichever command or front end writes them:
// chosen once from the user's options and carried whole down to the writers.
struct TMeshTarget {
  // The platform's form by default; quoted names for OGRE 1.7 and later.
  TMaterialNameForm MaterialNameForm = TMaterialNameForm::Platform;
  // The binary mesh's format; the XML form is the same for all of them.
  TMeshFormat MeshFormat = TMeshFormat::V1_30;
  // One sub-mesh per material across primitives (cut where 16-bit indices
  // end), each ordered for the vertex cache and fetching: fewer draw calls
  // for the same picture (see DrawOptimization.h). Off, the output is one
  // sub-mesh per material of every primitive, as it always was.
  bool OptimizeForDrawing = false;
  // Levels of detail beyond the full mesh, 0 to kMostDetailLevels, each with
  // about half the triangles of the one before (see LevelsOfDetail.h), in
  // the binary mesh and the XML form alike. 0: none, the mesh as it always was.
  int LodLevels = 0;
};

struct TMeshExportOptions {
  bool ExportMaterials = true;
  bool CopyTextures = true;
  bool ExportLightmaps = true;
  bool ExportNormals = false;
  TMeshTarget Target;
  // Folders of the script and of the texture copies: relative to the mesh
  // file's folder, or absolute.
  std::string MaterialDirectory;
  std::string TextureDirectory;
  // Put before every material name, so that assets do not share materials.
  std::string NamePrefix;
  // Asked for every primitive whether it is exported; all are when unset.
  std::function<bool(const TPrimitive&)> FilterPrimitive;
  // Where the editor keeps the texture files, always given by the front end:
  // the plug-in asks the editor, the command line is told. Asked once a
  // texture is to be copied, and joined to its file name without a delimiter
  // in between; unset, a texture's file name is its path.
  std::function<std::string()> TextureSource;
  TProgressSink OnProgress;
};
