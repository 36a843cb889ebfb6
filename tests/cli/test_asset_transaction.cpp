// The asset as one safe transaction, through the command line as a hostile
// user or a shared repository would meet it: names that would escape the
// repository, planted links, a second export of the same asset, files that
// must be on the disk before they count, sources outside the texture folder,
// outputs that are the export's own inputs, and names XML cannot hold.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "../support/FileFaults.h"
#include "../support/NativePath.h"
#include "../support/RunTool.h"
#include "../support/TempDir.h"
#include "platform/uFileLock.h"
#include "platform/uFileTransaction.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {
const std::string kExamples = VELDARA_EXAMPLES_DIR;
const std::string kCrate = kExamples + "/crate.xml";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// A repository with its folders, and the crate's scene with other texture
// names when asked.
struct TRepository {
  TTempDir Dir;
  std::string Root = Dir.File("Repo");
  TRepository() {
    for (const char* folder : {"Meshes", "Materials", "Textures", "Physics", "AssetDefinitions"})
      fs::create_directories(Root + "/" + folder);
  }
  std::string Scene(const std::string& woodTexture, const std::string& lightmap = "lm_crate.png") const {
    const std::string scene = Dir.File("scene.xml");
    TTempDir::Write(scene, Replaced(Replaced(TTempDir::Read(kCrate), "crate wood.png", woodTexture), "lm_crate.png",
                                    lightmap));
    return scene;
  }
  TRun Export(const std::string& scene, const std::string& asset = "Crate", std::vector<std::string> more = {}) const {
    std::vector<std::string> args = {"export", scene, "--repository", Root, "--asset", asset, "--texture-dir", kExamples};
    args.insert(args.end(), more.begin(), more.end());
    return RunTool(args);
  }
  std::string Read(const std::string& file) const { return TTempDir::Read(Root + "/" + file); }
};

const char* const kCrateFiles[] = {"AssetDefinitions/Crate_Material.asset", "AssetDefinitions/Crate_Mesh.asset",
                                   "Materials/Crate.material", "Meshes/Crate.mesh", "Physics/Crate.physics",
                                   "Textures/crate_wood.png", "Textures/lm_crate.png"};
}  // namespace

TEST(AssetNames, EmptyAndDotPartsAreRefusedInsteadOfLeadingOutOfTheRepository) {
  TRepository repository;
  const std::vector<std::string> before = TTempDir::Tree(repository.Dir.Path());
  for (const char* name : {"./x", "././x", "a//b", "a/./b", "x/", ".\\x", "a\\\\b"}) {
    const TRun run = repository.Export(kCrate, name);
    EXPECT_EQ(run.Status, 2) << name;
    EXPECT_EQ(run.Err, "error: The asset name \"" + std::string(name) + "\" has an empty or \".\" part.\n" + kExportUsage);
  }
  for (const char* name : {"a?b", "a/b:c", "x|y"}) {
    const TRun run = repository.Export(kCrate, name);
    EXPECT_EQ(run.Status, 2) << name;
    EXPECT_NE(run.Err.find("holds a character that Windows does not allow"), std::string::npos) << run.Err;
  }
  EXPECT_EQ(TTempDir::Tree(repository.Dir.Path()), before);
}

TEST(AssetNames, BothDelimitersPlaceEveryFileOfTheAssetInTheSameSubfolder) {
  TRepository repository;
  for (const char* folder : {"Meshes/x", "Physics/x", "AssetDefinitions/x"})
    fs::create_directories(repository.Root + "/" + folder);
  const TRun run = repository.Export(kCrate, "x\\y");
  ASSERT_EQ(run.Status, 0) << run.Err;
  for (const char* file : {"Meshes/x/y.mesh", "Materials/x/y.material", "Physics/x/y.physics",
                           "AssetDefinitions/x/y_Mesh.asset", "AssetDefinitions/x/y_Material.asset",
                           "Textures/crate_wood.png"})
    EXPECT_TRUE(fs::is_regular_file(repository.Root + "/" + file)) << file;
  // Every file listed exists, and the definitions name them with backslashes.
  std::istringstream listed(run.Out);
  for (std::string line; std::getline(listed, line);) EXPECT_TRUE(fs::is_regular_file(line)) << line;
  const std::string definition = repository.Read("AssetDefinitions/x/y_Mesh.asset");
  EXPECT_NE(definition.find("<TargetFile>Meshes\\x\\y.mesh</TargetFile>"), std::string::npos);
  EXPECT_NE(definition.find("<Name>y_Mesh</Name>"), std::string::npos);
}

TEST(AssetNames, ControlCharactersInNamesAndCategoriesAreRefusedBeforeTheyReachXml) {
  TRepository repository;
  TRun run = repository.Export(kCrate, std::string("Cr\x01" "ate"));
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "error: The asset name \"Cr\\x01ate\" holds a control character.\n" + kExportUsage);
  run = repository.Export(kCrate, "Crate", {"--category", "Pro\x1bps"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "error: The category \"Pro\\x1bps\" holds a control character.\n" + kExportUsage);
  // A material name with a character reference XML cannot hold.
  const std::string scene = repository.Dir.File("control.xml");
  TTempDir::Write(scene, Replaced(TTempDir::Read(kCrate), "name=\"Metal\"", "name=\"Me&#1;tal\""));
  run = repository.Export(scene);
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.LastErrorLine(), "error: Material \"Crate_Me\\x01tal\" has a control character in its name.");
  EXPECT_TRUE(fs::is_empty(repository.Root + "/Meshes"));
  // Tabs and line breaks are ordinary XML in a category.
  run = repository.Export(kCrate, "Crate", {"--category", "Props\tand\nmore"});
  EXPECT_EQ(run.Status, 0) << run.Err;
}

// Links, /proc and /dev are POSIX; the Windows build shares the code under test.
#ifndef _WIN32
TEST(AssetTransaction, LinksPlantedAtTheOldTemporaryNamesAreNeverWrittenThrough) {
  TRepository repository;
  TTempDir::Write(repository.Dir.File("victim"), "victim");
  fs::create_symlink(repository.Dir.File("victim"), repository.Root + "/Meshes/Crate.mesh.tmp");
  fs::create_symlink(repository.Dir.File("victim"), repository.Root + "/AssetDefinitions/Crate_Mesh.asset.tmp");
  // A texture of its own that bears a neighbour's old temporary name.
  TTempDir::Write(repository.Root + "/Textures/lm_crate.png.tmp", "another texture");
  const TRun run = repository.Export(kCrate);
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(TTempDir::Read(repository.Dir.File("victim")), "victim");
  EXPECT_FALSE(fs::is_symlink(repository.Root + "/Meshes/Crate.mesh"));
  EXPECT_EQ(repository.Read("Textures/lm_crate.png.tmp"), "another texture");
}
#endif

TEST(AssetTransaction, ASecondExportOfTheAssetIsRefusedAtOnceWhileOneRuns) {
  TRepository repository;
  {
    const auto running = TFileLock::TryAcquire(repository.Root + "/AssetDefinitions/.crate.lock");
    ASSERT_NE(running, nullptr);
    const TRun run = repository.Export(kCrate);
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "error: The asset \"Crate\" is being exported by another process.\n");
    EXPECT_TRUE(fs::is_empty(repository.Root + "/Meshes"));
    // Another asset is not held up.
    EXPECT_EQ(repository.Export(kCrate, "Other").Status, 0);
  }
  EXPECT_EQ(repository.Export(kCrate).Status, 0);
  EXPECT_FALSE(fs::exists(repository.Root + "/AssetDefinitions/.crate.lock"));
}

#ifndef _WIN32
// The lock file is the first thing the export writes, so it meets an
// unwritable repository first: the user hears of the folder and the reason,
// not of a lock file they never made. The superuser may write anywhere, so a
// test run by it takes the place of an ordinary user for the export.
TEST(AssetTransaction, ARepositoryTheUserCannotWriteIsNamedWithTheSystemsReason) {
  TRepository repository;
  const std::string scene = repository.Scene("crate wood.png");
  const std::string definitions = repository.Root + "/AssetDefinitions";
  fs::permissions(definitions, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  struct TOrdinaryUser {
    const bool Switched = geteuid() == 0 && seteuid(65534) == 0;
    ~TOrdinaryUser() {
      if (Switched) {
        EXPECT_EQ(seteuid(0), 0);
      }
    }
  };
  TRun run{};
  {
    const TOrdinaryUser user;
    ASSERT_NE(geteuid(), 0u);
    run = RunTool({"export", scene, "--repository", repository.Root, "--asset", "Crate"});
  }
  fs::permissions(definitions, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "error: Cannot write into the folder " + definitions + " (Permission denied).\n");
  EXPECT_TRUE(fs::is_empty(repository.Root + "/Meshes"));
  EXPECT_TRUE(fs::is_empty(definitions));
}
#endif

TEST(AssetTransaction, TheNextExportRemovesWhatAKilledOneLeftOfItsOwnAsset) {
  TRepository repository;
  // A killed export's temporary file: made by a transaction of the asset,
  // kept under a second name before the transaction removes it, put back.
  const std::string mesh = repository.Root + "/Meshes/Crate.mesh";
  std::string leftover;
  {
    TFileTransaction killed("crate");
    killed.Create(mesh);
    leftover = repository.Root + "/Meshes/" + TTempDir::Tree(repository.Root + "/Meshes").front();
    fs::create_hard_link(leftover, leftover + ".kept");
  }
  fs::rename(leftover + ".kept", leftover);
  // Another asset's file in flight is not touched.
  TFileTransaction other("other");
  other.Create(repository.Root + "/Meshes/Other.mesh");
  ASSERT_EQ(TTempDir::Tree(repository.Root + "/Meshes").size(), 2u);

  ASSERT_EQ(repository.Export(kCrate).Status, 0);
  const std::vector<std::string> meshes = TTempDir::Tree(repository.Root + "/Meshes");
  EXPECT_EQ(meshes.size(), 2u);
  EXPECT_TRUE(std::find(meshes.begin(), meshes.end(), "Crate.mesh") != meshes.end());
  EXPECT_FALSE(fs::exists(leftover));
}

TEST(AssetTransaction, EveryFileIsOnTheDiskBeforeItIsPublishedAndEveryFolderAfter) {
  TRepository repository;
  TFileFaults counting(TFileFault::ffNone, "");
  const TRun run = repository.Export(kCrate);
  ASSERT_EQ(run.Status, 0) << run.Err;
  const std::vector<std::string>& events = counting.Events();
  std::size_t lastMove = 0, moves = 0;
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i].rfind("move ", 0) != 0) continue;
    ++moves;
    lastMove = i;
    const std::string temporary = events[i].substr(5, events[i].find(' ', 5) - 5);
    EXPECT_TRUE(std::find(events.begin(), events.begin() + static_cast<long>(i), "sync " + temporary) !=
                events.begin() + static_cast<long>(i))
        << temporary << " was not flushed before it was moved";
  }
  EXPECT_EQ(moves, std::size(kCrateFiles));
  for (const char* folder : {"Meshes", "Materials", "Textures", "Physics", "AssetDefinitions"}) {
    const std::string flushed = "folder " + fs::path(repository.Root + "/" + folder).generic_string();
    const auto at = std::find(events.begin(), events.end(), flushed);
    ASSERT_NE(at, events.end()) << folder;
    EXPECT_GT(static_cast<std::size_t>(at - events.begin()), lastMove) << folder;
  }
}

TEST(AssetTransaction, AFolderWhereAFileGoesStopsTheExportBeforeAnyFileIsReplaced) {
  for (const char* blocked : {"Materials/Crate.material", "Textures/stone_wall.png", "AssetDefinitions/Crate_Mesh.asset"}) {
    SCOPED_TRACE(blocked);
    TRepository repository;
    ASSERT_EQ(repository.Export(kCrate).Status, 0);
    const std::string earlierMesh = repository.Read("Meshes/Crate.mesh");
    fs::remove(repository.Root + "/" + blocked);
    fs::create_directories(repository.Root + "/" + blocked);
    // Another scene, so that every file would change.
    const TRun run = repository.Export(kExamples + "/courtyard.xml");
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.LastErrorLine(), "error: Cannot write file " + NativePath(repository.Root + "/" + blocked));
    EXPECT_TRUE(repository.Read("Meshes/Crate.mesh") == earlierMesh);
    for (const std::string& name : TTempDir::Tree(repository.Root))
      EXPECT_TRUE(name.find(".tmp") == std::string::npos && name.find(".old") == std::string::npos) << name;
  }
}

TEST(AssetTransaction, AReadOnlyFileOfTheAssetIsNotReplacedAndTheEarlierAssetStaysWhole) {
  TRepository repository;
  ASSERT_EQ(repository.Export(kCrate).Status, 0);
  std::vector<std::string> earlier;
  for (const char* file : kCrateFiles) earlier.push_back(repository.Read(file));
  const std::string mesh = repository.Root + "/Meshes/Crate.mesh";
  fs::permissions(mesh, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  // Another scene, so that every file would change.
  const TRun run = repository.Export(kExamples + "/courtyard.xml");
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.LastErrorLine(), "error: The file " + NativePath(mesh) + " is read-only.");
  for (std::size_t i = 0; i < std::size(kCrateFiles); ++i)
    EXPECT_TRUE(repository.Read(kCrateFiles[i]) == earlier[i]) << kCrateFiles[i];
  for (const std::string& name : TTempDir::Tree(repository.Root))
    EXPECT_TRUE(name.find(".tmp") == std::string::npos && name.find(".old") == std::string::npos) << name;
}

// Links, /proc and /dev are POSIX; the Windows build shares the code under test.
#ifndef _WIN32
TEST(TextureSources, NamesAndLinksLeadingOutOfTheTextureFolderAreNotRead) {
  TRepository repository;
  TTempDir editor;
  TTempDir::Write(editor.File("lm_crate.png"), "lightmap");
  TTempDir outside;
  TTempDir::Write(outside.File("secret"), "secret");
  fs::create_symlink(outside.File("secret"), editor.File("linked.png"));
  for (const std::string& name :
       {std::string("../../../../../../../../etc/passwd"), outside.File("secret"), std::string("/proc/self/environ"),
        std::string("..\\..\\secret"), std::string("linked.png")}) {
    SCOPED_TRACE(name);
    const TRun run = RunTool({"export", repository.Scene(name), "--repository", repository.Root, "--asset", "Crate",
                              "--texture-dir", editor.Path().string()});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const std::string reason = name == "linked.png" ? "a link leads it out of the texture folder."
                                                    : "its name leads out of the texture folder.";
    EXPECT_NE(run.Err.find("warning: Texture file \"" + name + "\" is not read: " + reason), std::string::npos)
        << run.Err;
    for (const std::string& file : TTempDir::Tree(repository.Root + "/Textures"))
      EXPECT_NE(TTempDir::Read(repository.Root + "/Textures/" + file), "secret") << file;
    EXPECT_EQ(TTempDir::Tree(repository.Root + "/Textures"), std::vector<std::string>{"lm_crate.png"});
  }
}
#endif

TEST(TextureSources, TexturesThatFlattenToOneNameAreWarnedAbout) {
  TRepository repository;
  TTempDir editor;
  fs::create_directories(editor.File("a"));
  fs::create_directories(editor.File("b"));
  TTempDir::Write(editor.File("a/same.png"), "from a");
  TTempDir::Write(editor.File("b/same.png"), "from b");
  const TRun run = RunTool({"export", repository.Scene("a\\same.png", "b\\same.png"), "--repository", repository.Root,
                            "--asset", "Crate", "--texture-dir", editor.Path().string()});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_NE(run.Err.find("warning: Texture files \"a\\same.png\" and \"b\\same.png\" are both placed as same.png; "
                         "only the first is copied."),
            std::string::npos)
      << run.Err;
  EXPECT_EQ(repository.Read("Textures/same.png"), "from a");
}

// Links, /proc and /dev are POSIX; the Windows build shares the code under test.
#ifndef _WIN32
TEST(MeshOutput, TheSceneItsOwnScriptASourceTextureAndDevicesAreNeverOverwritten) {
  TTempDir dir;
  const std::string scene = dir.File("scene.xml");
  fs::copy_file(kCrate, scene);
  fs::copy_file(kExamples + "/lm_crate.png", dir.File("lm_crate.png"));
  const std::string sceneText = TTempDir::Read(scene);
  struct TCase {
    std::string Output, Message;
  };
  for (const TCase& c : {TCase{scene, scene + " is the scene file; the export will not write over it."},
                         TCase{dir.File("scene.material"), "would receive two files of the export."},
                         TCase{dir.File("lm_crate.png"), "is the source of the texture \"lm_crate.png\"; the export "
                                                         "will not write over it."},
                         TCase{"/dev/null", "/dev/null is not a regular file; the export will not write over it."}}) {
    SCOPED_TRACE(c.Output);
    const TRun run = RunTool({"mesh", scene, c.Output});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.LastErrorLine().find(c.Message), std::string::npos) << run.Err;
    EXPECT_EQ(run.LastErrorLine().rfind("error: ", 0), 0u);
    EXPECT_EQ(TTempDir::Read(scene), sceneText);
    EXPECT_EQ(TTempDir::Read(dir.File("lm_crate.png")), TTempDir::Read(kExamples + "/lm_crate.png"));
  }
  // A mesh beside a scene whose texture is the folder's own file: the output
  // folder is the texture folder, so the texture would replace itself.
  EXPECT_EQ(RunTool({"mesh", scene, dir.File("out.mesh")}).Status, 1);
  EXPECT_EQ(TTempDir::Tree(dir.Path()), (std::vector<std::string>{"lm_crate.png", "scene.xml"}));
  // Elsewhere it is written as usual.
  const TRun run = RunTool({"mesh", scene, dir.File("out/crate.mesh"), "--texture-dir", kExamples});
  EXPECT_EQ(run.Status, 0) << run.Err;
}
#endif

TEST(CommandLineErrors, AMessageWithLineBreaksStaysOnOneLine) {
  TTempDir dir;
  const std::string scene = dir.File("broken.xml");
  // The scanner's message quotes the text before the fault, line break and all.
  TTempDir::Write(scene, "<scene>\n<mat\nerials =>\n</scene>");
  const TRun run = RunTool({"inspect", scene});
  EXPECT_EQ(run.Status, 1);
  ASSERT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
  EXPECT_EQ(run.Err, "error: Unexpected character '>' in input (...\\nerials =>), position (3,10).\n");
}
