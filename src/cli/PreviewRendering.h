#pragma once
// Where `preview` renders. Loading OGRE's libraries took 1.7 ms of every
// start, a third of a small export's whole time, so veldara-export does not
// link them: its `preview` hands the whole command line over to a program of
// its own beside it, veldara-export-preview, the same command line tool with
// the renderer linked in. Each program links one of the three ways below:
// PreviewRenderHere.cpp (the preview program, and tests that render in
// process), PreviewHandOver.cpp (veldara-export where the renderer is built)
// and PreviewUnavailable.cpp (builds without OGRE: Windows, or Linux without
// its OpenGL render system).

#include <string>

#include "cli/CommandArguments.h"

// The picture the command line asks for, its arguments checked.
struct TPreviewPicture {
  std::string AssetName;  // as the repository's files name it; empty with --mesh
  int Width = 0, Height = 0;
  int DetailLevel = 0;
};

// Renders the picture, or hands the command line over to the program that
// does (which then ends this process, with that program's output and status),
// or raises that this build has no preview.
void RenderPreview(const TCommandArguments& arguments, const TPreviewPicture& picture, const TCommandStreams& streams);
