#pragma once
// Turns a scene into the geometry and materials of one OGRE mesh and writes
// them: the mesh file (binary, or XML for a ".xml" name), the material script
// and the copies of the texture files.

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "mesh/QZOgreMaterialWriterCl.h"
#include "mesh/QZOgreMeshModelCl.h"

class TFileTransaction;
class TScene;
class TPrimitive;

class QZOgreMeshExporterT {
public:
  explicit QZOgreMeshExporterT(const TScene& scene);

  // Builds the output model on the first call, then writes the mesh file, the
  // material script and the texture copies as the settings ask. Build refuses
  // a model whose names would corrupt the files: a material or texture name
  // with a line break or a zero byte, a texture without a file name or with a
  // name that Windows reserves for a device ("CON", "NUL.png", "COM1"...),
  // and control characters in material and texture names.
  // The files are written into `Transaction`; without one, into a
  // transaction of their own that Export commits, so that the mesh, its
  // script and its textures replace their earlier versions together or not
  // at all. A texture whose source cannot be read (missing, not a regular
  // file, or outside the texture folder) only adds a warning; a texture copy
  // that cannot be written is an error like any other file.
  void Export(const std::string& fileName);
  void Build();
  TMeshBounds CalculateBounds() const;
  QZOgreTextureT& FindOrAddTexture(const std::string& name);
  // Directories of the script and the texture copies for a mesh file, created
  // with their parents; they end with a path delimiter.
  std::string GetMaterialPath(const std::string& meshFileName) const;
  std::string GetTexturePath(const std::string& meshFileName) const;

  // Cuts sub-meshes with more vertices than 16-bit indices address into
  // several of the same material first (see SubMeshCutting.h).
  void WriteBinaryMesh(const std::string& fileName, TFileTransaction* transaction = nullptr);
  void WriteXMLMesh(const std::string& fileName, TFileTransaction* transaction = nullptr);
  void WriteMaterialFile(const std::string& fileName, TFileTransaction* transaction = nullptr);
  void CopyTextureFiles(const std::string& directory, TFileTransaction& transaction);
  // Where a texture's file is read from: the source directory joined to its
  // file name, in this platform's form.
  std::string TextureSourcePath(const QZOgreTextureT& texture) const;

  const TScene& Scene;
  bool ExportMaterials = true;
  std::string MaterialDirectory;  // relative to the mesh file's directory
  bool CopyTextures = true;
  std::string TextureDirectory;  // relative to the mesh file's directory
  bool ExportLightmaps = true;
  std::string NamePrefix;
  // The platform's form by default; quoted names for OGRE 1.7 and later.
  TMaterialNameForm MaterialNameForm = TMaterialNameForm::Platform;
  // Asked for every primitive whether it is exported; all are when unset.
  std::function<bool(const TPrimitive&)> OnFilterPrimitive;
  bool ExportNormals = false;
  // One sub-mesh per material across primitives (cut where 16-bit indices
  // end), each ordered for the vertex cache and fetching: fewer draw calls
  // for the same picture (see DrawOptimisation.h). Off, the output is one
  // sub-mesh per material of every primitive, as it always was.
  bool OptimizeForDrawing = false;
  // Where the editor keeps the texture files, given by the front end: the
  // plug-in asks the editor (its settings file), the command line is told.
  // Joined to a texture's file name without a delimiter in between; unset, a
  // texture's file name is its path.
  std::function<std::string()> GetTextureSourceDirectory;
  std::function<void(const std::string& status, int percent)> OnProgress;
  // The transaction the files join; Export makes its own when unset.
  TFileTransaction* Transaction = nullptr;

  std::vector<std::unique_ptr<QZOgreTextureT>> Textures;
  std::vector<std::unique_ptr<QZOgreMaterialT>> Materials;
  std::vector<std::unique_ptr<QZOgreSubMeshT>> SubMeshes;
  int32_t LightmapCount = 0;
  // Target names of the texture entries handled by the copy runs, colours included.
  std::vector<std::string> CopiedTextures;
  // Target names of the texture files actually placed in the texture directory.
  std::vector<std::string> PlacedTextures;
  // What went wrong without stopping the export, e.g. a missing texture file.
  std::vector<std::string> Warnings;
  std::string StatusText;

private:
  void ProcessMaterials();
  void ProcessPrimitives();
  void BuildPrimitive(const TPrimitive& primitive);
  void RemoveUnusedMaterials();
  void RemoveUnusedTextures();
  void SplitSubMeshes();
  void CheckNames() const;
  void SetStatus(const std::string& text);
  void SetProgress(int percent);
  std::string TextureSourceProblem(const QZOgreTextureT& texture, const std::string& source) const;

  bool FBuilt = false;
  // The texture entries by file name, as every layer of every material asks.
  std::unordered_map<std::string, QZOgreTextureT*> FTextureIndex;
};

// The file-name part of a path ("\", "/" and a drive colon end the directory
// part) with every blank replaced by "_": the name a texture gets in the
// texture directory and in the material script.
std::string TextureTargetName(const std::string& path);
