// Every file step of a mesh export made to fail in turn: the error reaches the
// caller with its message, no temporary file is left, and the mesh, its
// script and its texture all keep their earlier content: they are replaced
// together or not at all. Only a texture source that cannot be read is a
// warning: the export goes on, as it does for a missing texture.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/ErrorOf.h"
#include "../support/FileFaults.h"
#include "../support/MeshExport.h"
#include "../support/NativePath.h"
#include "../support/TempDir.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "scene/uXMLSceneReader.h"

namespace fs = std::filesystem;

namespace {
// Enough polygons that the mesh file takes several blocks of the stream.
std::string Document() {
  std::string vertices, polygons;
  for (int i = 0; i < 3000; ++i) {
    const std::string id = std::to_string(i);
    vertices += "<vertex id=\"" + id + "\" x=\"" + id + "\" y=\"" + std::to_string(i % 3) + "\" z=\"" +
                std::to_string(i % 5) + "\" />";
  }
  for (int i = 0; i + 2 < 3000; i += 3) {
    polygons += "<poly mid=\"m\">";
    for (int k = 0; k < 3; ++k) polygons += "<vertex vid=\"" + std::to_string(i + k) + "\" u0=\"0\" v0=\"1\" />";
    polygons += "</poly>";
  }
  return "<scene><materials><category name=\"C\"><material id=\"m\" name=\"Stone\" used=\"true\"><layer "
         "type=\"texture\" blend=\"replace\"><texture file=\"stone.png\" /></layer></material></category></materials>"
         "<primitives><primitive id=\"p\" name=\"P\" type=\"userdefined\" visible=\"true\" snap=\"none\" "
         "autoUV=\"false\"><vertices>" +
         vertices + "</vertices><polygons>" + polygons + "</polygons></primitive></primitives></scene>";
}

struct TRepository {
  TTempDir Dir;
  std::string Mesh = Dir.File("Meshes/A.mesh");
  std::string Material = Dir.File("Materials/A.material");
  std::string Texture = Dir.File("Textures/stone.png");
  std::string Sources = Dir.File("editor") + "/";
  std::vector<std::string> Warnings;

  // Files of the same names from an earlier export.
  TRepository() {
    for (const char* folder : {"Meshes", "Materials", "Textures", "editor"}) fs::create_directories(Dir.File(folder));
    TTempDir::Write(Mesh, "earlier mesh");
    TTempDir::Write(Material, "earlier material");
    TTempDir::Write(Texture, "earlier texture");
    TTempDir::Write(Sources + "stone.png", std::string(150000, 'p'));
  }

  void Export() {
    auto scene = TXMLSceneReader().ReadSceneText(Document());
    ExportMesh(*scene, Mesh, Sources, Warnings);
  }

  bool TemporaryFilesLeft() const {
    for (const auto& entry : fs::recursive_directory_iterator(Dir.Path()))
      if (entry.path().extension() == ".tmp" || entry.path().extension() == ".old") return true;
    return false;
  }
};

// Compared here rather than in the expectation, which would print megabytes.
bool Holds(const std::string& fileName, const std::string& content) { return TTempDir::Read(fileName) == content; }

struct TFaultCase {
  TFileFault Fault;
  uint64_t AtByte;
  const char* Message;  // followed by the file name
};

const TFaultCase kFaults[] = {
    {TFileFault::ffCreate, 0, "Cannot create file "},
    {TFileFault::ffWrite, 0, "Cannot write file "},
    {TFileFault::ffWrite, 40000, "Cannot write file "},
    {TFileFault::ffSync, 0, "Cannot write file "},
    {TFileFault::ffClose, 0, "Cannot write file "},
    {TFileFault::ffReplace, 0, "Cannot write file "},
};

const char* Describe(TFileFault fault) {
  switch (fault) {
    case TFileFault::ffNone: return "none";
    case TFileFault::ffCreate: return "create";
    case TFileFault::ffWrite: return "write";
    case TFileFault::ffSync: return "sync";
    case TFileFault::ffClose: return "close";
    case TFileFault::ffReplace: return "replace";
    case TFileFault::ffSyncFolder: return "sync folder";
    case TFileFault::ffRead: return "read";
  }
  return "?";
}
}  // namespace

TEST(ExportFaults, AnyFailedFileLeavesTheMeshItsScriptAndItsTexturesAsTheyWere) {
  for (const char* file : {"Meshes/A.mesh", "Materials/A.material", "Textures/stone.png"})
    for (const TFaultCase& c : kFaults) {
      SCOPED_TRACE(file + std::string(" ") + Describe(c.Fault) + " at " + std::to_string(c.AtByte));
      TRepository repository;
      // The script is a few hundred bytes.
      TFileFaults faults(c.Fault, file, std::string(file).find("material") != std::string::npos ? c.AtByte / 1000 : c.AtByte);
      // The mesh is named as the caller gave it; the other files as the exporter joins them.
      const std::string named = file == std::string("Meshes/A.mesh") ? repository.Mesh : NativePath(repository.Dir.File(file));
      EXPECT_EQ(ErrorOf([&] { repository.Export(); }), c.Message + named);
      EXPECT_EQ(faults.Hits(), 1);
      EXPECT_FALSE(repository.TemporaryFilesLeft());
      EXPECT_TRUE(Holds(repository.Mesh, "earlier mesh"));
      EXPECT_TRUE(Holds(repository.Material, "earlier material"));
      EXPECT_TRUE(Holds(repository.Texture, "earlier texture"));
    }
  // A folder's flush after the moves puts every earlier file back too.
  TRepository repository;
  TFileFaults faults(TFileFault::ffSyncFolder, "Textures");
  EXPECT_EQ(ErrorOf([&] { repository.Export(); }), "Cannot write file " + NativePath(repository.Dir.File("Textures")));
  EXPECT_FALSE(repository.TemporaryFilesLeft());
  EXPECT_TRUE(Holds(repository.Mesh, "earlier mesh"));
  EXPECT_TRUE(Holds(repository.Material, "earlier material"));
  EXPECT_TRUE(Holds(repository.Texture, "earlier texture"));
}

TEST(ExportFaults, AnUnreadableTextureSourceIsAWarningAndKeepsTheEarlierTexture) {
  TRepository repository;
  TFileFaults faults(TFileFault::ffRead, "editor/stone.png");
  repository.Export();
  EXPECT_EQ(faults.Hits(), 1);
  EXPECT_EQ(repository.Warnings,
            std::vector<std::string>{"Texture file \"" + repository.Sources + "stone.png\" could not be read."});
  EXPECT_FALSE(repository.TemporaryFilesLeft());
  EXPECT_GT(fs::file_size(repository.Mesh), 60000u);
  EXPECT_NE(TTempDir::Read(repository.Material), "earlier material");
  EXPECT_TRUE(Holds(repository.Texture, "earlier texture"));
}

TEST(ExportFaults, WithoutAFaultEveryFileIsReplaced) {
  TRepository repository;
  repository.Export();
  EXPECT_EQ(repository.Warnings, std::vector<std::string>{});
  EXPECT_GT(fs::file_size(repository.Mesh), 60000u);
  EXPECT_EQ(TTempDir::Read(repository.Material).substr(0, 14), "material Stone");
  EXPECT_TRUE(Holds(repository.Texture, std::string(150000, 'p')));
}
