// --optimize on `mesh` and `export`, and what `inspect --draw-calls` counts:
// the option changes the mesh alone, into fewer sub-meshes, and the counts
// that inspect gives are those of the meshes the exports write.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/RunTool.h"
#include "../support/TempDir.h"
#include "SceneDocumentGenerator.h"

namespace {
const std::string kExamples = VELDARA_EXAMPLES_DIR;

// The sub-mesh chunks (M_SUBMESH, 0x4000) directly inside the mesh chunk of
// a binary mesh: its header chunk and version line, then the mesh chunk's
// identifier, length and skeleton flag, then its chunks one after the other.
int SubMeshChunks(const std::string& mesh) {
  const std::size_t meshChunk = mesh.find('\n') + 1;
  const auto at = [&](std::size_t offset, std::size_t size) {
    uint32_t value = 0;
    if (offset + size > mesh.size()) return uint32_t{0xFFFFFFFF};
    std::memcpy(&value, mesh.data() + offset, size);
    return value;
  };
  if (at(meshChunk, 2) != 0x3000) return -1;
  const std::size_t end = meshChunk + at(meshChunk + 2, 4);
  int count = 0;
  for (std::size_t chunk = meshChunk + 7; chunk + 6 <= end;) {
    const uint32_t length = at(chunk + 2, 4);
    if (length < 6) return -1;
    count += at(chunk, 2) == 0x4000;
    chunk += length;
  }
  return count;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Every file below the folder with its content, by its name relative to it
// with "/" between folders on every platform.
std::vector<std::pair<std::string, std::string>> Files(const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      files.emplace_back(std::filesystem::relative(entry.path(), folder).generic_string(),
                         TTempDir::Read(entry.path().string()));
  std::sort(files.begin(), files.end());
  return files;
}

std::string GeneratedLevel(const TTempDir& dir, int64_t polygons) {
  TSceneDocumentOptions options;
  options.Polygons = polygons;
  const std::string scene = dir.File("level.xml");
  TTempDir::Write(scene, GenerateSceneDocument(options));
  return scene;
}
}  // namespace

TEST(CommandLineOptimize, ExportChangesOnlyTheMeshIntoFewerSubMeshes) {
  TTempDir dir;
  const std::string scene = GeneratedLevel(dir, 3000);
  const auto exportInto = [&](const std::string& repository, bool optimize) {
    std::vector<std::string> arguments = {"export", scene, "--repository", dir.File(repository), "--asset", "Level",
                                          "--init"};
    if (optimize) arguments.push_back("--optimize");
    const TRun run = RunTool(arguments);
    EXPECT_EQ(run.Status, 0) << run.Err;
    return run;
  };
  const TRun plainRun = exportInto("plain", false);
  const TRun optimizedRun = exportInto("optimized", true);
  EXPECT_EQ(optimizedRun.Err, plainRun.Err);

  const auto plain = Files(dir.File("plain")), optimized = Files(dir.File("optimized"));
  ASSERT_EQ(plain.size(), optimized.size());
  for (std::size_t i = 0; i < plain.size(); ++i) {
    EXPECT_EQ(optimized[i].first, plain[i].first);
    if (plain[i].first == "Meshes/Level.mesh")
      EXPECT_NE(optimized[i].second, plain[i].second);
    else
      EXPECT_EQ(optimized[i].second, plain[i].second) << plain[i].first << " must not change";
  }

  const int plainSubMeshes = SubMeshChunks(TTempDir::Read(dir.File("plain/Meshes/Level.mesh")));
  const int optimizedSubMeshes = SubMeshChunks(TTempDir::Read(dir.File("optimized/Meshes/Level.mesh")));
  const std::size_t materials = Occurrences(TTempDir::Read(dir.File("plain/Materials/Level.material")), "material ");
  EXPECT_GT(plainSubMeshes, static_cast<int>(4 * materials));
  EXPECT_EQ(optimizedSubMeshes, static_cast<int>(materials)) << "one sub-mesh per material";

  // inspect counts what the exports wrote.
  const TRun inspect = RunTool({"inspect", scene, "--draw-calls"});
  ASSERT_EQ(inspect.Status, 0) << inspect.Err;
  const std::string counts = "\nDraw calls (sub-meshes of the exported mesh): " + std::to_string(plainSubMeshes) +
                             "\nDraw calls with --optimize: " + std::to_string(optimizedSubMeshes) + "\n";
  ASSERT_GE(inspect.Out.size(), counts.size());
  EXPECT_EQ(inspect.Out.substr(inspect.Out.size() - counts.size()), counts);
  EXPECT_EQ(inspect.Out.substr(0, inspect.Out.size() - counts.size()), RunTool({"inspect", scene}).Out);
}

TEST(CommandLineOptimize, MeshMergesTheSubMeshesOfOneMaterialInTheXMLFormToo) {
  TTempDir dir;
  const std::string scene = GeneratedLevel(dir, 1500);
  const auto subMeshes = [&](const std::string& output, bool optimize) {
    std::vector<std::string> arguments = {"mesh", scene, dir.File(output)};
    if (optimize) arguments.push_back("--optimize");
    const TRun run = RunTool(arguments);
    EXPECT_EQ(run.Status, 0) << run.Err;
    return Occurrences(TTempDir::Read(dir.File(output)), "<submesh ");
  };
  const std::size_t plain = subMeshes("plain.mesh.xml", false), optimized = subMeshes("optimized.mesh.xml", true);
  const std::size_t materials = Occurrences(TTempDir::Read(dir.File("plain.material")), "material ");
  EXPECT_GT(plain, 4 * materials);
  EXPECT_EQ(optimized, materials);
  EXPECT_EQ(TTempDir::Read(dir.File("plain.material")), TTempDir::Read(dir.File("optimized.material")));

  EXPECT_NE(RunTool({"mesh", "--help"}).Out.find("--optimize"), std::string::npos);
  EXPECT_NE(RunTool({"export", "--help"}).Out.find("--optimize"), std::string::npos);
  EXPECT_EQ(RunTool({"inspect", scene, "--optimize"}).Status, 2) << "inspect counts both; it takes no --optimize";
}

TEST(CommandLineOptimize, InspectCountsTheSampleWithoutItsCollisionVolumes) {
  const TRun run = RunTool({"inspect", kExamples + "/courtyard.xml", "--draw-calls"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const std::size_t counts = run.Out.rfind("\nDraw calls (sub-meshes");
  ASSERT_NE(counts, std::string::npos) << run.Out;
  // The floor's stone, the pillar's plaster and glass: no material is shared,
  // and the collision box (a fourth material) is not drawn.
  EXPECT_EQ(run.Out.substr(counts), "\nDraw calls (sub-meshes of the exported mesh): 3\nDraw calls with --optimize: 3\n");
}
