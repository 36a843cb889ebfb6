#include "uCommandLine.h"

#include <CLI/CLI.hpp>

#include <fstream>
#include <iterator>
#include <sstream>

#include "uException.h"
#include "uNumbers.h"
#include "uSceneSummary.h"
#include "uXMLSceneReader.h"

namespace {
constexpr int kFailure = 1;
constexpr int kUsageError = 2;

struct TUsageError : TException {
  using TException::TException;
};

std::string ReadFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) RaiseError("Cannot open file %s", {fileName});
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) RaiseError("Cannot read file %s", {fileName});
  return std::move(content).str();
}

// The scale in millimetres per editor unit, checked as the export dialog checks it.
float ParseScale(const std::string& text) {
  if (!IsValidFloat(text)) throw TUsageError("Please specify a (valid) scale.");
  return StrToFloat(text);
}

std::unique_ptr<TScene> ReadSceneFile(const std::string& fileName, const std::string& scale) {
  TXMLSceneReader reader;
  reader.Scale = ParseScale(scale);
  return reader.ReadSceneText(ReadFile(fileName));
}
}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Exports editor scenes as Veldara assets.", "veldara-export"};
  app.set_version_flag("--version", "veldara-export 1.0");
  app.require_subcommand(1);

  std::string sceneFile;
  std::string scale = "10";
  CLI::App* inspect = app.add_subcommand("inspect", "Print a summary of a scene file.");
  inspect->add_option("SCENE", sceneFile, "scene document as the editor writes it")->required();
  inspect->add_option("--scale", scale, "millimetres per editor unit (default 10)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    app.exit(e, out, err);
    return kUsageError;
  }

  try {
    if (inspect->parsed()) WriteSceneSummary(*ReadSceneFile(sceneFile, scale), out);
    return 0;
  } catch (const TUsageError& e) {
    err << "error: " << e.Message() << '\n';
    return kUsageError;
  } catch (const TException& e) {
    err << "error: " << e.Message() << '\n';
    return kFailure;
  } catch (const std::bad_alloc&) {
    err << "error: Out of memory.\n";
    return kFailure;
  }
}
