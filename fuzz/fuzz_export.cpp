// The whole export of a fuzzed scene document into a temporary folder: read,
// normals, mesh, material script and texture copies. Whatever the document,
// the export either completes or raises a TException, and afterwards
//   - no temporary file is left anywhere,
//   - no file exists outside the mesh, material and texture folders,
//   - a completed export left a mesh file that starts like one.
//
// Documents are kept small (see kMaxDocument) so that each run stays fast.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzSupport.h"
#include "QZOgreMeshExporterCl.h"
#include "uException.h"
#include "uXMLSceneReader.h"

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kMaxDocument = 32 * 1024;

// The folders of one fuzzing process: the editor's texture folder with a few
// files the seeds name, and the output folders, emptied before every run.
struct TWorkspace {
  fs::path Root, Textures, Output, Meshes;

  TWorkspace() {
    char pattern[] = "/tmp/veldara-fuzz-export-XXXXXX";
    if (!mkdtemp(pattern)) FuzzFailure("cannot create the workspace");
    Root = pattern;
    Textures = Root / "editor-textures";
    Output = Root / "out";
    Meshes = Output / "Meshes";
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
  bool meshFound = false;
  for (const auto& entry : fs::recursive_directory_iterator(workspace.Root)) {
    const fs::path& path = entry.path();
    if (path.extension() == ".tmp") FuzzFailure("temporary file left: " + path.string());
    if (entry.is_directory()) continue;
    const bool allowed = Inside(path, workspace.Textures) || Inside(path, workspace.Meshes) ||
                         Inside(path, workspace.Output / "Materials") || Inside(path, workspace.Output / "Textures");
    if (!allowed) FuzzFailure("file placed outside the export's folders: " + path.string());
    if (path == workspace.Meshes / "fuzz.mesh") {
      meshFound = true;
      std::ifstream in(path, std::ios::binary);
      std::string head(25, '\0');
      in.read(head.data(), 25);
      FuzzCheck(head == std::string("\x00\x10[MeshSerializer_v1.30]\n", 25), "mesh file without its header");
    }
  }
  if (completed) FuzzCheck(meshFound, "export completed without a mesh file");
  // Only the editor's own files stay among the sources.
  int sources = 0;
  for (const auto& entry : fs::directory_iterator(workspace.Textures)) sources += entry.is_regular_file();
  FuzzCheck(sources == 4, "the editor's texture folder changed");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size > kMaxDocument) return 0;
  TWorkspace& workspace = Workspace();
  fs::remove_all(workspace.Output);
  fs::create_directories(workspace.Meshes);

  bool completed = false;
  try {
    TXMLSceneReader reader;
    reader.Scale = 10;
    std::unique_ptr<TScene> scene = reader.ReadSceneText(std::string(FuzzText(data, size)));
    scene->CalculateNormals(66);
    QZOgreMeshExporterT exporter(*scene);
    exporter.MaterialDirectory = "../Materials";
    exporter.TextureDirectory = "../Textures";
    exporter.NamePrefix = "fuzz_";
    exporter.ExportNormals = true;
    const std::string sources = workspace.Textures.string() + "/";
    exporter.GetTextureSourceDirectory = [sources] { return sources; };
    exporter.Export((workspace.Meshes / "fuzz.mesh").string());
    completed = true;
  } catch (const TException&) {
  }
  CheckWorkspace(workspace, completed);
  return 0;
}
