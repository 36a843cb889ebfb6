#include "uCommandLine.h"

#include <CLI/CLI.hpp>

#include <algorithm>

#include "KVMeshExporterCl.h"
#include "KVPhysicsExporterCl.h"
#include "QZOgreMeshExporterCl.h"
#include "uException.h"
#include "uFileSystem.h"
#include "uNumbers.h"
#include "uScene.h"
#include "uSceneFile.h"
#include "uSceneSummary.h"

namespace {
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

struct TUsageError : TException {
  using TException::TException;
};

// The scale in millimetres per editor unit, checked as the export dialog checks it.
float ParseScale(const std::string& text) {
  if (!IsValidFloat(text)) throw TUsageError("Please specify a (valid) scale.");
  return StrToFloat(text);
}

// The folder part of a path, "" for a bare file name.
std::string FolderOf(const std::string& path) {
  const std::size_t delimiter = path.find_last_of("\\/");
  return delimiter == std::string::npos ? std::string() : path.substr(0, delimiter + 1);
}

// A folder as the exporter joins it to file names:
// with exactly one delimiter at its end.
std::string WithTrailingDelimiter(std::string folder) {
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
  return folder;
}

void RunMesh(const std::string& sceneFile, const std::string& output, const std::string& scale,
             const std::string& textureDirectory, std::ostream& out, std::ostream& err) {
  const std::unique_ptr<TScene> scene = ReadSceneFile(sceneFile, ParseScale(scale));
  scene->CalculateNormals(66);
  QZOgreMeshExporterT exporter(*scene);
  exporter.ExportNormals = true;
  const std::string sourceDirectory = WithTrailingDelimiter(textureDirectory);
  exporter.GetTextureSourceDirectory = [sourceDirectory] { return sourceDirectory; };
  const auto report = [&] {
    for (const std::string& warning : exporter.Warnings) err << "warning: " << warning << '\n';
  };
  if (!FolderOf(output).empty()) CreateDirectories(FolderOf(output));
  try {
    exporter.Export(output);
  } catch (...) {
    report();
    throw;
  }
  report();
  out << output << '\n';
  const std::string name = output.substr(FolderOf(output).size());
  const std::size_t dot = name.rfind('.');
  const std::string materials = AbsoluteDirectory(FolderOf(output), "");
  out << materials << (dot == std::string::npos ? name : name.substr(0, dot)) << ".material\n";
  for (const std::string& texture : exporter.PlacedTextures) out << materials << texture << '\n';
}
// An asset name may hold folders, which place its files one level deeper in
// each folder of the repository, but it must not lead out of the repository:
// no absolute path, no drive, no ".." folder. Both delimiters count, as the
// repository may be read on Windows. Windows would also make a device of a
// folder or file named "CON", "NUL.x" and the like.
void CheckAssetName(const std::string& assetName) {
  const bool absolute = assetName.front() == '/' || assetName.front() == '\\';
  const bool drive = assetName.size() >= 2 && assetName[1] == ':';
  bool upward = false, device = false;
  std::size_t start = 0;
  while (start <= assetName.size()) {
    const std::size_t end = std::min(assetName.find_first_of("/\\", start), assetName.size());
    const std::string_view component = std::string_view(assetName).substr(start, end - start);
    // Windows drops trailing dots and blanks, so "..." or ".. " is ".." there.
    upward = upward || (component.find("..") != std::string_view::npos &&
                        component.find_first_not_of(". ") == std::string_view::npos);
    device = device || IsDeviceName(component);
    start = end + 1;
  }
  if (absolute || drive || upward)
    throw TUsageError(FormatText("The asset name \"%s\" leads out of the repository: it may not be an absolute path, "
                                 "start with a drive or hold a \"..\" folder.",
                                 {assetName}));
  if (device) throw TUsageError(FormatText("The asset name \"%s\" holds a name reserved for a device.", {assetName}));
}

// The folders of a repository, in the order the layout lists them.
constexpr const char* kRepositoryFolders[] = {"Meshes", "Materials", "Textures", "Physics", "AssetDefinitions"};

void RunExport(const std::string& sceneFile, const std::string& repository, const std::string& assetName,
               const std::string& category, const std::string& scale, const std::string& textureDirectory, bool init,
               std::ostream& out, std::ostream& err) {
  if (assetName.empty()) throw TUsageError("Please specify an asset name.");
  CheckAssetName(assetName);
  if (repository.empty()) throw TUsageError("Please specify a repository.");
  const std::unique_ptr<TScene> scene = ReadSceneFile(sceneFile, ParseScale(scale));
  const std::string root = WithTrailingDelimiter(repository);
  if (init) {
    for (const char* folder : kRepositoryFolders) CreateDirectories(root + folder);
  } else {
    // A mistyped repository must not receive half an asset: the folders that
    // the export does not create itself must be there before anything is written.
    for (const char* folder : {"Meshes", "AssetDefinitions", "Physics"}) {
      if (std::string(folder) == "Physics" && !KVPhysicsExporterT::HasCollisionVolumes(*scene)) continue;
      if (!DirectoryExists(root + folder))
        RaiseError("The repository has no folder %s (use --init to create the repository's folders).", {root + folder});
    }
  }
  KVMeshExporterT exporter;
  exporter.AssetName = assetName;
  exporter.Repository = repository;
  exporter.Category = category;
  const std::string sourceDirectory = WithTrailingDelimiter(textureDirectory);
  exporter.GetTextureSourceDirectory = [sourceDirectory] { return sourceDirectory; };
  const auto report = [&] {
    for (const std::string& warning : exporter.Warnings) err << "warning: " << warning << '\n';
  };
  try {
    exporter.Export(*scene);
  } catch (...) {
    report();
    throw;
  }
  report();
  for (const std::string& file : exporter.WrittenFiles) out << file << '\n';
}
}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Exports editor scenes as Veldara assets.", "veldara-export"};
  // Options are written "--name" on every platform. CLI11 would also take
  // "/name" for one on Windows, which turns an absolute path such as
  // "/assets/scene.xml" (valid on Windows too) into an unknown option.
  app.allow_windows_style_options(false);
  app.set_version_flag("--version", "veldara-export 1.0");
  app.require_subcommand(1);

  std::string sceneFile;
  std::string scale = "10";
  CLI::App* inspect = app.add_subcommand("inspect", "Print a summary of a scene file.");
  inspect->add_option("SCENE", sceneFile, "scene document as the editor writes it")->required();
  inspect->add_option("--scale", scale, "millimetres per editor unit (default 10)");

  std::string output;
  std::string textureDirectory;
  CLI::App* mesh = app.add_subcommand("mesh", "Export a scene file as an OGRE mesh with its material script and textures.");
  mesh->add_option("SCENE", sceneFile, "scene document as the editor writes it")->required();
  mesh->add_option("OUTPUT", output, "mesh file to write (\".xml\": the XML form, otherwise binary)")->required();
  mesh->add_option("--scale", scale, "millimetres per editor unit (default 10)");
  mesh->add_option("--texture-dir", textureDirectory, "the editor's texture directory (default: the scene file's folder)");

  std::string repository;
  std::string assetName;
  std::string category;
  bool init = false;
  CLI::App* exportCommand =
      app.add_subcommand("export", "Export a scene file as an asset of a Veldara asset repository.");
  exportCommand->add_option("SCENE", sceneFile, "scene document as the editor writes it")->required();
  exportCommand->add_option("--repository", repository, "the asset repository's folder")->required();
  exportCommand->add_option("--asset", assetName, "the asset's name")->required();
  exportCommand->add_option("--category", category, "the category written into the asset definitions");
  exportCommand->add_option("--scale", scale, "millimetres per editor unit (default 10)");
  exportCommand->add_option("--texture-dir", textureDirectory,
                            "the editor's texture directory (default: the scene file's folder)");
  exportCommand->add_flag("--init", init, "create the repository's folders first");

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    app.exit(e, out, err);
    return kUsageError;
  }

  try {
    if (inspect->parsed()) WriteSceneSummary(*ReadSceneFile(sceneFile, ParseScale(scale)), out);
    if (exportCommand->parsed())
      RunExport(sceneFile, repository, assetName, category, scale,
                textureDirectory.empty() ? FolderOf(sceneFile) : textureDirectory, init, out, err);
    if (mesh->parsed())
      RunMesh(sceneFile, output, scale, textureDirectory.empty() ? FolderOf(sceneFile) : textureDirectory, out, err);
    return 0;
  } catch (const TUsageError& e) {
    err << "error: " << e.Message() << '\n';
    return kUsageError;
  } catch (const TException& e) {
    err << "error: " << e.Message() << '\n';
    return kFailure;
  } catch (const std::bad_alloc&) {
    err << "error: Out of memory.\n";
    return kFailure;
  }
}
