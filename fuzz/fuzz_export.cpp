// The whole asset export of a fuzzed scene document into a temporary
// repository: read, normals, mesh, material script, texture copies, physics
// file and asset definitions. Whatever the document, the export either
// completes or raises a TException, and afterwards
//   - no temporary file is left anywhere,
//   - no file exists outside the repository's folders,
//   - a completed export left a mesh file that starts like one and both
//     asset definitions.
//
// Documents are kept small (see kMaxDocument) so that each run stays fast.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzSupport.h"
#include "asset/AssetExportJob.h"
#include "base/uException.h"
#include "scene/uScene.h"
#include "scene/uXMLSceneReader.h"

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kMaxDocument = 32 * 1024;

constexpr const char* kRepositoryFolders[] = {"Meshes", "Materials", "Textures", "Physics", "AssetDefinitions"};

// The folders of one fuzzing process: the editor's texture folder with a few
// files the seeds name, and the repository, emptied before every run.
struct TWorkspace {
  fs::path Root, Textures, Repository;

  TWorkspace() {
    // In memory where the system offers it: every run creates, renames and
    // removes a dozen files, and a disk would make that the slowest part.
    std::string pattern = std::string(fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp") + "/veldara-fuzz-export-XXXXXX";
    if (!mkdtemp(pattern.data())) FuzzFailure("cannot create the workspace");
    Root = pattern;
    Textures = Root / "editor-textures";
    Repository = Root / "repository";
    fs::create_directories(Textures);
    for (const char* name : {"stone wall.png", "lm_courtyard.png", "t.jpg", "a.png"})
      std::ofstream(Textures / name, std::ios::binary) << "texture " << name;
  }
  ~TWorkspace() {
    std::error_code ignored;
    fs::remove_all(Root, ignored);
  }
};

TWorkspace& Workspace() {
  static TWorkspace workspace;
  return workspace;
}

bool Inside(const fs::path& path, const fs::path& folder) {
  const auto relative = path.lexically_relative(folder);
  return !relative.empty() && *relative.begin() != "..";
}

void CheckWorkspace(const TWorkspace& workspace, bool completed) {
  for (const auto& entry : fs::recursive_directory_iterator(workspace.Root)) {
    const fs::path& path = entry.path();
    if (path.extension() == ".tmp") FuzzFailure("temporary file left: " + path.string());
    if (entry.is_directory()) continue;
    bool allowed = Inside(path, workspace.Textures);
    for (const char* folder : kRepositoryFolders) allowed = allowed || Inside(path, workspace.Repository / folder);
    if (!allowed) FuzzFailure("file placed outside the repository's folders: " + path.string());
  }
  if (completed) {
    const fs::path mesh = workspace.Repository / "Meshes" / "fuzz.mesh";
    std::ifstream in(mesh, std::ios::binary);
    std::string head(25, '\0');
    in.read(head.data(), 25);
    FuzzCheck(head == std::string("\x00\x10[MeshSerializer_v1.30]\n", 25), "mesh file missing or without its header");
    for (const char* definition : {"fuzz_Mesh.asset", "fuzz_Material.asset"})
      FuzzCheck(fs::is_regular_file(workspace.Repository / "AssetDefinitions" / definition),
                std::string("completed without ") + definition);
  }
  // Only the editor's own files stay among the sources.
  int sources = 0;
  for (const auto& entry : fs::directory_iterator(workspace.Textures)) sources += entry.is_regular_file();
  FuzzCheck(sources == 4, "the editor's texture folder changed");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > kMaxDocument) return 0;
  TWorkspace& workspace = Workspace();
  fs::remove_all(workspace.Repository);
  for (const char* folder : {"Meshes", "Physics", "AssetDefinitions"})
    fs::create_directories(workspace.Repository / folder);

  bool completed = false;
  try {
    const std::string document(FuzzText(data, size));
    const TSceneSource source{"Reading the input...", [&document](TXMLSceneReader& reader) {
                                return reader.ReadSceneText(document);
                              }};
    TAssetExportOptions options;
    options.Scale = 10;
    options.AssetName = "fuzz";
    options.Repository = workspace.Repository.string();
    options.Category = "Fuzz";
    const std::string sources = workspace.Textures.string() + "/";
    options.TextureSource = [sources] { return sources; };
    ExportAsset(source, options, {});
    completed = true;
  } catch (const TException&) {
  }
  CheckWorkspace(workspace, completed);
  return 0;
}
