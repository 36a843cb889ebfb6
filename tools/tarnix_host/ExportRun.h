#pragma once
// tarnix-host's export run: one export through the plug-in's dialog as a
// user makes it, measured instead of checked.
//
//   tarnix-host --export-only --scene FILE --install-dir DIR --repository DIR
//               [--asset NAME] [--category NAME] [--scale TEXT]
//               [--timeout-minutes N] [--memory-log FILE]
//
// It loads ExportVeldaraMesh.dll, serves the scene document through the
// request protocol and runs PluginExecute. The driver thread types the asset
// name (default "Level") and the repository, selects the category and types
// the scale when they are given (otherwise the dialog's own values stay),
// clicks OK, answers the warnings' message box and waits for the dialog to
// close (30 minutes at most by default). Then one line each:
//
//   asset: / repository: / category: / scale:   what the dialog exported with
//   warnings:        the heading of the warnings' message box, or "none"
//   error:           why the export failed (an error message box or status line)
//   result:          success or failure
//   export-seconds:  from the click on OK until the dialog closed
//   peak-working-set-bytes / peak-private-bytes / peak-address-space-used-bytes /
//   least-largest-free-bytes / address-space-bytes / large-address-aware
//
// --memory-log writes a sample of the figures every 100 ms. Exit status 0
// for an export that succeeded, 1 for one that failed, 2 for bad arguments.

#include <string>

struct TExportRunOptions {
  std::string Scene, InstallDirectory, Repository, Asset = "Level", Category, Scale, MemoryLog;
  int TimeoutMinutes = 30;
};

// Reads the options after "--export-only"; false, with a message, for bad ones.
bool ParseExportRunOptions(int argc, char** argv, TExportRunOptions& options);

int RunExport(const TExportRunOptions& options);
