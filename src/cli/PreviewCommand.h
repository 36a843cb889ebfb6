#pragma once
// `preview`: a picture of an asset of a repository, or of a mesh file with
// its script and textures, rendered with OGRE where the build has the
// preview (Linux); elsewhere it says that it has none.

#include "cli/CommandArguments.h"

void RunPreviewCommand(const TCommandArguments& arguments, const TCommandStreams& streams);
