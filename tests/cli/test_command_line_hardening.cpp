// The command line under hostile use: asset names that would leave the
// repository, and every file of an export failing in turn. The user always
// gets the error on standard error with a status, and the repository keeps
// the whole earlier asset.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "../support/FileFaults.h"
#include "../support/NativePath.h"
#include "../support/RunTool.h"
#include "../support/TempDir.h"
#include "cli/uCommandLine.h"

namespace fs = std::filesystem;

namespace {
const std::string kCrate = std::string(VELDARA_EXAMPLES_DIR) + "/crate.xml";

// The files of the crate asset, each holding "earlier <name>" before an export.
const char* const kAssetFiles[] = {"Meshes/Crate.mesh", "Materials/Crate.material", "Textures/crate_wood.png",
                                   "Physics/Crate.physics", "AssetDefinitions/Crate_Mesh.asset",
                                   "AssetDefinitions/Crate_Material.asset"};

bool TemporaryFilesLeft(const fs::path& folder) {
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.path().extension() == ".tmp" || entry.path().extension() == ".old") return true;
  return false;
}
}  // namespace

TEST(CommandLineAssetNames, NamesThatLeaveTheRepositoryAreRefusedBeforeAnythingIsWritten) {
  TTempDir dir;
  const std::string repository = dir.File("Repo");
  for (const char* name : {"../Crate", "..", "Props/../../Crate", "Props\\..\\..\\Crate", "a/.../b", "a/.. /b",
                           "/tmp/Crate", "\\Crate", "C:Crate", "C:\\Crate", "\\\\server\\share\\Crate"}) {
    const TRun run = RunTool({"export", kCrate, "--repository", repository, "--asset", name, "--init"});
    EXPECT_EQ(run.Status, 2) << name;
    EXPECT_EQ(run.Err, "error: The asset name \"" + std::string(name) +
                           "\" leads out of the repository: it may not be an absolute path, start with a drive or "
                           "hold a \"..\" folder.\n" + kExportUsage);
  }
  for (const char* name : {"CON", "Props/nul", "com1.x", "LPT3\\Crate"}) {
    const TRun run = RunTool({"export", kCrate, "--repository", repository, "--asset", name, "--init"});
    EXPECT_EQ(run.Status, 2) << name;
    EXPECT_EQ(run.Err, "error: The asset name \"" + std::string(name) + "\" holds a name reserved for a device.\n" + kExportUsage);
  }
  EXPECT_TRUE(fs::is_empty(dir.Path()));

  // Folders that stay inside, and dots that are no ".." folder, are fine. The
  // asset's own folders inside the repository's must exist, as they must for
  // the plug-in.
  for (const char* folder : {"Props", "a.b"})
    for (const char* kind : {"Meshes", "Physics", "AssetDefinitions"})
      fs::create_directories(repository + "/" + kind + "/" + folder);
  for (const char* name : {"Props/Crate", "..Crate", "Crate..", "a.b/c"}) {
    const TRun run = RunTool({"export", kCrate, "--repository", repository, "--asset", name, "--init"});
    EXPECT_EQ(run.Status, 0) << name << ": " << run.Err;
  }
}

TEST(CommandLineFaults, EachFailedFileOfAnExportReachesTheUserAndKeepsTheWholeEarlierAsset) {
  for (std::size_t failing = 0; failing < std::size(kAssetFiles); ++failing) {
    for (const TFileFault fault : {TFileFault::ffCreate, TFileFault::ffWrite, TFileFault::ffSync, TFileFault::ffClose,
                                   TFileFault::ffReplace}) {
      const std::string file = kAssetFiles[failing];
      SCOPED_TRACE(file + " " + std::to_string(static_cast<int>(fault)));
      TTempDir dir;
      const std::string root = dir.File("Repo") + "/";
      for (const char* folder : {"Meshes", "Materials", "Textures", "Physics", "AssetDefinitions"})
        fs::create_directories(root + folder);
      for (const char* earlier : kAssetFiles) TTempDir::Write(root + earlier, std::string("earlier ") + earlier);

      TFileFaults faults(fault, file, 100);
      const TRun run = RunTool({"export", kCrate, "--repository", dir.File("Repo"), "--asset", "Crate"});
      EXPECT_EQ(faults.Hits(), 1);
      EXPECT_FALSE(TemporaryFilesLeft(dir.Path()));
      // A texture that cannot be written is an error like any other file.
      EXPECT_EQ(run.Status, 1);
      const std::string message = fault == TFileFault::ffCreate ? "Cannot create file " : "Cannot write file ";
      EXPECT_EQ(run.Err.substr(run.Err.rfind("error: ")), "error: " + message + NativePath(root + file) + "\n");
      EXPECT_EQ(run.Out, "");
      // Every file of the asset keeps its earlier content.
      for (const char* other : kAssetFiles)
        EXPECT_EQ(TTempDir::Read(root + other), std::string("earlier ") + other) << other;
    }
  }
}
