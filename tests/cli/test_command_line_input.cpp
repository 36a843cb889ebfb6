// What the user hands the command line, taken at its word or refused with a
// message that says what is wrong, before anything is written: scales,
// texture folders, files that are no scene, warnings under --strict, and
// the hints that go with the errors.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>  // geteuid
#endif

#include "../support/NativePath.h"
#include "../support/RunTool.h"
#include "../support/SystemReason.h"
#include "../support/TempDir.h"

namespace fs = std::filesystem;

namespace {
const std::string kExamples = VELDARA_EXAMPLES_DIR;
const std::string kCourtyard = kExamples + "/courtyard.xml";
const std::string kCrate = kExamples + "/crate.xml";

const char* const kRepositoryFolders[] = {"Meshes", "Materials", "Textures", "Physics", "AssetDefinitions"};

// A repository with its folders and, in each, a file standing for an earlier
// asset; returns the folder.
std::string EarlierRepository(const TTempDir& dir) {
  const std::string repository = dir.File("Repo");
  for (const char* folder : kRepositoryFolders) {
    fs::create_directories(repository + "/" + folder);
    TTempDir::Write(repository + "/" + folder + "/earlier", folder);
  }
  return repository;
}

// Every name below the folder with the content of each file, to tell that a
// run changed nothing.
std::vector<std::string> Snapshot(const fs::path& folder) {
  std::vector<std::string> snapshot = TTempDir::Tree(folder);
  for (std::string& name : snapshot)
    if (fs::is_regular_file(folder / name)) name += ": " + TTempDir::Read((folder / name).string());
  return snapshot;
}

// The runs of every command that reads a scene file, writing (where it
// writes) into the folder `dir`, with the textures of the samples.
std::vector<std::vector<std::string>> EveryCommandOn(const std::string& scene, const TTempDir& dir) {
  return {{"inspect", scene},
          {"mesh", scene, dir.File("out/Scene.mesh"), "--texture-dir", kExamples},
          {"export", scene, "--repository", dir.File("Repo"), "--asset", "Scene", "--texture-dir", kExamples}};
}
}  // namespace

TEST(CommandLineScale, ZeroNegativeAndBeyondSinglePrecisionAreUsageErrorsBeforeAnythingIsWritten) {
  TTempDir dir;
  const std::string repository = EarlierRepository(dir);
  const std::vector<std::string> before = Snapshot(dir.Path());
  // 1e-50 is zero in single precision, 1e39 beyond it; text that is no number
  // at all was refused before.
  for (const char* scale : {"0", "-0", "0.0", "-10", "-1e-3", "1e-50", "1e39", "", "1,5", "ten", "10 "}) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"mesh", kCourtyard, dir.File("out/Courtyard.mesh"), "--scale", scale},
          std::vector<std::string>{"export", kCrate, "--repository", repository, "--asset", "Crate", "--scale", scale,
                                   "--init"}}) {
      const TRun run = RunTool(arguments);
      EXPECT_EQ(run.Status, 2) << arguments[0] << " " << scale;
      EXPECT_EQ(run.Err, "error: Please specify a (valid) scale.\n" + (arguments[0] == "mesh" ? kMeshUsage : kExportUsage))
          << arguments[0] << " " << scale;
      EXPECT_EQ(run.Out, "");
    }
  }
  EXPECT_EQ(Snapshot(dir.Path()), before);
  for (const char* scale : {"0.001", " 2.5e1"}) {
    const TRun run = RunTool({"mesh", kCourtyard, dir.File("out/Courtyard.mesh"), "--scale", scale});
    EXPECT_EQ(run.Status, 0) << scale << ": " << run.Err;
  }
}

TEST(CommandLineScale, InspectTakesNoScale) {
  const TRun run = RunTool({"inspect", kCourtyard, "--scale", "10"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Out, "");
}

TEST(CommandLineTextureFolder, AFolderThatIsMissingOrNoFolderIsRefusedByNameBeforeAnythingIsWritten) {
  TTempDir dir;
  const std::string repository = EarlierRepository(dir);
  const std::string missing = dir.File("no such folder");
  const std::string file = dir.File("a file");
  TTempDir::Write(file, "not a folder");
  const std::vector<std::string> before = Snapshot(dir.Path());
  for (const auto& [folder, message] :
       {std::pair{missing, "error: The texture folder " + missing + " does not exist.\n"},
        std::pair{file, "error: The texture folder " + file + " is not a folder.\n"}}) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"mesh", kCourtyard, dir.File("out/Courtyard.mesh"), "--texture-dir", folder},
          std::vector<std::string>{"export", kCrate, "--repository", repository, "--asset", "Crate", "--texture-dir",
                                   folder, "--init"}}) {
      const TRun run = RunTool(arguments);
      EXPECT_EQ(run.Status, 1) << arguments[0] << " " << folder;
      EXPECT_EQ(run.Err, message) << arguments[0];
      EXPECT_EQ(run.Out, "");
    }
  }
  EXPECT_EQ(Snapshot(dir.Path()), before);
  // A folder that exists is taken, also one given with its delimiter.
  EXPECT_EQ(RunTool({"mesh", kCourtyard, dir.File("out/Courtyard.mesh"), "--texture-dir", kExamples + "/"}).Err, "");
}

TEST(CommandLineSceneFiles, FilesThatAreNoSceneAreRefusedByEveryCommandBeforeAnythingIsWritten) {
  TTempDir dir;
  EarlierRepository(dir);
  fs::create_directories(dir.File("out"));
  const std::string picture = kExamples + "/stone wall.png";
  const std::string empty = dir.File("empty.xml");
  const std::string blank = dir.File("blank.xml");
  const std::string foreign = dir.File("foreign.xml");
  const std::string nested = dir.File("nested.xml");
  TTempDir::Write(empty, "");
  TTempDir::Write(blank, "\xEF\xBB\xBF \r\n\t\r\n");
  TTempDir::Write(foreign, "<foo></foo>");
  // The editor's sections count only as the root's own children.
  TTempDir::Write(nested, "<Document>\n  <body><materials /><lights /></body>\n</Document>\n");
  const std::vector<std::string> before = Snapshot(dir.Path());
  const std::pair<std::string, std::string> cases[] = {
      {picture, "error: The file " + picture + " is not a Tarnix scene: it is not an XML document.\n"},
      {empty, "error: The file " + empty + " is not a Tarnix scene: it is empty.\n"},
      {blank, "error: The file " + blank + " is not a Tarnix scene: it is empty.\n"},
      {foreign, "error: The file " + foreign +
                    " is not a Tarnix scene: its root element foo holds no settings, materials, primitives or lights.\n"},
      {nested, "error: The file " + nested +
                   " is not a Tarnix scene: its root element document holds no settings, materials, primitives or "
                   "lights.\n"},
  };
  for (const auto& [scene, message] : cases) {
    for (const std::vector<std::string>& arguments : EveryCommandOn(scene, dir)) {
      const TRun run = RunTool(arguments);
      EXPECT_EQ(run.Status, 1) << arguments[0] << " " << scene;
      EXPECT_EQ(run.Err, message) << arguments[0];
      EXPECT_EQ(run.Out, "");
    }
  }
  EXPECT_EQ(Snapshot(dir.Path()), before);
}

TEST(CommandLineSceneFiles, ARootOfAnyNameHoldingTheEditorsSectionsIsAScene) {
  // Saved replies of the editor name their root "reply".
  TTempDir dir;
  EarlierRepository(dir);
  std::string reply = TTempDir::Read(kCrate);
  const std::size_t open = reply.find("<scene>"), close = reply.rfind("</scene>");
  ASSERT_NE(open, std::string::npos);
  ASSERT_NE(close, std::string::npos);
  reply.replace(close, 8, "</reply>").replace(open, 7, "<reply>");
  TTempDir::Write(dir.File("reply.xml"), reply);
  for (const std::vector<std::string>& arguments : EveryCommandOn(dir.File("reply.xml"), dir)) {
    const TRun run = RunTool(arguments);
    EXPECT_EQ(run.Status, 0) << arguments[0] << ": " << run.Err;
    EXPECT_EQ(run.Err, "") << arguments[0];
  }
  EXPECT_EQ(RunTool({"inspect", dir.File("reply.xml")}).Out, RunTool({"inspect", kCrate}).Out);
}

TEST(CommandLineSceneFiles, AFileThatCannotBeOpenedGivesTheSystemsReason) {
  TTempDir dir;
  EarlierRepository(dir);
  const std::string missing = dir.File("missing.xml");
  TTempDir::Write(dir.File("file"), "");
  const std::string underAFile = dir.File("file/scene.xml");
  const std::pair<std::string, std::string> cases[] = {
      {missing, "error: Cannot open file " + missing + " (" + SystemReason(kFileNotFound) + ")\n"},
      {underAFile, "error: Cannot open file " + underAFile + " (" + SystemReason(kPathNotFound) + ")\n"},
  };
  for (const auto& [scene, message] : cases) {
    for (const std::vector<std::string>& arguments : EveryCommandOn(scene, dir)) {
      const TRun run = RunTool(arguments);
      EXPECT_EQ(run.Status, 1) << arguments[0];
      EXPECT_EQ(run.Err, message) << arguments[0];
    }
  }
#ifndef _WIN32
  // The administrator reads every file: an unreadable one needs another user.
  if (geteuid() != 0) {
    const std::string locked = dir.File("locked.xml");
    TTempDir::Write(locked, TTempDir::Read(kCrate));
    fs::permissions(locked, fs::perms::none);
    const TRun run = RunTool({"inspect", locked});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "error: Cannot open file " + locked + " (Permission denied)\n");
  }
#endif
}

TEST(CommandLineWarnings, ARunThatWarnedEndsWithTheirCount) {
  TTempDir dir;
  // The courtyard's two textures missing, then one of them found.
  const std::string textures = dir.File("textures");
  fs::create_directories(textures);
  TRun run = RunTool({"mesh", kCourtyard, dir.File("Courtyard.mesh"), "--texture-dir", textures});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "warning: Texture file \"" + textures + "/stone wall.png\" not found.\n" +
                         "warning: Texture file \"" + textures + "/lm_courtyard.png\" not found.\n" +
                         "warning: 2 warnings\n");
  fs::copy_file(kExamples + "/stone wall.png", textures + "/stone wall.png");
  run = RunTool({"mesh", kCourtyard, dir.File("Courtyard.mesh"), "--texture-dir", textures});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "warning: Texture file \"" + textures + "/lm_courtyard.png\" not found.\n" +
                         "warning: 1 warning\n");

  // The same for an export; a run without warnings prints no count.
  const std::string repository = EarlierRepository(dir);
  run = RunTool({"export", kCrate, "--repository", repository, "--asset", "Crate", "--texture-dir", textures});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.LastErrorLine(), "warning: 2 warnings");
  run = RunTool({"export", kCrate, "--repository", repository, "--asset", "Crate"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
}

TEST(CommandLineWarnings, UnderStrictTheFirstWarningIsAnErrorAndTheEarlierFilesStay) {
  TTempDir dir;
  const std::string textures = dir.File("textures");
  fs::create_directories(textures);
  const std::string repository = EarlierRepository(dir);
  // An earlier export of each, which a strict run must leave as it was.
  ASSERT_EQ(RunTool({"export", kCrate, "--repository", repository, "--asset", "Crate"}).Status, 0);
  fs::create_directories(dir.File("out"));
  ASSERT_EQ(RunTool({"mesh", kCourtyard, dir.File("out/Courtyard.mesh")}).Status, 0);
  const std::vector<std::string> before = Snapshot(dir.Path());

  TRun run = RunTool({"mesh", kCourtyard, dir.File("out/Courtyard.mesh"), "--texture-dir", textures, "--strict"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "error: Texture file \"" + textures + "/stone wall.png\" not found.\n");
  EXPECT_EQ(run.Out, "");
  run = RunTool({"export", kCrate, "--repository", repository, "--asset", "Crate", "--texture-dir", textures,
                 "--strict"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "error: Texture file \"" + textures + "/crate wood.png\" not found.\n");
  EXPECT_EQ(run.Out, "");
  // No temporary file, no lock, no new file: everything as before.
  EXPECT_EQ(Snapshot(dir.Path()), before);

  // Without a warning, strict runs write as any other.
  run = RunTool({"export", kCrate, "--repository", repository, "--asset", "Crate", "--strict"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
}

TEST(CommandLineRepository, TheHintToUseInitComesOnlyWhereInitWouldHelp) {
  TTempDir dir;
  const std::string repository = dir.File("Repo");
  const std::string missingRoot = "error: The repository has no folder " + NativePath(repository + "/Meshes");
  TRun run = RunTool({"export", kCrate, "--repository", repository, "--asset", "Crate"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.LastErrorLine(), missingRoot + " (use --init to create the repository's folders).");

  // --init makes the repository's folders, but not those of an asset name
  // with folders: the user must make them, with or without --init.
  const std::string missingOwn =
      "error: The repository has no folder " + NativePath(repository + "/Meshes/Props") + ".";
  run = RunTool({"export", kCrate, "--repository", repository, "--asset", "Props/Crate", "--init"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.LastErrorLine(), missingOwn);
  run = RunTool({"export", kCrate, "--repository", repository, "--asset", "Props/Crate"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.LastErrorLine(), missingOwn);
}
