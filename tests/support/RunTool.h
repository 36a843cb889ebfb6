#pragma once
// Runs the command-line tool in-process, as a shell would run veldara-export,
// and keeps what it printed.

#include <sstream>
#include <string>
#include <vector>

#include "cli/uCommandLine.h"

struct TRun {
  int Status;
  std::string Out;
  std::string Err;

  // The line of standard error where the error message stands: the last one,
  // or the one before the usage line that follows a usage error.
  std::string LastErrorLine() const {
    std::string text = Err;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    if (text.compare(text.rfind('\n') + 1, 7, "usage: ") == 0) text.erase(text.rfind('\n'));
    return text.substr(text.rfind('\n') + 1);
  }
};

// The usage lines that follow the usage errors of `export` and `mesh`.
inline const std::string kExportUsage =
    "usage: veldara-export export SCENE.xml --repository DIR --asset NAME [options]\n";
inline const std::string kMeshUsage = "usage: veldara-export mesh SCENE.xml OUTPUT [options]\n";

inline TRun RunTool(std::vector<std::string> args) {
  args.insert(args.begin(), "veldara-export");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::ostringstream out, err;
  const int status = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}
