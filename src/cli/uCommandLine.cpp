#include "cli/uCommandLine.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "base/uException.h"
#include "cli/BatchCommand.h"
#include "cli/CommandArguments.h"
#include "cli/ExportCommands.h"
#include "cli/InspectCommand.h"
#include "cli/PreviewCommand.h"
#include "cli/uArgumentText.h"
#include "cli/ProgressLine.h"

namespace {
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

// The one line that follows a usage error: how the command in hand is called,
// or the tool as a whole when no command was recognised.
std::string UsageLine(const std::string& command) {
  static const std::unordered_map<std::string, std::string> lines = {
      {"export", "export SCENE.xml --repository DIR --asset NAME [options]"},
      {"batch", "batch SOURCE --repository DIR [options]"},
      {"mesh", "mesh SCENE.xml OUTPUT [options]"},
      {"inspect", "inspect SCENE.xml [options]"},
      {"preview", "preview (REPOSITORY ASSET | --mesh FILE.mesh) [options]"},
      {"help", "help [COMMAND]"},
  };
  const auto line = lines.find(command);
  return "usage: veldara-export " + (line != lines.end() ? line->second : "export|batch|mesh|inspect|preview|help ...");
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   const TProgressDevice& terminal) {
  CLI::App app{"Exports editor scenes as Veldara assets.", "veldara-export"};
  // Options are written "--name" on every platform. CLI11 would also take
  // "/name" for one on Windows, which turns an absolute path such as
  // "/assets/scene.xml" (valid on Windows too) into an unknown option.
  app.allow_windows_style_options(false);
  app.set_version_flag("-V,--version", kToolVersion);
  app.require_subcommand(1);

  TCommandArguments arguments;
  arguments.CommandLine.assign(argv + std::min(argc, 1), argv + argc);
  std::string& sceneFile = arguments.SceneFile;
  CLI::App* inspect = app.add_subcommand("inspect", "Print a summary of a scene file.");
  inspect->add_option("SCENE", sceneFile, "scene document as the editor writes it")->required()->type_name("FILE");
  inspect->footer("Example: veldara-export inspect level.xml --texture-dir textures --json");
  inspect->add_flag("--draw-calls", arguments.DrawCalls,
                    "also count the sub-meshes (draw calls) of the exported asset's mesh, with and without --optimize");
  inspect->add_option("--texture-dir", arguments.TextureDirectory,
                      "also list the textures of the asset's mesh that this folder lacks, as an export would miss them")
      ->type_name("DIR");
  inspect->add_flag("--json", arguments.Json, "print the same facts as one JSON document");

  CLI::App* mesh = app.add_subcommand("mesh", "Export a scene file as an OGRE mesh with its material script and textures.");
  mesh->add_option("SCENE", sceneFile, "scene document as the editor writes it")->required()->type_name("FILE");
  mesh->add_option("OUTPUT", arguments.Output, "mesh file to write (\".xml\": the XML form, otherwise binary)")
      ->required()
      ->type_name("FILE");
  mesh->add_option("--scale", arguments.Scale, "millimetres per editor unit (default 10)")->type_name("NUMBER");
  mesh->add_option("--texture-dir", arguments.TextureDirectory, "the editor's texture directory (default: the scene file's folder)")
      ->type_name("DIR");
  mesh->footer("Example: veldara-export mesh level.xml out/Level.mesh --texture-dir textures");
  const char* const ogreVersionHelp =
      "the OGRE version that reads the files: from 1.7 on, the material script quotes names with blanks "
      "(default: the platform's form); the mesh is in the format that version writes, unless --mesh-version "
      "says otherwise (1.8 for OGRE 1.8 and 1.9, 1.100 from 1.10 on, else 1.30)";
  mesh->add_option("--ogre-version", arguments.OgreVersion, ogreVersionHelp)->type_name("VERSION");
  const char* const meshVersionHelp =
      "the binary mesh's format: 1.30 (default, read by every OGRE), 1.8 (as OGRE 1.8 and 1.9 write it), "
      "1.10 or 1.100 (the same format, as OGRE 1.10 and later write it)";
  mesh->add_option("--mesh-version", arguments.MeshVersion, meshVersionHelp)->type_name("VERSION");
  const char* const lodHelp =
      "levels of detail beyond the full mesh, each with about half the triangles of the one before, drawn from "
      "distances set by the mesh's bounding radius (0 to 8, default 0: none)";
  mesh->add_option("--lod", arguments.Lod, lodHelp)->type_name("NUMBER");
  mesh->add_flag("--quiet", arguments.Quiet, "show no progress line on a terminal");
  const char* const optimizeHelp =
      "optimise the mesh for drawing: one sub-mesh per material (cut where 16-bit indices end), its triangles "
      "ordered for the vertex cache and its vertices for fetching";
  mesh->add_flag("--optimize", arguments.Optimize, optimizeHelp);
  mesh->add_flag("--all-primitives", arguments.AllPrimitives,
                 "also write the collision volumes, which the mesh leaves out as the asset's mesh does");
  const char* const strictHelp = "treat every warning as an error: nothing is written";
  mesh->add_flag("--strict", arguments.Strict, strictHelp);

  CLI::App* exportCommand =
      app.add_subcommand("export", "Export a scene file as an asset of a Veldara asset repository.");
  exportCommand->add_option("SCENE", sceneFile, "scene document as the editor writes it")->required()->type_name("FILE");
  exportCommand->add_option("--repository", arguments.Repository, "the asset repository's folder")->required()->type_name("DIR");
  exportCommand->add_option("--asset", arguments.AssetName, "the asset's name")->required()->type_name("NAME");
  exportCommand->add_option("--category", arguments.Category, "the category written into the asset definitions")
      ->type_name("NAME");
  exportCommand->add_option("--scale", arguments.Scale, "millimetres per editor unit (default 10)")->type_name("NUMBER");
  exportCommand->add_option("--texture-dir", arguments.TextureDirectory,
                            "the editor's texture directory (default: the scene file's folder)")
      ->type_name("DIR");
  exportCommand->add_option("--ogre-version", arguments.OgreVersion, ogreVersionHelp)->type_name("VERSION");
  exportCommand->add_option("--mesh-version", arguments.MeshVersion, meshVersionHelp)->type_name("VERSION");
  exportCommand->add_option("--lod", arguments.Lod, lodHelp)->type_name("NUMBER");
  exportCommand->footer("Example: veldara-export export crate.xml --repository Repository --asset Props/Crate --init");
  exportCommand->add_flag("--init", arguments.Init, "create the repository's folders first");
  exportCommand->add_flag("--quiet", arguments.Quiet, "show no progress line on a terminal");
  exportCommand->add_flag("--optimize", arguments.Optimize, optimizeHelp);
  exportCommand->add_flag("--strict", arguments.Strict, strictHelp);

  CLI::App* batch = app.add_subcommand(
      "batch", "Export every scene of a folder or a list as assets of one repository, several at once.");
  batch->add_option("SOURCE", arguments.BatchSource,
                    "a folder (every .xml scene below it, named by its path inside) or a list file (.tsv: a scene, "
                    "an asset name and optionally a category a line, separated by tabs)")
      ->required()
      ->type_name("DIR|FILE");
  batch->add_option("--repository", arguments.Repository, "the asset repository's folder")->required()->type_name("DIR");
  batch->add_option("--category", arguments.Category, "the category of every asset whose list line gives none")
      ->type_name("NAME");
  batch->add_option("--scale", arguments.Scale, "millimetres per editor unit (default 10)")->type_name("NUMBER");
  batch->add_option("--texture-dir", arguments.TextureDirectory,
                    "the editor's texture directory (default: each scene file's folder)")
      ->type_name("DIR");
  batch->add_option("--ogre-version", arguments.OgreVersion, ogreVersionHelp)->type_name("VERSION");
  batch->add_option("--mesh-version", arguments.MeshVersion, meshVersionHelp)->type_name("VERSION");
  batch->add_option("--lod", arguments.Lod, lodHelp)->type_name("NUMBER");
  batch->add_flag("--init", arguments.Init,
                  "create the repository's folders first, and those that the asset names with folders need");
  batch->add_flag("--quiet", arguments.Quiet, "show no progress line on a terminal");
  batch->add_flag("--optimize", arguments.Optimize, optimizeHelp);
  batch->add_flag("--strict", arguments.Strict, "treat every warning as an error of its asset: it writes nothing");
  batch->add_option("-j,--jobs", arguments.Jobs, "how many exports run at once (default: one per processor)")
      ->type_name("NUMBER")
      ->check(CLI::Range(1, 1024).description(""));
  batch->add_option("--report", arguments.Report,
                    "write every asset's outcome, warnings, files, polygons and time, and the totals, as JSON")
      ->type_name("FILE.json");
  batch->add_option("--shard", arguments.Shard,
                    "export only every N-th asset in the order of the names, starting at the I-th (I counted from "
                    "1): one of N machines sharing the batch")
      ->type_name("I/N");
  batch->add_flag("--changed-only", arguments.ChangedOnly,
                  "skip an asset whose scene, textures, options and tool are as at its last export recorded in "
                  "--cache, and whose files are as that export left them");
  batch->add_option("--cache", arguments.Cache, "where the batch records its exports (a folder outside the repository)")
      ->type_name("DIR");
  batch->footer("Example: veldara-export batch scenes --repository Repository --init -j 4 --report report.json");

  CLI::App* preview = app.add_subcommand(
      "preview", "Render an asset of a repository, or a mesh with its material script and textures, as a PNG.");
  preview->add_option("REPOSITORY", arguments.Repository, "the asset repository's folder")->type_name("DIR");
  preview->add_option("ASSET", arguments.AssetName, "the asset's name")->type_name("NAME");
  preview->add_option("--mesh", arguments.MeshFile, "a mesh file with its material script and textures beside it, as `mesh` "
                                          "writes them (instead of REPOSITORY ASSET)")
      ->type_name("FILE")
      ->excludes("REPOSITORY")
      ->excludes("ASSET");
  preview->add_option("-o,--output", arguments.Output, "the PNG to write (default: NAME.png in the current folder)")
      ->type_name("FILE");
  preview->add_option("--size", arguments.Size, "the picture's size in pixels, WIDTHxHEIGHT (default 800x600)")
      ->type_name("WxH");
  preview->add_option("--views", arguments.Views, "4: front, side, top and three-quarter views in a 2x2 grid (default); "
                                        "1: the three-quarter view")
      ->type_name("NUMBER")
      ->check(CLI::IsMember({1, 4}));
  preview->add_flag("--timings", arguments.Timings, "print how long start-up and rendering took on standard error");
  preview->add_option("--lod", arguments.PreviewLod,
                      "the level of detail to draw: 0 for the full mesh (default), 1 for the first level beyond it "
                      "(see --lod of mesh and export), and so on")
      ->type_name("NUMBER");
  preview->footer("Example: veldara-export preview Repository Props/Crate -o crate.png --views 1");

  CLI::App* help = app.add_subcommand("help", "Print the help of the tool, or of one command.");
  help->add_option("COMMAND", arguments.HelpTopic, "the command to explain");
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
    if (arguments.HelpTopic.empty()) {
      out << app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
      return 0;
    }
    CLI::App* topic = nullptr;
    for (CLI::App* command : {exportCommand, batch, mesh, inspect, preview, help})
      if (command->get_name() == arguments.HelpTopic) topic = command;
    if (!topic) return usageError("unknown command '" + arguments.HelpTopic + "'");
    out << topic->help(app.get_name());
    return 0;
  }

  // On a terminal, a job that runs for more than half a second shows its
  // step on one line of standard error, erased before any other output.
  TProgressLine progress(err, terminal, arguments.Quiet);
  const TCommandStreams streams{out, err, progress};
  try {
    if (inspect->parsed()) RunInspectCommand(arguments, streams);
    if (exportCommand->parsed()) RunExportCommand(arguments, streams);
    if (batch->parsed()) {
      const int status = RunBatchCommand(arguments, streams);
      progress.Erase();
      return status;
    }
    if (mesh->parsed()) RunMeshCommand(arguments, streams);
    progress.Erase();
    if (preview->parsed()) RunPreviewCommand(arguments, streams);
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
