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

  // The last line of standard error, where the error message stands.
  std::string LastErrorLine() const {
    std::string text = Err;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text.substr(text.rfind('\n') + 1);
  }
};

inline TRun RunTool(std::vector<std::string> args) {
  args.insert(args.begin(), "veldara-export");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::ostringstream out, err;
  const int status = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
  return {status, out.str(), err.str()};
}
