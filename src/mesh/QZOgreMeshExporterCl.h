#pragma once
// Turns a scene into the geometry and materials of one OGRE mesh and writes
// them: the mesh file (binary, or XML for a ".xml" name), the material script
// and the copies of the texture files.

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/ReportSinks.h"
#include "mesh/LevelsOfDetail.h"
#include "mesh/MeshExportOptions.h"
#include "mesh/QZOgreMaterialWriter.h"
#include "mesh/QZOgreMeshModelCl.h"
#include "mesh/SubMeshCutting.h"
#include "platform/uFileSystem.h"

class TFileTransaction;
class TScene;
class TPrimitive;

class QZOgreMeshExporterT {
public:
  // Problems that do not stop the export (a texture that cannot be read, two
  // textures placed under one name) go to `warnings` as they are met.
  QZOgreMeshExporterT(const TScene& scene, TMeshExportOptions options, TWarningSink warnings = {});

  // Builds the output model on the first call, then writes the mesh file, the
  // material script and the texture copies as the options ask. Build refuses
  // a model whose names would corrupt the files: a material or texture name
  // with a line break or a zero byte, a texture without a file name or with a
  // name that Windows reserves for a device ("CON", "NUL.png", "COM1"...) or
  // with a character Windows does not allow in a file name (" < > | ? * or a
  // tab), and control characters in material and texture names.
  // The files are written into `transaction`; without one, into a
  // transaction of their own that Export commits, so that the mesh, its
  // script and its textures replace their earlier versions together or not
  // at all. A texture whose source cannot be read (missing, not a regular
  // file, or outside the texture folder) only adds a warning; a texture copy
  // that cannot be written is an error like any other file.
  void Export(const std::string& fileName, TFileTransaction* transaction = nullptr);
  void Build();
  TMeshBounds CalculateBounds() const;

  // Folders of the script and the texture copies for a mesh file, ending
  // with a path delimiter; Export creates them with their parents.
  std::string MaterialFolder(const std::string& meshFileName) const;
  std::string TextureFolder(const std::string& meshFileName) const;

  // Cuts sub-meshes with more vertices than 16-bit indices address into
  // several of the same material first (see SubMeshCutting.h). Both mesh
  // forms get the levels of detail that the options ask for, made for the
  // sub-meshes they hold (LevelsOfDetail.h).
  void WriteBinaryMesh(const std::string& fileName, TFileTransaction* transaction = nullptr);
  void WriteXMLMesh(const std::string& fileName, TFileTransaction* transaction = nullptr);
  void WriteMaterialFile(const std::string& fileName, TFileTransaction* transaction = nullptr);
  void CopyTextureFiles(const std::string& directory, TFileTransaction& transaction);
  // Where a texture's file is read from: the source directory joined to its
  // file name, in this platform's form.
  std::string TextureSourcePath(const QZOgreTextureT& texture) const;

  // The model that Build made.
  const std::vector<std::unique_ptr<QZOgreTextureT>>& GetTextures() const { return FTextures; }
  const std::vector<std::unique_ptr<QZOgreMaterialT>>& GetMaterials() const { return FMaterials; }
  const std::vector<std::unique_ptr<QZOgreSubMeshT>>& GetSubMeshes() const { return FSubMeshes; }
  // The sub-meshes as the binary mesh holds them: those with more vertices
  // than 16-bit indices address cut into pieces (see SubMeshCutting.h). The
  // model's own stay whole, as the XML form writes them.
  TShortIndexSubMeshes BinarySubMeshes() const;
  int32_t GetLightmapCount() const { return FLightmapCount; }
  // Target names of the texture entries handled by the copy runs, colours included.
  const std::vector<std::string>& GetCopiedTextures() const { return FCopiedTextures; }
  // Target names of the texture files actually placed in the texture directory.
  const std::vector<std::string>& GetPlacedTextures() const { return FPlacedTextures; }
  // The files they were copied from, in the same order.
  const std::vector<std::string>& GetPlacedTextureSources() const { return FPlacedSources; }

private:
  QZOgreTextureT& FindOrAddTexture(const std::string& name);
  void ProcessMaterials();
  // A primitive's sub-mesh, and the materials its faces use.
  struct TBuiltPrimitive {
    std::unique_ptr<QZOgreSubMeshT> SubMesh;
    std::vector<QZOgreMaterialT*> UsedMaterials;
  };
  void ProcessPrimitives();
  TBuiltPrimitive BuildPrimitive(const TPrimitive& primitive) const;
  void RemoveUnusedMaterials();
  void RemoveUnusedTextures();
  void SplitSubMeshes();
  void CheckNames() const;
  // The levels of detail of these sub-meshes that the options ask for; none for 0.
  std::vector<TDetailLevel> DetailLevels(const TSubMeshView& subMeshes, float radius);
  void SetStatus(const std::string& text);
  void SetProgress(int percent);
  void Warn(const std::string& warning) const;
  std::string TextureSourceProblem(const QZOgreTextureT& texture, const std::string& source, const std::string& folder,
                                   TSourceFile found) const;

  const TScene& FScene;
  const TMeshExportOptions FOptions;
  const TWarningSink FWarnings;
  std::vector<std::unique_ptr<QZOgreTextureT>> FTextures;
  std::vector<std::unique_ptr<QZOgreMaterialT>> FMaterials;
  std::vector<std::unique_ptr<QZOgreSubMeshT>> FSubMeshes;
  int32_t FLightmapCount = 0;
  std::vector<std::string> FCopiedTextures;
  std::vector<std::string> FPlacedTextures;
  std::vector<std::string> FPlacedSources;
  std::string FStatusText;
  bool FBuilt = false;
  // The texture entries by file name, as every layer of every material asks.
  std::unordered_map<std::string, QZOgreTextureT*> FTextureIndex;
};

// The file name of a mesh's material script: the mesh's file name with a
// trailing ".mesh.xml", ".xml" or ".mesh" (any letter case) replaced by
// ".material", so that "Crate.mesh" and "Crate.mesh.xml" both get
// "Crate.material", where OGRE's tools and other readers look for it; any
// other extension is replaced as well, and a name without one gets ".material"
// appended.
std::string MaterialScriptName(const std::string& meshFileName);

// The file-name part of a path ("\", "/" and a drive colon end the directory
// part) with every blank replaced by "_": the name a texture gets in the
// texture directory and in the material script.
std::string TextureTargetName(const std::string& path);
