#include "cli/uCommandLine.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "asset/KVMeshExporterCl.h"
#include "asset/KVPhysicsExporterCl.h"
#include "asset/uRepository.h"
#include "base/uException.h"
#include "base/uNumbers.h"
#include "cli/DrawCallCount.h"
#include "cli/MissingTextures.h"
#include "cli/uArgumentText.h"
#include "cli/uSceneFile.h"
#include "cli/uSceneJson.h"
#include "cli/uSceneSummary.h"
#include "cli/uTerminalProgress.h"
#include "mesh/LevelsOfDetail.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "platform/uFileLock.h"
#include "platform/uFileSystem.h"
#include "platform/uFileTransaction.h"
#include "scene/uScene.h"
#include "scene/uXMLSceneReader.h"
#ifdef VELDARA_HAS_PREVIEW
#include "preview/uAssetPreview.h"
#endif

namespace {
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

struct TUsageError : TException {
  using TException::TException;
};

// An argument in Latin-1, as the core takes names (see uArgumentText.h);
// one that cannot be is a usage error.
std::string Latin1Argument(const std::string& argument, std::string_view what) {
  TLatin1Argument latin1 = ArgumentAsLatin1(argument, what);
  if (!latin1.Problem.empty()) throw TUsageError(latin1.Problem);
  return std::move(latin1.Text);
}

// The scale in millimetres per editor unit, checked as the export dialog checks it.
float ParseScale(const std::string& text) {
  if (!IsValidScale(text)) throw TUsageError("Please specify a (valid) scale.");
  return StrToFloat(text);
}

// The folder the textures are read from: the one given, which must be a
// folder (a mistyped one would turn every texture into a warning of its
// own), or else the scene file's.
std::string TextureFolder(const std::string& sceneFile, const std::string& given) {
  if (given.empty()) return FolderOf(sceneFile);
  if (!DirectoryExists(given))
    RaiseError(NameExists(given) ? "The texture folder %s is not a folder." : "The texture folder %s does not exist.",
               {given});
  return given;
}

// What the files are written for: the material names' form, the binary
// mesh's format and its levels of detail.
struct TOgreTarget {
  TMaterialNameForm NameForm = TMaterialNameForm::Platform;
  TMeshFormat MeshFormat = TMeshFormat::V1_30;
  int LodLevels = 0;
};

// "--ogre-version": names in quotes for OGRE 1.7 and later, the platform's
// form for older versions and when none is given; the mesh in the format that
// version writes itself, so that it loads the mesh without calling it old
// (1.30, which every version reads, up to 1.7). Only a version is taken,
// "1.12" or "2.1".
TOgreTarget ParseOgreVersion(const std::string& text) {
  if (text.empty()) return {};
  const auto isNumber = [](const std::string& part) {
    return !part.empty() && part.size() <= 4 && std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  const std::size_t dot = text.find('.');
  const std::string major = text.substr(0, dot), minor = dot == std::string::npos ? "" : text.substr(dot + 1);
  if (!isNumber(major) || !isNumber(minor)) throw TUsageError("Please specify an OGRE version such as 1.12.");
  const auto before = [&](int otherMinor) {
    return std::stoi(major) < 1 || (std::stoi(major) == 1 && std::stoi(minor) < otherMinor);
  };
  TOgreTarget target;
  target.NameForm = before(7) ? TMaterialNameForm::Platform : TMaterialNameForm::Quoted;
  target.MeshFormat = before(8) ? TMeshFormat::V1_30 : before(10) ? TMeshFormat::V1_8 : TMeshFormat::V1_100;
  return target;
}

// "--mesh-version": the format by its header's number. "1.10" is OGRE's own
// name for 1.100 (its mesh upgrader takes it), so it is taken as well.
TMeshFormat ParseMeshVersion(const std::string& text) {
  if (text == "1.30") return TMeshFormat::V1_30;
  if (text == "1.8") return TMeshFormat::V1_8;
  if (text == "1.10" || text == "1.100") return TMeshFormat::V1_100;
  throw TUsageError("Please specify a mesh version: 1.30, 1.8, 1.10 or 1.100.");
}

// "--lod": levels of detail beyond the full mesh, a whole number from 0 to 8.
int ParseLodLevels(const std::string& text) {
  if (text.size() != 1 || text[0] < '0' || text[0] > '0' + kMostDetailLevels)
    throw TUsageError("Please specify the levels of detail as a whole number from 0 to " +
                      std::to_string(kMostDetailLevels) + ".");
  return text[0] - '0';
}

// The target of --ogre-version, its mesh format replaced by --mesh-version's
// when given, with the levels of detail of --lod.
TOgreTarget ParseTarget(const std::string& ogreVersion, const std::string& meshVersion, const std::string& lod) {
  TOgreTarget target = ParseOgreVersion(ogreVersion);
  if (!meshVersion.empty()) target.MeshFormat = ParseMeshVersion(meshVersion);
  target.LodLevels = ParseLodLevels(lod);
  return target;
}

// The scene file, read with its progress shown as a step of the job.
std::unique_ptr<TScene> ReadScene(const std::string& sceneFile, float millimetres, TTerminalProgress& progress) {
  TXMLSceneReader reader;
  reader.Scale = millimetres;
  reader.OnProgress = [&](int percent) { progress.Report("Reading scene file...", percent); };
  progress.Report("Reading scene file...", 0);
  return ReadSceneFile(sceneFile, reader);
}

// A folder as the exporter joins it to file names:
// with exactly one delimiter at its end.
std::string WithTrailingDelimiter(std::string folder) {
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
  return folder;
}

// A file that `mesh` would write must not replace the scene file nor anything
// but a regular file (a device, a folder).
void CheckMeshTarget(const std::string& sceneFile, const std::string& target) {
  const std::string identity = FileIdentity(target);
  if (!identity.empty() && identity == FileIdentity(sceneFile))
    RaiseError("%s is the scene file; the export will not write over it.", {target});
  if (NameExists(target) && !FileExists(target))
    RaiseError("%s is not a regular file; the export will not write over it.", {target});
}

// The scene's texture sources by the identity of their files, so that each
// target is looked up once: a level may hold thousands of textures.
using TTextureSources = std::unordered_map<std::string, const std::string*>;

TTextureSources TextureSources(const QZOgreMeshExporterT& exporter) {
  TTextureSources sources;
  for (const auto& texture : exporter.GetTextures()) {
    const std::string identity = texture->IsColor ? std::string() : FileIdentity(exporter.TextureSourcePath(*texture));
    if (!identity.empty()) sources.emplace(identity, &texture->FileName);
  }
  return sources;
}

// Nor the source of one of the scene's textures.
void CheckMeshTarget(const TTextureSources& sources, const std::string& target) {
  const auto source = sources.find(FileIdentity(target));
  if (source != sources.end())
    RaiseError("%s is the source of the texture \"%s\"; the export will not write over it.",
               {target, *source->second});
}

// The warnings of a job: each printed as the export meets it, the progress
// line out of its way, and counted for a summary at the end, which a long
// list would otherwise hide. Strict, the first warning is the job's error
// instead: raised inside the export, it leaves nothing written.
class TWarningPrinter {
public:
  TWarningPrinter(std::ostream& err, TTerminalProgress& progress, bool strict)
      : FErr(err), FProgress(progress), FStrict(strict) {}

  TWarningSink Sink() {
    return [this](const std::string& warning) {
      if (FStrict) throw TException(warning);
      FProgress.Erase();
      FErr << "warning: " << VisibleText(warning) << '\n';
      ++FCount;
    };
  }
  // "warning: N warnings" when there were any.
  void PrintSummary() const {
    if (FCount > 0) FErr << "warning: " << FCount << (FCount == 1 ? " warning" : " warnings") << '\n';
  }

private:
  std::ostream& FErr;
  TTerminalProgress& FProgress;
  bool FStrict;
  std::size_t FCount = 0;
};

void RunMesh(const std::string& sceneFile, const std::string& output, const std::string& scale,
             const std::string& textureDirectory, const TOgreTarget& target, bool optimize, bool allPrimitives, bool strict,
             std::ostream& out, std::ostream& err, TTerminalProgress& progress) {
  const float millimetres = ParseScale(scale);
  const std::string sourceDirectory = WithTrailingDelimiter(TextureFolder(sceneFile, textureDirectory));
  // Before anything is made beside it, the lock file included.
  CheckMeshTarget(sceneFile, output);
  if (!FolderOf(output).empty()) CreateDirectories(FolderOf(output));
  // Every file goes beside the mesh, in one folder.
  const std::string folder = AbsoluteDirectory(FolderOf(output), "");
  const std::string name = FileNameOf(output);
  // Held from before the scene is read, so that a second export of the mesh
  // is refused at once.
  const std::unique_ptr<TFileLock> lock = TFileLock::TryAcquire(folder + "." + name + ".lock");
  if (!lock) RaiseError("The mesh %s is being exported by another process.", {output});

  const std::unique_ptr<TScene> scene = ReadScene(sceneFile, millimetres, progress);
  progress.Report("Calculating normals...", 0);
  scene->CalculateNormals(ExportSmoothingAngle);
  TMeshExportOptions options;
  options.ExportNormals = true;
  options.MaterialNameForm = target.NameForm;
  options.MeshFormat = target.MeshFormat;
  options.LodLevels = target.LodLevels;
  options.OptimizeForDrawing = optimize;
  // The visible mesh, as the asset's: collision volumes are the physics
  // file's, and drawn they would hide what they stand for.
  if (!allPrimitives) options.FilterPrimitive = KVMeshExporterT::AcceptPrimitive;
  options.OnProgress = [&](const std::string& status, int percent) { progress.Report(status, percent); };
  options.TextureSource = [sourceDirectory] { return sourceDirectory; };
  TWarningPrinter warnings(err, progress, strict);
  QZOgreMeshExporterT exporter(*scene, std::move(options), warnings.Sink());
  const std::string script = folder + MaterialScriptName(name);
  exporter.Build();
  std::vector<std::string> targets = {folder + name, script};
  for (const auto& texture : exporter.GetTextures())
    if (!texture->IsColor) targets.push_back(folder + TextureTargetName(texture->FileName));
  const TTextureSources sources = TextureSources(exporter);
  for (std::size_t i = 0; i < targets.size(); ++i) {
    CheckMeshTarget(sceneFile, targets[i]);
    CheckMeshTarget(sources, targets[i]);
    // Textures of the same name are the exporter's to warn about; the mesh
    // and its script must each have a file of their own.
    for (std::size_t j = 0; j < std::min<std::size_t>(i, 2); ++j)
      if (targets[j] == targets[i]) RaiseError("%s would receive two files of the export.", {targets[i]});
  }

  TFileTransaction transaction(folder + name);
  transaction.RemoveStaleFiles(folder);
  exporter.Export(output, &transaction);
  transaction.Commit();
  progress.Erase();
  // Absolute, as every other file printed, so that a script can use each line wherever it runs.
  out << folder + name << '\n' << script << '\n';
  for (const std::string& texture : exporter.GetPlacedTextures()) out << folder << texture << '\n';
  warnings.PrintSummary();
}

void RunExport(const std::string& sceneFile, const std::string& repository, const std::string& assetArgument,
               const std::string& categoryArgument, const std::string& scale, const std::string& textureDirectory,
               const TOgreTarget& target, bool optimize, bool init, bool strict, std::ostream& out,
               std::ostream& err, TTerminalProgress& progress) {
  const std::string assetName = Latin1Argument(assetArgument, "asset name");
  const std::string category = Latin1Argument(categoryArgument, "category");
  for (const std::string& problem : {AssetNameProblem(assetName), CategoryProblem(category)})
    if (!problem.empty()) throw TUsageError(problem);
  if (repository.empty()) throw TUsageError("Please specify a repository.");
  const float millimetres = ParseScale(scale);
  const std::string sourceDirectory = WithTrailingDelimiter(TextureFolder(sceneFile, textureDirectory));
  const TAssetLayout layout(repository, assetName);
  // A mistyped repository must not receive half an asset: the folders that
  // the export does not create itself must be there before anything is written.
  const auto checkFolders = [&](bool hasPhysics) {
    const std::string missing = layout.MissingFolder(hasPhysics);
    if (missing.empty()) return;
    // --init makes the repository's own folders, not those of an asset name
    // with folders: only for those is it the cure, and only when not given.
    const bool initHelps = !init && std::any_of(std::begin(RepositoryFolders), std::end(RepositoryFolders),
                                                [&](const char* folder) { return missing == layout.Root() + folder; });
    if (initHelps)
      RaiseError("The repository has no folder %s (use --init to create the repository's folders).", {missing});
    RaiseError("The repository has no folder %s.", {missing});
  };
  if (init)
    for (const char* folder : RepositoryFolders) CreateDirectories(layout.Root() + folder);
  checkFolders(false);
  TAssetExportOptions options;
  options.AssetName = assetName;
  options.Repository = repository;
  options.Category = category;
  options.MaterialNameForm = target.NameForm;
  options.MeshFormat = target.MeshFormat;
  options.LodLevels = target.LodLevels;
  options.OptimizeForDrawing = optimize;
  options.TextureSource = [sourceDirectory] { return sourceDirectory; };
  options.OnProgress = [&](const std::string& status, int percent) { progress.Report(status, percent); };
  TWarningPrinter warnings(err, progress, strict);
  KVMeshExporterT exporter(std::move(options), warnings.Sink());
  // Held from before the scene is read, so that a second export of the asset
  // is refused at once.
  exporter.Lock();
  const std::unique_ptr<TScene> scene = ReadScene(sceneFile, millimetres, progress);
  checkFolders(KVPhysicsExporterT::HasCollisionVolumes(*scene));
  exporter.Export(*scene);
  progress.Erase();
  // Absolute, whichever way the repository was given, as `mesh` prints its files.
  for (const std::string& file : exporter.GetWrittenFiles())
    out << AbsoluteDirectory(FolderOf(file), "") << FileNameOf(file) << '\n';
  warnings.PrintSummary();
}
// The one line that follows a usage error: how the command in hand is called,
// or the tool as a whole when no command was recognised.
std::string UsageLine(const std::string& command) {
  static const std::unordered_map<std::string, std::string> lines = {
      {"export", "export SCENE.xml --repository DIR --asset NAME [options]"},
      {"mesh", "mesh SCENE.xml OUTPUT [options]"},
      {"inspect", "inspect SCENE.xml [options]"},
      {"preview", "preview (REPOSITORY ASSET | --mesh FILE.mesh) [options]"},
      {"help", "help [COMMAND]"},
  };
  const auto line = lines.find(command);
  return "usage: veldara-export " + (line != lines.end() ? line->second : "export|mesh|inspect|preview|help ...");
}

// The preview's "--lod": a level of a mesh, whose count OGRE keeps in 16 bits.
int ParseDetailLevel(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos ||
      std::stoi(text) > 65534)
    throw TUsageError("Please specify the level of detail as a whole number: 0 for the full mesh, 1 for the first "
                      "level beyond it, and so on.");
  return std::stoi(text);
}

// "WxH", each from 2 to 8192 pixels.
void ParsePictureSize(const std::string& text, int& width, int& height) {
  const std::size_t x = text.find('x');
  const auto number = [&](const std::string& digits) {
    if (digits.empty() || digits.size() > 4 || digits.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::stoi(digits);
  };
  width = x == std::string::npos ? 0 : number(text.substr(0, x));
  height = x == std::string::npos ? 0 : number(text.substr(x + 1));
  if (width < 2 || height < 2 || width > 8192 || height > 8192)
    throw TUsageError("Please specify the picture's size as WIDTHxHEIGHT, each from 2 to 8192 pixels.");
}
}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   const TProgressTerminal& terminal) {
  CLI::App app{"Exports editor scenes as Veldara assets.", "veldara-export"};
  // Options are written "--name" on every platform. CLI11 would also take
  // "/name" for one on Windows, which turns an absolute path such as
  // "/assets/scene.xml" (valid on Windows too) into an unknown option.
  app.allow_windows_style_options(false);
  app.set_version_flag("-V,--version", "veldara-export 1.0");
  app.require_subcommand(1);

  std::string sceneFile;
  constexpr const char* kDefaultScale = "10";
  std::string scale = kDefaultScale;
  CLI::App* inspect = app.add_subcommand("inspect", "Print a summary of a scene file.");
  inspect->add_option("SCENE", sceneFile, "scene document as the editor writes it")->required()->type_name("FILE");
  inspect->footer("Example: veldara-export inspect level.xml --texture-dir textures --json");
  bool drawCalls = false;
  inspect->add_flag("--draw-calls", drawCalls,
                    "also count the sub-meshes (draw calls) of the exported asset's mesh, with and without --optimize");
  std::string textureDirectory;
  inspect->add_option("--texture-dir", textureDirectory,
                      "also list the textures of the asset's mesh that this folder lacks, as an export would miss them")
      ->type_name("DIR");
  bool json = false;
  inspect->add_flag("--json", json, "print the same facts as one JSON document");

  std::string output;
  CLI::App* mesh = app.add_subcommand("mesh", "Export a scene file as an OGRE mesh with its material script and textures.");
  mesh->add_option("SCENE", sceneFile, "scene document as the editor writes it")->required()->type_name("FILE");
  mesh->add_option("OUTPUT", output, "mesh file to write (\".xml\": the XML form, otherwise binary)")
      ->required()
      ->type_name("FILE");
  mesh->add_option("--scale", scale, "millimetres per editor unit (default 10)")->type_name("NUMBER");
  mesh->add_option("--texture-dir", textureDirectory, "the editor's texture directory (default: the scene file's folder)")
      ->type_name("DIR");
  mesh->footer("Example: veldara-export mesh level.xml out/Level.mesh --texture-dir textures");
  std::string ogreVersion;
  const char* const ogreVersionHelp =
      "the OGRE version that reads the files: from 1.7 on, the material script quotes names with blanks "
      "(default: the platform's form); the mesh is in the format that version writes, unless --mesh-version "
      "says otherwise (1.8 for OGRE 1.8 and 1.9, 1.100 from 1.10 on, else 1.30)";
  mesh->add_option("--ogre-version", ogreVersion, ogreVersionHelp)->type_name("VERSION");
  std::string meshVersion;
  const char* const meshVersionHelp =
      "the binary mesh's format: 1.30 (default, read by every OGRE), 1.8 (as OGRE 1.8 and 1.9 write it), "
      "1.10 or 1.100 (the same format, as OGRE 1.10 and later write it)";
  mesh->add_option("--mesh-version", meshVersion, meshVersionHelp)->type_name("VERSION");
  std::string lod = "0";
  const char* const lodHelp =
      "levels of detail beyond the full mesh, each with about half the triangles of the one before, drawn from "
      "distances set by the mesh's bounding radius (0 to 8, default 0: none)";
  mesh->add_option("--lod", lod, lodHelp)->type_name("NUMBER");
  bool quiet = false;
  mesh->add_flag("--quiet", quiet, "show no progress line on a terminal");
  bool optimize = false;
  const char* const optimizeHelp =
      "optimise the mesh for drawing: one sub-mesh per material (cut where 16-bit indices end), its triangles "
      "ordered for the vertex cache and its vertices for fetching";
  mesh->add_flag("--optimize", optimize, optimizeHelp);
  bool allPrimitives = false;
  mesh->add_flag("--all-primitives", allPrimitives,
                 "also write the collision volumes, which the mesh leaves out as the asset's mesh does");
  bool strict = false;
  const char* const strictHelp = "treat every warning as an error: nothing is written";
  mesh->add_flag("--strict", strict, strictHelp);

  std::string repository;
  std::string assetName;
  std::string category;
  bool init = false;
  CLI::App* exportCommand =
      app.add_subcommand("export", "Export a scene file as an asset of a Veldara asset repository.");
  exportCommand->add_option("SCENE", sceneFile, "scene document as the editor writes it")->required()->type_name("FILE");
  exportCommand->add_option("--repository", repository, "the asset repository's folder")->required()->type_name("DIR");
  exportCommand->add_option("--asset", assetName, "the asset's name")->required()->type_name("NAME");
  exportCommand->add_option("--category", category, "the category written into the asset definitions")
      ->type_name("NAME");
  exportCommand->add_option("--scale", scale, "millimetres per editor unit (default 10)")->type_name("NUMBER");
  exportCommand->add_option("--texture-dir", textureDirectory,
                            "the editor's texture directory (default: the scene file's folder)")
      ->type_name("DIR");
  exportCommand->add_option("--ogre-version", ogreVersion, ogreVersionHelp)->type_name("VERSION");
  exportCommand->add_option("--mesh-version", meshVersion, meshVersionHelp)->type_name("VERSION");
  exportCommand->add_option("--lod", lod, lodHelp)->type_name("NUMBER");
  exportCommand->footer("Example: veldara-export export crate.xml --repository Repository --asset Props/Crate --init");
  exportCommand->add_flag("--init", init, "create the repository's folders first");
  exportCommand->add_flag("--quiet", quiet, "show no progress line on a terminal");
  exportCommand->add_flag("--optimize", optimize, optimizeHelp);
  exportCommand->add_flag("--strict", strict, strictHelp);

  std::string meshFile;
  std::string size = "800x600";
  int views = 4;
  bool timings = false;
  CLI::App* preview = app.add_subcommand(
      "preview", "Render an asset of a repository, or a mesh with its material script and textures, as a PNG.");
  preview->add_option("REPOSITORY", repository, "the asset repository's folder")->type_name("DIR");
  preview->add_option("ASSET", assetName, "the asset's name")->type_name("NAME");
  preview->add_option("--mesh", meshFile, "a mesh file with its material script and textures beside it, as `mesh` "
                                          "writes them (instead of REPOSITORY ASSET)")
      ->type_name("FILE")
      ->excludes("REPOSITORY")
      ->excludes("ASSET");
  preview->add_option("-o,--output", output, "the PNG to write (default: NAME.png in the current folder)")
      ->type_name("FILE");
  preview->add_option("--size", size, "the picture's size in pixels, WIDTHxHEIGHT (default 800x600)")
      ->type_name("WxH");
  preview->add_option("--views", views, "4: front, side, top and three-quarter views in a 2x2 grid (default); "
                                        "1: the three-quarter view")
      ->type_name("NUMBER")
      ->check(CLI::IsMember({1, 4}));
  preview->add_flag("--timings", timings, "print how long start-up and rendering took on standard error");
  std::string previewLod = "0";
  preview->add_option("--lod", previewLod, "the level of detail to draw: 0 for the full mesh (default), 1 for the "
                                           "first level beyond it (see --lod of mesh and export), and so on")
      ->type_name("NUMBER");
  preview->footer("Example: veldara-export preview Repository Props/Crate -o crate.png --views 1");

  std::string helpTopic;
  CLI::App* help = app.add_subcommand("help", "Print the help of the tool, or of one command.");
  help->add_option("COMMAND", helpTopic, "the command to explain");
  help->footer("Example: veldara-export help mesh");

  // Every usage error is one line and the usage of the command in hand, so
  // that a script's log shows both and nothing else.
  const auto usageError = [&](const std::string& message) {
    // CLI11 lists a command as soon as it meets its name, before its options.
    const std::string command = app.get_subcommands().empty() ? "" : app.get_subcommands().front()->get_name();
    err << "error: " << VisibleText(message) << '\n' << UsageLine(command) << '\n';
    return kUsageError;
  };
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    // Without a command CLI11 only says that one is required: a first word
    // that names none is the likeliest slip, and is named.
    if (app.get_subcommands().empty())
      return usageError(argc > 1 && argv[1][0] != '-' ? "unknown command '" + std::string(argv[1]) + "'"
                                                      : "no command given");
    return usageError(e.what());
  }
  if (help->parsed()) {
    // CLI11's App::help() would show the help of the command in hand: "help".
    if (helpTopic.empty()) {
      out << app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
      return 0;
    }
    CLI::App* topic = nullptr;
    for (CLI::App* command : {exportCommand, mesh, inspect, preview, help})
      if (command->get_name() == helpTopic) topic = command;
    if (!topic) return usageError("unknown command '" + helpTopic + "'");
    out << topic->help(app.get_name());
    return 0;
  }

  // On a terminal, a job that runs for more than half a second shows its
  // step on one line of standard error, erased before any other output.
  TTerminalProgress progress(err, terminal, quiet);
  try {
    if (inspect->parsed()) {
      // Sizes and draw calls are those of an export at the default scale.
      const float millimetres = StrToFloat(kDefaultScale);
      const std::string textureFolder = textureDirectory.empty() ? "" : TextureFolder(sceneFile, textureDirectory);
      const std::unique_ptr<TScene> scene = ReadSceneFile(sceneFile, millimetres);
      // The mesh is built as the export builds it, whose welding compares normals.
      if (drawCalls || !textureFolder.empty()) scene->CalculateNormals(ExportSmoothingAngle);
      const TDrawCalls counts = drawCalls ? CountDrawCalls(*scene) : TDrawCalls{};
      const std::vector<std::string> missing =
          textureFolder.empty() ? std::vector<std::string>{} : MissingTextures(*scene, textureFolder);
      if (json) {
        WriteSceneJson(*scene, millimetres, drawCalls ? &counts : nullptr, textureFolder.empty() ? nullptr : &missing, out);
      } else {
        WriteSceneSummary(*scene, millimetres, out);
        if (drawCalls) WriteDrawCalls(counts, out);
        if (!textureFolder.empty()) WriteMissingTextures(missing, textureFolder, out);
      }
    }
    if (exportCommand->parsed())
      RunExport(sceneFile, repository, assetName, category, scale,
                textureDirectory, ParseTarget(ogreVersion, meshVersion, lod), optimize, init, strict, out, err, progress);
    if (mesh->parsed())
      RunMesh(sceneFile, output, scale, textureDirectory, ParseTarget(ogreVersion, meshVersion, lod), optimize, allPrimitives, strict,
              out, err, progress);
    progress.Erase();
    if (preview->parsed()) {
      if (meshFile.empty() && (repository.empty() || assetName.empty()))
        throw TUsageError("Please specify a repository and an asset, or --mesh FILE.mesh.");
      if (meshFile.empty()) assetName = Latin1Argument(assetName, "asset name");
      if (meshFile.empty() && !AssetNameProblem(assetName).empty()) throw TUsageError(AssetNameProblem(assetName));
      int width = 0, height = 0;
      ParsePictureSize(size, width, height);
      // Checked on every build, so that a wrong level is the same usage error everywhere.
      [[maybe_unused]] const int detailLevel = ParseDetailLevel(previewLod);
#ifdef VELDARA_HAS_PREVIEW
      RunAssetPreview({repository, assetName, meshFile, output, width, height, views, timings, detailLevel}, out, err);
#else
      RaiseError("This build of veldara-export has no preview: it renders with OGRE's OpenGL render system, which "
                 "only the Linux build includes.");
#endif
    }
    return 0;
  } catch (const TUsageError& e) {
    progress.Erase();
    return usageError(e.Message());
  } catch (const TException& e) {
    progress.Erase();
    // One line, whatever the message holds (a parse error quotes the text).
    err << "error: " << VisibleText(e.Message()) << '\n';
    return kFailure;
  } catch (const std::bad_alloc&) {
    progress.Erase();
    err << "error: Out of memory.\n";
    return kFailure;
  }
}
