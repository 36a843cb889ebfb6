#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <vector>

#include "cli/PreviewRendering.h"
#include "platform/RunningProgram.h"

namespace {
// The preview program's file: beside the running program's.
std::string PreviewProgramPath() {
  const std::string self = RunningProgramPath();
  const std::size_t slash = self.find_last_of('/');
  return (slash == std::string::npos ? std::string() : self.substr(0, slash + 1)) + "veldara-export-preview";
}
}  // namespace

void RenderPreview(const TCommandArguments& arguments, const TPreviewPicture&, const TCommandStreams& streams) {
  const std::string program = PreviewProgramPath();
  // The same words, so that the preview program parses and checks exactly
  // what this one did; its first argument names it, as a shell would.
  std::vector<const char*> argv = {program.c_str()};
  for (const std::string& word : arguments.CommandLine) argv.push_back(word.c_str());
  argv.push_back(nullptr);
  // Nothing is written before a preview starts; whatever was, goes first.
  streams.Out.flush();
  streams.Err.flush();
  std::cout.flush();
  std::cerr.flush();
  execv(program.c_str(), const_cast<char* const*>(argv.data()));
  // Only a program that could not be started comes back here.
  const int error = errno;
  if (error == ENOENT)
    RaiseError("The preview program %s is missing: veldara-export renders previews with it, and it belongs in the "
               "same folder.",
               {program});
  RaiseError("Cannot start the preview program %s: %s", {program, std::strerror(error)});
}
