#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/ErrorOf.h"
#include "../support/NativePath.h"
#include "../support/SceneText.h"
#include "../support/TempDir.h"
#include "asset/AssetExportJob.h"
#include "asset/AssetLayout.h"
#include "asset/MeshExportJob.h"
#include "platform/uFileLock.h"

namespace {
// One quad of a material without textures, and a collision box when asked.
std::string Document(bool collision) {
  std::string text =
      "<scene><materials><category name=\"Props\"><material id=\"m\" name=\"Paint\" used=\"true\">"
      "<layer type=\"color\" blend=\"replace\"><color r=\"1\" g=\"0\" b=\"0\" /></layer></material>"
      "</category></materials><primitives>";
  for (const char* name : {"Quad", "vdcv_box"}) {
    if (std::string(name) == "vdcv_box" && !collision) continue;
    text += std::string("<primitive id=\"") + name + "\" name=\"" + name +
            "\" type=\"plane\" visible=\"true\" snap=\"none\" autoUV=\"false\"><vertices>"
            "<vertex id=\"0\" x=\"0\" y=\"0\" z=\"0\" /><vertex id=\"1\" x=\"1\" y=\"0\" z=\"0\" />"
            "<vertex id=\"2\" x=\"1\" y=\"0\" z=\"1\" /><vertex id=\"3\" x=\"0\" y=\"0\" z=\"1\" /></vertices>"
            "<polygons><poly mid=\"m\"><vertex vid=\"0\" u0=\"0\" v0=\"0\" /><vertex vid=\"1\" u0=\"1\" v0=\"0\" />"
            "<vertex vid=\"2\" u0=\"1\" v0=\"1\" />"
            "<vertex vid=\"3\" u0=\"0\" v0=\"1\" /></poly></polygons></primitive>";
  }
  return text + "</primitives></scene>";
}

TAssetExportOptions Options(const std::string& repository, const std::string& asset = "Props/Quad") {
  TAssetExportOptions options;
  options.Repository = repository;
  options.AssetName = asset;
  options.TextureSource = [] { return std::string(); };
  return options;
}
}  // namespace

// The order is the job's contract with its front ends: the asset is locked
// before the scene is read, so that a second export is refused at once, and
// the normals are the job's, not the caller's.
TEST(AssetExportJob, LocksThenReadsThenCalculatesNormalsThenWrites) {
  TTempDir dir;
  const std::string root = dir.File("Repo");
  for (const char* folder : {"Meshes/Props", "AssetDefinitions/Props", "Physics/Props"})
    std::filesystem::create_directories(root + "/" + folder);
  std::vector<std::string> steps;
  TReportSinks sinks;
  sinks.Progress = [&](const std::string& step, int) {
    if (steps.empty() || steps.back() != step) steps.push_back(step);
  };
  bool lockedWhileRead = false;
  TSceneSource source = SceneText(Document(true));
  const auto read = source.Read;
  source.Step = "Reading the test's scene...";
  source.Read = [&](TXMLSceneReader& reader) {
    lockedWhileRead = TFileLock::TryAcquire(TAssetLayout(root, "props/QUAD").LockFile()) == nullptr;
    return read(reader);
  };
  const TAssetExportResult result = ExportAsset(source, Options(root), sinks);
  EXPECT_TRUE(lockedWhileRead) << "the lock, letter case aside, is held while the scene is read";
  ASSERT_GE(steps.size(), 3u);
  EXPECT_EQ(steps[0], "Reading the test's scene...");
  EXPECT_EQ(steps[1], "Calculating normals...");
  EXPECT_EQ(result.Polygons, 2u);
  const TAssetLayout layout(root, "Props/Quad");
  EXPECT_EQ(result.WrittenFiles, (std::vector<std::string>{layout.MeshFile(), layout.MaterialFile(), layout.PhysicsFile(),
                                                           layout.MeshDefinitionFile(), layout.MaterialDefinitionFile()}));
  for (const std::string& file : result.WrittenFiles) EXPECT_TRUE(std::filesystem::is_regular_file(file)) << file;
  EXPECT_FALSE(TFileLock::TryAcquire(layout.LockFile()) == nullptr) << "and given back at the end";
}

// The front ends add their own cure to the message: the command line names
// --init, the dialog shows it as it is. The folder travels with the error.
TEST(AssetExportJob, AMissingFolderIsReportedWithTheFolderBeforeAnythingIsWritten) {
  TTempDir dir;
  const std::string root = dir.File("Repo");
  for (const char* folder : {"Meshes/Props", "AssetDefinitions/Props"}) std::filesystem::create_directories(root + "/" + folder);
  for (const bool collision : {false, true}) {
    SCOPED_TRACE(collision);
    std::string folder;
    try {
      ExportAsset(SceneText(Document(collision)), Options(root, collision ? "Props/Quad" : "Other/Quad"), {});
    } catch (const TMissingFolder& missing) {
      folder = missing.Folder;
      EXPECT_EQ(missing.Message(), "The repository has no folder " + folder + ".");
    }
    EXPECT_EQ(folder, NativePath(root + (collision ? "/Physics/Props" : "/Meshes/Other")));
  }
  EXPECT_TRUE(std::filesystem::is_empty(root + "/Meshes/Props"));
  EXPECT_FALSE(std::filesystem::exists(root + "/Materials"));
}

TEST(AssetExportJob, CreatesTheRepositorysOwnFoldersWhenAskedButNeverAnAssetsFolders) {
  TTempDir dir;
  const std::string root = dir.File("New Repo");
  TAssetExportOptions options = Options(root, "Quad");
  options.CreateRepositoryFolders = true;
  ExportAsset(SceneText(Document(true)), options, {});
  EXPECT_TRUE(std::filesystem::is_regular_file(root + "/Physics/Quad.physics"));
  options.AssetName = "Props/Quad";
  EXPECT_EQ(ErrorOf([&] { ExportAsset(SceneText(Document(false)), options, {}); }),
            "The repository has no folder " + NativePath(root + "/Meshes/Props") + ".");
}

TEST(AssetExportJob, TheScaleIsAppliedAsTheSceneIsRead) {
  TTempDir dir;
  std::vector<std::string> meshes;
  for (const float scale : {1.0f, 10.0f}) {
    const std::string root = dir.File("Repo" + std::to_string(static_cast<int>(scale)));
    TAssetExportOptions options = Options(root, "Quad");
    options.CreateRepositoryFolders = true;
    options.Scale = scale;
    ExportAsset(SceneText(Document(false)), options, {});
    meshes.push_back(TTempDir::Read(root + "/Meshes/Quad.mesh"));
  }
  EXPECT_EQ(meshes[0].size(), meshes[1].size());
  EXPECT_NE(meshes[0], meshes[1]) << "positions and bounds differ by the scale";
}

TEST(MeshExportJob, WritesTheMeshItsScriptAndNoCollisionVolumeUnlessAsked) {
  TTempDir dir;
  std::vector<std::string> steps;
  TReportSinks sinks;
  sinks.Progress = [&](const std::string& step, int) {
    if (steps.empty() || steps.back() != step) steps.push_back(step);
  };
  TMeshFileOptions options;
  options.MeshFile = dir.File("out/Quad.mesh");
  const TMeshFileResult visible = ExportMeshFile(SceneText(Document(true)), options, sinks);
  ASSERT_EQ(visible.WrittenFiles.size(), 2u);
  EXPECT_EQ(visible.WrittenFiles[1], NativePath(dir.File("out/Quad.material")));
  EXPECT_EQ(steps[0], "Reading scene...");
  EXPECT_EQ(steps[1], "Calculating normals...");
  const std::size_t oneQuad = TTempDir::Read(dir.File("out/Quad.mesh")).size();
  options.AllPrimitives = true;
  ExportMeshFile(SceneText(Document(true)), options, {});
  EXPECT_GT(TTempDir::Read(dir.File("out/Quad.mesh")).size(), oneQuad) << "the collision box is written too";
}

TEST(MeshExportJob, ASecondExportOfTheSameMeshIsRefusedAtOnce) {
  TTempDir dir;
  std::filesystem::create_directories(dir.File("out"));
  const auto held = TFileLock::TryAcquire(NativePath(dir.File("out/.Quad.mesh.lock")));
  ASSERT_TRUE(held);
  TMeshFileOptions options;
  options.MeshFile = dir.File("out/Quad.mesh");
  bool read = false;
  TSceneSource source = SceneText(Document(false));
  const auto text = source.Read;
  source.Read = [&](TXMLSceneReader& reader) {
    read = true;
    return text(reader);
  };
  EXPECT_EQ(ErrorOf([&] { ExportMeshFile(source, options, {}); }),
            "The mesh " + options.MeshFile + " is being exported by another process.");
  EXPECT_FALSE(read);
  EXPECT_FALSE(std::filesystem::exists(dir.File("out/Quad.mesh")));
}

// The command line keeps the scene to its process's end: nothing the job
// writes or returns may change with that, for the asset as for a mesh file.
TEST(AssetExportJob, KeepingTheSceneToTheProcessEndChangesNoFile) {
  TTempDir dir;
  std::vector<std::vector<std::string>> contents;
  for (const bool keep : {false, true}) {
    const std::string root = dir.File(keep ? "Kept" : "Freed");
    TAssetExportOptions options = Options(root, "Quad");
    options.CreateRepositoryFolders = true;
    options.KeepSceneToProcessEnd = keep;
    const TAssetExportResult result = ExportAsset(SceneText(Document(true)), options, {});
    EXPECT_EQ(result.Polygons, 2u);
    TMeshFileOptions meshOptions;
    meshOptions.MeshFile = root + "/Alone/Quad.mesh";
    meshOptions.KeepSceneToProcessEnd = keep;
    ExportMeshFile(SceneText(Document(true)), meshOptions, {});
    contents.emplace_back();
    for (const std::string& file : result.WrittenFiles) contents.back().push_back(TTempDir::Read(file));
    contents.back().push_back(TTempDir::Read(meshOptions.MeshFile));
  }
  EXPECT_EQ(contents[0], contents[1]);
}
