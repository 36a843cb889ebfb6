// The command line's progress line, with a clock the test moves and a
// terminal it pretends: nothing for the first half second, then one line
// rewritten in place, erased before anything else is printed; nothing at all
// when standard error is no terminal or the job is quiet.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "../support/RunTool.h"
#include "../support/TempDir.h"
#include "SceneDocumentGenerator.h"
#include "cli/BatchCommand.h"
#include "cli/uCommandLine.h"
#include "cli/ProgressLine.h"

using namespace std::chrono_literals;

namespace {
const std::string kCrate = std::string(VELDARA_EXAMPLES_DIR) + "/crate.xml";
const std::string kCourtyard = std::string(VELDARA_EXAMPLES_DIR) + "/courtyard.xml";

// A terminal whose clock moves only when the test says so.
struct TFakeTerminal {
  TProgressDevice::TClock::time_point Time{};
  bool Terminal = true;

  TProgressDevice Get() {
    return {[this] { return Terminal; }, [this] { return Time; }};
  }
};

// A terminal whose clock moves half a second with every look at it: every
// report of a job comes after the delay.
TProgressDevice SlowTerminal() {
  auto time = std::make_shared<TProgressDevice::TClock::time_point>();
  return {[] { return true; }, [time] { return *time += 600ms; }};
}

TRun RunOnTerminal(std::vector<std::string> args, const TProgressDevice& terminal) {
  args.insert(args.begin(), "veldara-export");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::ostringstream out, err;
  const int status = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err, terminal);
  return {status, out.str(), err.str()};
}

// Standard error as a terminal shows it at the end: each carriage return
// goes back to the start of the line, and what follows overwrites it. Blanks
// left at the end of a line (of a progress line erased) show as nothing.
std::string AsShown(const std::string& written) {
  std::string screen, line;
  std::size_t column = 0;
  for (const char c : written) {
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      while (!line.empty() && line.back() == ' ') line.pop_back();
      screen += line + '\n';
      line.clear();
      column = 0;
    } else {
      if (column < line.size())
        line[column] = c;
      else
        line += c;
      ++column;
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return screen + line;
}
}  // namespace

TEST(ProgressLine, NothingBeforeHalfASecond) {
  TFakeTerminal terminal;
  std::ostringstream err;
  TProgressLine progress(err, terminal.Get(), false);
  EXPECT_TRUE(progress.Enabled());
  progress.Report("Processing materials...", 0);
  terminal.Time += 300ms;
  progress.Report("Processing materials...", 50);
  terminal.Time += 200ms;  // exactly half a second: not more than it
  progress.Report("Processing primitives...", 10);
  progress.Erase();
  EXPECT_EQ(err.str(), "");
}

TEST(ProgressLine, AfterHalfASecondOneLineIsRewrittenInPlace) {
  TFakeTerminal terminal;
  std::ostringstream err;
  TProgressLine progress(err, terminal.Get(), false);
  progress.Report("Processing materials...", 0);
  terminal.Time += 501ms;
  progress.Report("Processing primitives...", 5);
  EXPECT_EQ(err.str(), "\rProcessing primitives... 5%");
  // The same text again writes nothing.
  progress.Report("Processing primitives...", 5);
  EXPECT_EQ(err.str(), "\rProcessing primitives... 5%");
  progress.Report("Processing primitives...", 67);
  EXPECT_EQ(err.str(), "\rProcessing primitives... 5%\rProcessing primitives... 67%");
  // A shorter line blanks what is left of the longer one.
  progress.Report("Saving material file...", 0);
  EXPECT_EQ(err.str(), "\rProcessing primitives... 5%\rProcessing primitives... 67%\rSaving material file... 0%"
                       "  ");
  EXPECT_EQ(AsShown(err.str()), "Saving material file... 0%");
  EXPECT_EQ(err.str().find('\n'), std::string::npos) << "one line, never a new one";
  // The end erases it: blanks over it and back to its start.
  progress.Erase();
  EXPECT_EQ(AsShown(err.str()), "");
  EXPECT_EQ(err.str().substr(err.str().size() - 30), "\r" + std::string(28, ' ') + "\r");
}

TEST(ProgressLine, ErasedBeforeAWarningAndShownAgainAfterIt) {
  TFakeTerminal terminal;
  std::ostringstream err;
  TProgressLine progress(err, terminal.Get(), false);
  terminal.Time += 1s;
  progress.Report("Copying texture files...", 50);
  progress.Erase();
  err << "warning: Texture file \"x.png\" not found.\n";
  EXPECT_EQ(AsShown(err.str()), "warning: Texture file \"x.png\" not found.\n");
  // The warning's line starts where the progress line did: at the start of the line.
  EXPECT_EQ(err.str(), "\rCopying texture files... 50%\r" + std::string(28, ' ') +
                           "\rwarning: Texture file \"x.png\" not found.\n");
  progress.Report("Copying texture files...", 50);
  EXPECT_EQ(AsShown(err.str()), "warning: Texture file \"x.png\" not found.\nCopying texture files... 50%");
  // Erasing twice writes nothing more.
  progress.Erase();
  const std::string erased = err.str();
  progress.Erase();
  EXPECT_EQ(err.str(), erased);
}

TEST(ProgressLine, NothingWhenNotATerminalOrQuiet) {
  TFakeTerminal terminal;
  for (const bool quiet : {false, true}) {
    terminal.Terminal = quiet;  // a terminal, but quiet; no terminal, not quiet
    std::ostringstream err;
    {
      TProgressLine progress(err, terminal.Get(), quiet);
      EXPECT_FALSE(progress.Enabled());
      terminal.Time += 10s;
      progress.Report("Processing primitives...", 50);
      progress.Erase();
    }
    EXPECT_EQ(err.str(), "");
  }
  // Nor without a terminal test at all.
  std::ostringstream err;
  TProgressLine progress(err, TProgressDevice{}, false);
  progress.Report("Processing primitives...", 50);
  EXPECT_EQ(err.str(), "");
}

TEST(ProgressLine, TheLineStaysWithinEightyColumnsAndPrintable) {
  TFakeTerminal terminal;
  std::ostringstream err;
  TProgressLine progress(err, terminal.Get(), false);
  terminal.Time += 1s;
  progress.Report(std::string(200, 'x') + "\n", 150);
  EXPECT_LT(err.str().size(), 80u);
  EXPECT_EQ(err.str(), "\r" + std::string(70, 'x') + " 100%");
  progress.Report("a\tb", -5);
  EXPECT_EQ(AsShown(err.str()), "a?b 0%");
}

// The batch's own line: shown as it is, after the same delay.
TEST(ProgressLine, ALineOfTheCallersIsShownAsItIsAndRewrittenOnlyWhenItChanges) {
  TFakeTerminal terminal;
  std::ostringstream err;
  TProgressLine progress(err, terminal.Get(), false);
  progress.Show("batch: 0/3 assets, 0 failed");
  EXPECT_EQ(err.str(), "");
  terminal.Time += 501ms;
  progress.Show("batch: 1/3 assets, 0 failed, 0:02 left");
  EXPECT_EQ(err.str(), "\rbatch: 1/3 assets, 0 failed, 0:02 left");
  progress.Show("batch: 1/3 assets, 0 failed, 0:02 left");
  EXPECT_EQ(err.str(), "\rbatch: 1/3 assets, 0 failed, 0:02 left");
  progress.Show("batch: 3/3 assets, 1 failed");
  EXPECT_EQ(err.str(), "\rbatch: 1/3 assets, 0 failed, 0:02 left\rbatch: 3/3 assets, 1 failed" + std::string(11, ' '));
  EXPECT_EQ(AsShown(err.str()), "batch: 3/3 assets, 1 failed");
  // A step of the export's after it is shown too.
  progress.Report("Copying texture files...", 50);
  EXPECT_EQ(AsShown(err.str()), "Copying texture files... 50%");
  progress.Show("batch:\t\n" + std::string(100, 'x'));
  EXPECT_EQ(AsShown(err.str()), "batch:??" + std::string(67, 'x'));
  progress.Erase();
  EXPECT_EQ(AsShown(err.str()), "");
}

TEST(ProgressLine, TheBatchsLineCountsAssetsAndTellsTheTimeLeftFromTheFinishedOnes) {
  EXPECT_EQ(BatchProgressLine(0, 300, 0, 5), "batch: 0/300 assets, 0 failed");
  EXPECT_EQ(BatchProgressLine(120, 300, 2, 28), "batch: 120/300 assets, 2 failed, 0:42 left");
  EXPECT_EQ(BatchProgressLine(1, 3, 1, 1800), "batch: 1/3 assets, 1 failed, 1:00:00 left");
  EXPECT_EQ(BatchProgressLine(300, 300, 0, 100), "batch: 300/300 assets, 0 failed");
}

TEST(ProgressLine, TheDestructorErasesTheLine) {
  TFakeTerminal terminal;
  std::ostringstream err;
  {
    TProgressLine progress(err, terminal.Get(), false);
    terminal.Time += 1s;
    progress.Report("Copying texture files...", 0);
  }
  EXPECT_EQ(AsShown(err.str()), "");
}

// The tool itself, with every report past the delay.

TEST(CommandLineProgress, ExportOnATerminalShowsItsStepsAndLeavesStandardErrorClean) {
  TTempDir dir;
  const TRun run = RunOnTerminal({"export", kCrate, "--repository", dir.File("Repo"), "--asset", "Crate", "--init"},
                                 SlowTerminal());
  ASSERT_EQ(run.Status, 0) << run.Err;
  for (const char* step : {"\rReading scene file... 0%", "\rProcessing materials... ",
                           "\rProcessing primitives... ", "\rSaving material file... 0%", "\rCopying texture files... "})
    EXPECT_NE(run.Err.find(step), std::string::npos) << step;
  EXPECT_EQ(run.Err.find('\n'), std::string::npos);
  EXPECT_EQ(AsShown(run.Err), "") << "erased at the end";
  // Standard output is what it is without a terminal.
  const TRun plain = RunTool({"export", kCrate, "--repository", dir.File("Repp"), "--asset", "Crate", "--init"});
  EXPECT_EQ(plain.Err, "");
  EXPECT_EQ(run.Out.size(), plain.Out.size());
}

TEST(CommandLineProgress, WarningsAndErrorsStandOnLinesOfTheirOwn) {
  TTempDir dir;
  // Missing textures: two warnings, each printed when the export meets it,
  // and their count at the end.
  const std::string textures = dir.File("textures");
  std::filesystem::create_directories(textures);
  TRun run = RunOnTerminal({"mesh", kCourtyard, dir.File("out/Courtyard.mesh"), "--texture-dir", textures},
                           SlowTerminal());
  ASSERT_EQ(run.Status, 0) << run.Err;
  const std::string warnings = "warning: Texture file \"" + textures + "/stone wall.png\" not found.\n" +
                               "warning: Texture file \"" + textures + "/lm_courtyard.png\" not found.\n" +
                               "warning: 2 warnings\n";
  EXPECT_EQ(AsShown(run.Err), warnings);
  // Each warning starts on a line the progress left empty, and the progress
  // goes on below it.
  std::size_t count = 0;
  for (std::size_t at = run.Err.find("warning: "); at != std::string::npos; at = run.Err.find("warning: ", at + 1)) {
    EXPECT_EQ(run.Err[at - 1], '\r') << at;
    ++count;
  }
  EXPECT_EQ(count, 3u);
  EXPECT_NE(run.Err.find("\n\rCopying texture files..."), std::string::npos) << run.Err;
  EXPECT_EQ(run.Err.substr(run.Err.rfind('\r')), "\rwarning: 2 warnings\n") << "the line is erased before the count";

  // An error of the job: the last line is the error, as without a terminal.
  TTempDir::Write(dir.File("broken.xml"), "<scene><primitives><primitive id=\"p\"");
  run = RunOnTerminal({"mesh", dir.File("broken.xml"), dir.File("out/Broken.mesh")}, SlowTerminal());
  EXPECT_EQ(run.Status, 1);
  const TRun plain = RunTool({"mesh", dir.File("broken.xml"), dir.File("out/Broken.mesh")});
  EXPECT_EQ(AsShown(run.Err), plain.Err);
  EXPECT_EQ(run.Err.substr(run.Err.find("error: ")), plain.Err);
}

TEST(CommandLineProgress, QuietShowsNothing) {
  TTempDir dir;
  TRun run = RunOnTerminal({"export", kCrate, "--repository", dir.File("Repo"), "--asset", "Crate", "--init", "--quiet"},
                           SlowTerminal());
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  run = RunOnTerminal({"mesh", kCrate, dir.File("crate.mesh"), "--quiet"}, SlowTerminal());
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  // inspect shows no progress and takes no --quiet.
  EXPECT_EQ(RunOnTerminal({"inspect", kCrate}, SlowTerminal()).Err, "");
  EXPECT_EQ(RunTool({"inspect", kCrate, "--quiet"}).Status, 2);
}

// A batch on a terminal: its line counts the assets, and is erased before
// each warning and before the totals, which stay on lines of their own.
TEST(CommandLineProgress, TheBatchCountsItsAssetsOnOneLineThatLeavesOnlyWarningsAndTotals) {
  TTempDir dir;
  std::filesystem::create_directories(dir.File("scenes"));
  // A scene that takes a while, first in the order, so that the line shows
  // before the batch is done.
  TSceneDocumentOptions options;
  options.Polygons = 20000;
  TTempDir::Write(dir.File("scenes/A.xml"), GenerateSceneDocument(options));
  TTempDir::Write(dir.File("scenes/B.xml"), TTempDir::Read(kCourtyard));
  TTempDir::Write(dir.File("scenes/C.xml"),
                  "<scene><materials><category name=\"c\"><material id=\"m\" name=\"M\" used=\"true\">"
                  "<layer type=\"texture\" blend=\"replace\"><texture file=\"gone.png\" /></layer></material>"
                  "</category></materials></scene>");
  const std::vector<std::string> args = {"batch", dir.File("scenes"), "--repository", dir.File("Repo"), "--init", "-j", "1"};
  const TRun run = RunOnTerminal(args, SlowTerminal());
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Err.find("\rbatch: 0/3 assets, 0 failed"), std::string::npos) << run.Err;
  // What stays: the warnings (the scenes' textures are not beside them) and
  // the totals, each a whole line.
  const std::string shown = AsShown(run.Err);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back(), '\n');
  std::istringstream lines(shown);
  std::vector<std::string> all;
  for (std::string line; std::getline(lines, line);) all.push_back(line);
  ASSERT_GE(all.size(), 2u);
  for (std::size_t i = 0; i + 1 < all.size(); ++i) EXPECT_EQ(all[i].rfind("warning: ", 0), 0u) << all[i];
  EXPECT_EQ(all.back().rfind("batch: 3 assets: 3 exported, 0 skipped, 0 failed, " + std::to_string(all.size() - 1) +
                             " warnings, ", 0),
            0u)
      << all.back();
  // Quiet, or without a terminal, none of it.
  std::vector<std::string> quiet = args;
  quiet.push_back("--quiet");
  EXPECT_EQ(RunOnTerminal(quiet, SlowTerminal()).Err.find('\r'), std::string::npos);
  EXPECT_EQ(RunTool(args).Err.find('\r'), std::string::npos);
}
