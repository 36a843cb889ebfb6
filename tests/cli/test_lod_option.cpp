// --lod on `mesh` and `export` (and `preview`'s choice of level): the levels
// change the mesh alone, in each format and in the XML form; 0 is the
// default and changes nothing; a count outside 0 to 8 is a usage error that
// writes nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "../support/RunTool.h"
#include "../support/TempDir.h"
#include "SceneDocumentGenerator.h"

namespace {
const std::string kLodUsage = "error: Please specify the levels of detail as a whole number from 0 to 8.";

// The identifiers of the chunks directly inside the mesh chunk of a binary
// mesh, in order: after the header chunk's version line, the mesh chunk's
// identifier, length and skeleton flag, then its chunks one after another.
std::vector<uint32_t> MeshChunks(const std::string& mesh) {
  const std::size_t meshChunk = mesh.find('\n') + 1;
  const auto at = [&](std::size_t offset, std::size_t size) {
    uint32_t value = 0;
    if (offset + size > mesh.size()) return uint32_t{0xFFFFFFFF};
    std::memcpy(&value, mesh.data() + offset, size);
    return value;
  };
  std::vector<uint32_t> ids;
  if (at(meshChunk, 2) != 0x3000) return ids;
  const std::size_t end = meshChunk + at(meshChunk + 2, 4);
  for (std::size_t chunk = meshChunk + 7; chunk + 6 <= end;) {
    const uint32_t length = at(chunk + 2, 4);
    if (length < 6) break;
    ids.push_back(at(chunk, 2));
    chunk += length;
  }
  return ids;
}

bool HasLevelChunk(const std::string& mesh) {
  const std::vector<uint32_t> ids = MeshChunks(mesh);
  return std::find(ids.begin(), ids.end(), 0x8000u) != ids.end();
}

// Every file below the folder with its content, by its name relative to it.
std::vector<std::pair<std::string, std::string>> Files(const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      files.emplace_back(std::filesystem::relative(entry.path(), folder).generic_string(),
                         TTempDir::Read(entry.path().string()));
  std::sort(files.begin(), files.end());
  return files;
}

std::string GeneratedLevel(const TTempDir& dir) {
  const std::string scene = dir.File("level.xml");
  TTempDir::Write(scene, GenerateSceneDocument({.Polygons = 1500}));
  return scene;
}
}  // namespace

TEST(CommandLineLod, ExportWithLevelsChangesOnlyTheMeshAndZeroIsTheDefaultInEveryFormat) {
  TTempDir dir;
  const std::string scene = GeneratedLevel(dir);
  for (const std::string version : {"1.30", "1.8", "1.100"}) {
    SCOPED_TRACE(version);
    const auto exportInto = [&](const std::string& repository, const std::vector<std::string>& lod) {
      std::vector<std::string> arguments = {"export", scene, "--repository", dir.File(version + repository),
                                            "--asset", "Level", "--init", "--mesh-version", version};
      arguments.insert(arguments.end(), lod.begin(), lod.end());
      const TRun run = RunTool(arguments);
      EXPECT_EQ(run.Status, 0) << run.Err;
      return Files(dir.File(version + repository));
    };
    const auto plain = exportInto("plain", {}), zero = exportInto("zero", {"--lod", "0"}),
               levels = exportInto("levels", {"--lod", "2"});
    EXPECT_TRUE(zero == plain) << "--lod 0 writes every file as no --lod does";
    ASSERT_EQ(levels.size(), plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
      ASSERT_EQ(levels[i].first, plain[i].first);
      if (plain[i].first == "Meshes/Level.mesh") {
        EXPECT_FALSE(HasLevelChunk(plain[i].second));
        EXPECT_TRUE(HasLevelChunk(levels[i].second));
        // The levels sit between the sub-meshes and the bounds, and add only themselves.
        const std::vector<uint32_t> ids = MeshChunks(levels[i].second);
        const auto level = std::find(ids.begin(), ids.end(), 0x8000u);
        ASSERT_NE(level, ids.end());
        EXPECT_EQ(level[-1], 0x4000u);
        EXPECT_EQ(level[1], 0x9000u);
        std::vector<uint32_t> without = ids;
        without.erase(without.begin() + (level - ids.begin()));
        EXPECT_EQ(without, MeshChunks(plain[i].second));
      } else {
        EXPECT_EQ(levels[i].second, plain[i].second) << plain[i].first << " must not change";
      }
    }
  }
}

TEST(CommandLineLod, MeshWritesTheLevelsIntoTheXmlFormToo) {
  TTempDir dir;
  const std::string scene = GeneratedLevel(dir);
  const auto write = [&](const std::string& output, const std::vector<std::string>& lod) {
    std::vector<std::string> arguments = {"mesh", scene, dir.File(output)};
    arguments.insert(arguments.end(), lod.begin(), lod.end());
    const TRun run = RunTool(arguments);
    EXPECT_EQ(run.Status, 0) << run.Err;
    return TTempDir::Read(dir.File(output));
  };
  const std::string plain = write("plain.mesh.xml", {});
  EXPECT_EQ(write("zero.mesh.xml", {"--lod", "0"}), plain);
  EXPECT_EQ(plain.find("<levelofdetail"), std::string::npos);
  const std::string levels = write("levels.mesh.xml", {"--lod", "3"});
  EXPECT_NE(levels.find("<levelofdetail strategy=\"distance_sphere\" numlevels=\"4\" manual=\"false\">"),
            std::string::npos);
  // The sub-meshes as they were, the levels after them.
  EXPECT_EQ(levels.substr(0, levels.find("  <levelofdetail")), plain.substr(0, plain.rfind("</mesh>")));
  EXPECT_EQ(write("levels.mesh", {"--lod", "3", "--optimize"}).substr(0, 2), std::string("\x00\x10", 2));
}

TEST(CommandLineLod, CountsOutsideZeroToEightAreUsageErrorsAndWriteNothing) {
  TTempDir dir;
  const std::string scene = GeneratedLevel(dir);
  for (const std::string bad : {"9", "-1", "x", "1.5", "", " 2", "02", "10", "256"}) {
    SCOPED_TRACE("--lod '" + bad + "'");
    const TRun mesh = RunTool({"mesh", scene, dir.File("bad.mesh"), "--lod", bad});
    EXPECT_EQ(mesh.Status, 2);
    EXPECT_EQ(mesh.LastErrorLine(), kLodUsage);
    EXPECT_FALSE(std::filesystem::exists(dir.File("bad.mesh")));
    const TRun exported = RunTool({"export", scene, "--repository", dir.File("Repo"), "--asset", "Bad", "--init", "--lod", bad});
    EXPECT_EQ(exported.Status, 2);
    EXPECT_EQ(exported.LastErrorLine(), kLodUsage);
    EXPECT_FALSE(std::filesystem::exists(dir.File("Repo"))) << "refused before the repository is made";
  }
  for (const std::string good : {"0", "1", "8"})
    EXPECT_EQ(RunTool({"mesh", scene, dir.File("good.mesh"), "--lod", good}).Status, 0) << good;
}

TEST(CommandLineLod, HelpNamesTheOptionOnEveryCommandThatTakesIt) {
  for (const std::string command : {"mesh", "export", "preview"}) {
    const TRun help = RunTool({"help", command});
    EXPECT_NE(help.Out.find("--lod"), std::string::npos) << command;
  }
  EXPECT_EQ(RunTool({"inspect", "scene.xml", "--lod", "2"}).Status, 2) << "inspect takes no --lod";
}

TEST(CommandLineLod, ThePreviewsLevelIsAWholeNumber) {
  for (const std::string bad : {"x", "-1", "1.5", "", "65535", "123456"}) {
    const TRun run = RunTool({"preview", "--mesh", "missing.mesh", "--lod", bad});
    EXPECT_EQ(run.Status, 2) << bad;
    EXPECT_EQ(run.LastErrorLine(),
              "error: Please specify the level of detail as a whole number: 0 for the full mesh, 1 for the first "
              "level beyond it, and so on.")
        << bad;
  }
}
