#include "cli/ExportCommands.h"

#include <algorithm>

#include "asset/AssetExportJob.h"
#include "asset/AssetLayout.h"
#include "asset/MeshExportJob.h"
#include "asset/uRepository.h"
#include "cli/ExportOptions.h"
#include "cli/WarningPrinter.h"
#include "cli/ProgressLine.h"
#include "platform/uFileSystem.h"

namespace {
// A folder that the repository lacks; --init makes the repository's own
// folders, not those of an asset name with folders: only for those is it the
// cure, and only when not given.
[[noreturn]] void RaiseMissingFolder(const TMissingFolder& missing, const TAssetExportOptions& options) {
  const std::string root = TAssetLayout(options.Repository, options.AssetName).Root();
  const bool initHelps =
      !options.CreateRepositoryFolders && std::any_of(std::begin(RepositoryFolders), std::end(RepositoryFolders),
                                                      [&](const char* folder) { return missing.Folder == root + folder; });
  if (initHelps)
    RaiseError("The repository has no folder %s (use --init to create the repository's folders).", {missing.Folder});
  throw missing;
}
}  // namespace

void RunExportCommand(const TCommandArguments& arguments, const TCommandStreams& streams) {
  TAssetExportOptions options = AssetExportOptions(arguments, arguments.SceneFile, arguments.AssetName, arguments.Category);
  // The tool ends right after its one export.
  options.KeepSceneToProcessEnd = true;
  TWarningPrinter warnings(streams.Err, streams.Progress, arguments.Strict);
  TAssetExportResult result;
  try {
    result = ExportAsset(SceneFileSource(arguments.SceneFile), options, warnings.Sinks());
  } catch (const TMissingFolder& missing) {
    RaiseMissingFolder(missing, options);
  }
  streams.Progress.Erase();
  // Absolute, whichever way the repository was given, as `mesh` prints its files.
  for (const std::string& file : result.WrittenFiles)
    streams.Out << AbsoluteDirectory(FolderOf(file), "") << FileNameOf(file) << '\n';
  warnings.PrintSummary();
}

void RunMeshCommand(const TCommandArguments& arguments, const TCommandStreams& streams) {
  TMeshFileOptions options;
  options.Target = ParseMeshTarget(arguments);
  options.Scale = ParseScale(arguments.Scale);
  options.TextureFolder = TextureSourceFolder(arguments.SceneFile, arguments.TextureDirectory);
  options.MeshFile = arguments.Output;
  options.SceneFile = arguments.SceneFile;
  options.AllPrimitives = arguments.AllPrimitives;
  options.KeepSceneToProcessEnd = true;
  TWarningPrinter warnings(streams.Err, streams.Progress, arguments.Strict);
  const TMeshFileResult result = ExportMeshFile(SceneFileSource(arguments.SceneFile), options, warnings.Sinks());
  streams.Progress.Erase();
  // Absolute, as every other file printed, so that a script can use each line wherever it runs.
  for (const std::string& file : result.WrittenFiles) streams.Out << file << '\n';
  warnings.PrintSummary();
}
