// The command line under hostile use: asset names that would leave the
// repository, and every file of an export failing in turn. The user always
// gets the error on standard error with a status, and the repository keeps
// the whole earlier asset.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "../support/FileFaults.h"
#include "../support/NativePath.h"
#include "../support/RunTool.h"
#include "../support/TempDir.h"
#include "cli/uCommandLine.h"

namespace fs = std::filesystem;

namespace {
const std::string kCrate = std::string(VELDARA_EXAMPLES_DIR) + "/crate.xml";

// The files of the crate asset, each holding "earlier <name>" before an export.
const char* const kAssetFiles[] = {"Meshes/Crate.mesh", "Materials/Crate.material", "Textures/crate_wood.png",
                                   "Physics/Crate.physics", "AssetDefinitions/Crate_Mesh.asset",
                                   "AssetDefinitions/Crate_Material.asset"};

bool TemporaryFilesLeft(const fs::path& folder) {
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.path().extension() == ".tmp" || entry.path().extension() == ".old") return true;
  return false;
}
}  // namespace

TEST(CommandLineAssetNames, NamesThatLeaveTheRepositoryAreRefusedBeforeAnythingIsWritten) {
  TTempDir dir;
  const std::string repository = dir.File("Repo");
  for (const char* name : {"../Crate", "..", "Props/../../Crate", "Props\\..\\..\\Crate", "a/.../b", "a/.. /b",
                           "/tmp/Crate", "\\Crate", "C:Crate", "C:\\Crate", "\\\\server\\share\\Crate"}) {
    const TRun run = RunTool({"export", kCrate, "--repository", repository, "--asset", name, "--init"});
    EXPECT_EQ(run.Status, 2) << name;
    EXPECT_EQ(run.Err, "error: The asset name \"" + std::string(name) +
                           "\" leads out of the repository: it may not be an absolute path, start with a drive or "
                           "hold a \"..\" folder.\n" + kExportUsage);
  }
  for (const char* name : {"CON", "Props/nul", "com1.x", "LPT3\\Crate"}) {
    const TRun run = RunTool({"export", kCrate, "--repository", repository, "--asset", name, "--init"});
    EXPECT_EQ(run.Status, 2) << name;
    EXPECT_EQ(run.Err, "error: The asset name \"" + std::string(name) + "\" holds a name reserved for a device.\n" + kExportUsage);
  }
  EXPECT_TRUE(fs::is_empty(dir.Path()));

  // Folders that stay inside, and dots that are no ".." folder, are fine. The
  // asset's own folders inside the repository's must exist, as they must for
  // the plug-in.
  for (const char* folder : {"Props", "a.b"})
    for (const char* kind : {"Meshes", "Physics", "AssetDefinitions"})
      fs::create_directories(repository + "/" + kind + "/" + folder);
  for (const char* name : {"Props/Crate", "..Crate", "Cr..ate", "a.b/c", " Crate"}) {
    const TRun run = RunTool({"export", kCrate, "--repository", repository, "--asset", name, "--init"});
    EXPECT_EQ(run.Status, 0) << name << ": " << run.Err;
  }
}

// Names that Windows, where the platform reads the repository, would take
// for other names, or that the definitions cannot carry.
TEST(CommandLineAssetNames, NamesTheRepositoryCannotCarryAreRefusedBeforeAnythingIsWritten) {
  TTempDir dir;
  const std::string repository = dir.File("Repo");
  fs::create_directories(repository + "/Meshes/a");
  fs::create_directories(repository + "/AssetDefinitions/a");
  const std::vector<std::string> before = TTempDir::Tree(dir.Path());
  struct TCase {
    std::string Name, Shown, Problem;
  };
  const std::string dotOrBlank = "has a part ending in a dot or a blank, which Windows drops.";
  const std::string c1 = "holds a character from 0x80 to 0x9F, a control character in the definitions' ISO-8859-1.";
  std::vector<TCase> cases = {
      {"Crate.", "Crate.", dotOrBlank},
      {"Crate..", "Crate..", dotOrBlank},
      {"Crate ", "Crate ", dotOrBlank},
      {"a./Crate", "a./Crate", dotOrBlank},
      {"a \\Crate", "a \\Crate", dotOrBlank},
      // Superscript digits in Latin-1, as the dialog hands them.
      {"COM\xB9", "COM\xB9", "holds a name reserved for a device."},
      {"a/lpt\xB3.x", "a/lpt\xB3.x", "holds a name reserved for a device."},
      // C1 control characters in Latin-1 (the ANSI code page's "\x80" and "\x92").
      {"Cr\x85te", "Cr\x85te", c1},
      {"\x80uro", "\x80uro", c1},
      {"Bob\x92s", "Bob\x92s", c1},
  };
#ifndef _WIN32
  // Linux hands the arguments over in UTF-8: converted to Latin-1 first.
  cases.push_back({"COM\xC2\xB9", "COM\xB9", "holds a name reserved for a device."});
  cases.push_back({"LPT\xC2\xB2.mesh", "LPT\xB2.mesh", "holds a name reserved for a device."});
  cases.push_back({"Cr\xC2\x85te", "Cr\x85te", c1});
  cases.push_back({"Cr\xC2\x9Fte", "Cr\x9Fte", c1});
  for (const auto& [mark, code] : std::vector<std::pair<std::string, std::string>>{
           {"\xE2\x80\x8B", "U+200B"}, {"\xE2\x80\x8F", "U+200F"}, {"\xE2\x80\xAA", "U+202A"},
           {"\xE2\x80\xAE", "U+202E"}, {"\xE2\x81\xA6", "U+2066"}, {"\xE2\x81\xA9", "U+2069"}})
    cases.push_back({"Cr" + mark + "ate", "Cr" + mark + "ate", "holds an invisible formatting character (" + code + ")."});
  for (const auto& [character, code] : std::vector<std::pair<std::string, std::string>>{
           {"\xE2\x82\xAC", "U+20AC"}, {"\xC4\x85", "U+0105"}, {"\xF0\x9F\x93\xA6", "U+1F4E6"},
           {"\xE2\x80\x8A", "U+200A"}, {"\xE2\x81\xAA", "U+206A"}})
    cases.push_back({"Crate" + character, "Crate" + character,
                     "holds a character (" + code + ") that the asset definitions cannot hold: they are ISO-8859-1 "
                                                    "(Latin-1)."});
#endif
  for (const TCase& c : cases) {
    const TRun run = RunTool({"export", kCrate, "--repository", repository, "--asset", c.Name});
    EXPECT_EQ(run.Status, 2) << c.Name;
    EXPECT_EQ(run.Err, "error: The asset name \"" + c.Shown + "\" " + c.Problem + "\n" + kExportUsage) << c.Name;
  }
  EXPECT_EQ(TTempDir::Tree(dir.Path()), before);
}

// Linux hands the arguments over in UTF-8; the definitions are ISO-8859-1.
#ifndef _WIN32
TEST(CommandLineAssetNames, NameAndCategoryReachTheDefinitionsInLatin1) {
  TTempDir dir;
  const std::string repository = dir.File("Repo");
  const TRun run = RunTool({"export", kCrate, "--repository", repository, "--asset", "K\xC3\xA4se", "--category",
                            "M\xC3\xB6" "bel \xC2\xBD", "--init"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const std::string definition = TTempDir::Read(repository + "/AssetDefinitions/K\xE4se_Mesh.asset");
  EXPECT_NE(definition.find("<Name>K\xE4se_Mesh</Name>"), std::string::npos) << definition;
  EXPECT_NE(definition.find("<Description>K\xE4se</Description>"), std::string::npos) << definition;
  EXPECT_NE(definition.find("<Category>M\xF6" "bel \xBD</Category>"), std::string::npos) << definition;
  EXPECT_NE(definition.find("<TargetFile>Meshes\\K\xE4se.mesh</TargetFile>"), std::string::npos) << definition;
  EXPECT_TRUE(fs::is_regular_file(repository + "/Meshes/K\xE4se.mesh"));
  // Text already in Latin-1 (a terminal of that encoding) is taken as it is.
  const TRun latin1 = RunTool({"export", kCrate, "--repository", repository, "--asset", "K\xE4se", "--category",
                               "M\xF6" "bel \xBD"});
  ASSERT_EQ(latin1.Status, 0) << latin1.Err;
  EXPECT_EQ(TTempDir::Read(repository + "/AssetDefinitions/K\xE4se_Mesh.asset"), definition);
  // A category beyond Latin-1 is refused like a name.
  const TRun refused = RunTool({"export", kCrate, "--repository", repository, "--asset", "Crate", "--category",
                                "Props \xE2\x9C\x93"});
  EXPECT_EQ(refused.Status, 2);
  EXPECT_EQ(refused.Err, "error: The category \"Props \xE2\x9C\x93\" holds a character (U+2713) that the asset "
                         "definitions cannot hold: they are ISO-8859-1 (Latin-1).\n" + kExportUsage);
  EXPECT_FALSE(fs::exists(repository + "/Meshes/Crate.mesh"));
}
#endif

TEST(CommandLineFaults, EachFailedFileOfAnExportReachesTheUserAndKeepsTheWholeEarlierAsset) {
  for (std::size_t failing = 0; failing < std::size(kAssetFiles); ++failing) {
    for (const TFileFault fault : {TFileFault::ffCreate, TFileFault::ffWrite, TFileFault::ffSync, TFileFault::ffClose,
                                   TFileFault::ffReplace}) {
      const std::string file = kAssetFiles[failing];
      SCOPED_TRACE(file + " " + std::to_string(static_cast<int>(fault)));
      TTempDir dir;
      const std::string root = dir.File("Repo") + "/";
      for (const char* folder : {"Meshes", "Materials", "Textures", "Physics", "AssetDefinitions"})
        fs::create_directories(root + folder);
      for (const char* earlier : kAssetFiles) TTempDir::Write(root + earlier, std::string("earlier ") + earlier);

      TFileFaults faults(fault, file, 100);
      const TRun run = RunTool({"export", kCrate, "--repository", dir.File("Repo"), "--asset", "Crate"});
      // A file's flush fails behind the export, which meets that at its next
      // file; meanwhile a read of the same path may strike again.
      EXPECT_GE(faults.Hits(), 1);
      EXPECT_FALSE(TemporaryFilesLeft(dir.Path()));
      // A texture that cannot be written is an error like any other file.
      EXPECT_EQ(run.Status, 1);
      const std::string message = fault == TFileFault::ffCreate ? "Cannot create file " : "Cannot write file ";
      EXPECT_EQ(run.Err.substr(run.Err.rfind("error: ")), "error: " + message + NativePath(root + file) + "\n");
      EXPECT_EQ(run.Out, "");
      // Every file of the asset keeps its earlier content.
      for (const char* other : kAssetFiles)
        EXPECT_EQ(TTempDir::Read(root + other), std::string("earlier ") + other) << other;
    }
  }
}
