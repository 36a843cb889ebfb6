#pragma once
// The commands that export: `export` (an asset of a repository) and `mesh`
// (a mesh file with its script and textures). Each gathers the job's
// options from the arguments, runs the job and prints every file written,
// one absolute path a line, and the count of warnings on standard error.

#include "cli/CommandArguments.h"

void RunExportCommand(const TCommandArguments& arguments, const TCommandStreams& streams);
void RunMeshCommand(const TCommandArguments& arguments, const TCommandStreams& streams);
