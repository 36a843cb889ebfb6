// The batch: a folder or a list of scenes exported into one repository by
// several threads, each asset an export of its own. The tool runs in-process;
// the kill of a running batch is batch_test.sh's, with real processes.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "../support/NativePath.h"
#include "../support/RunTool.h"
#include "../support/TempDir.h"
#include "cli/BatchCommand.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {
const std::string kExamples = std::string(VELDARA_EXAMPLES_DIR) + "/";
const std::string kBatchUsage = "usage: veldara-export batch SOURCE --repository DIR [options]";

// One square of `size` editor units whose material has a texture layer
// (none for an empty name): a scene of the smallest kind, told apart by its
// size.
std::string TileScene(const std::string& texture, int size = 100) {
  const std::string layer = texture.empty()
                                ? "<layer type=\"color\" blend=\"replace\"><color r=\"200\" g=\"60\" b=\"40\" /></layer>"
                                : "<layer type=\"texture\" blend=\"replace\"><texture file=\"" + texture + "\" /></layer>";
  const std::string s = std::to_string(size);
  return "<scene><materials><category name=\"Floors\"><material id=\"tile\" name=\"Tile\" used=\"true\">" + layer +
         "</material></category></materials><primitives>"
         "<primitive id=\"floor\" name=\"Floor\" type=\"rectangle\" visible=\"true\" snap=\"vertex\" autoUV=\"false\">"
         "<vertices><vertex id=\"a\" x=\"0\" y=\"0\" z=\"0\" /><vertex id=\"b\" x=\"" + s +
         "\" y=\"0\" z=\"0\" /><vertex id=\"c\" x=\"" + s + "\" y=\"0\" z=\"" + s +
         "\" /><vertex id=\"d\" x=\"0\" y=\"0\" z=\"" + s +
         "\" /></vertices><polygons><poly mid=\"tile\"><vertex vid=\"a\" u0=\"0\" v0=\"0\" />"
         "<vertex vid=\"b\" u0=\"1\" v0=\"0\" /><vertex vid=\"c\" u0=\"1\" v0=\"1\" /><vertex vid=\"d\" u0=\"0\" v0=\"1\" />"
         "</poly></polygons></primitive></primitives></scene>";
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// A folder of scenes, a repository, a report; files written by the test
// with "/" in their relative names.
struct TBatchWork {
  TTempDir Dir;
  std::string Scenes = Dir.File("scenes");
  std::string Repository = Dir.File("Repo");
  std::string ReportFile = Dir.File("report.json");

  TBatchWork() { fs::create_directories(Scenes); }

  std::string Put(const std::string& relative, const std::string& bytes) const {
    const std::string path = NativePath(Scenes + "/" + relative);
    fs::create_directories(fs::path(path).parent_path());
    TTempDir::Write(path, bytes);
    return path;
  }
  // The crate sample with its textures, as the scene `relative`.
  void PutCrate(const std::string& relative) const {
    const std::string scene = Put(relative, TTempDir::Read(kExamples + "crate.xml"));
    for (const char* texture : {"crate wood.png", "lm_crate.png"})
      fs::copy_file(kExamples + texture, fs::path(scene).parent_path() / texture, fs::copy_options::overwrite_existing);
  }

  TRun Batch(std::vector<std::string> options, const std::string& source = "") const {
    std::vector<std::string> args = {"batch", source.empty() ? Scenes : source, "--repository", Repository,
                                     "--report", ReportFile};
    args.insert(args.end(), options.begin(), options.end());
    return RunTool(args);
  }

  json Report() const { return json::parse(TTempDir::Read(ReportFile)); }
  // Each asset's status by its name.
  std::map<std::string, std::string> Statuses() const {
    std::map<std::string, std::string> statuses;
    const json report = Report();
    for (const json& asset : report.at("assets")) statuses[asset.at("name")] = asset.at("status");
    return statuses;
  }
  std::vector<std::string> Names(const std::string& status = "") const {
    std::vector<std::string> names;
    const json report = Report();
    for (const json& asset : report.at("assets"))
      if (status.empty() || asset.at("status") == status) names.push_back(asset.at("name"));
    return names;
  }
  std::string Read(const std::string& relative) const { return TTempDir::Read(NativePath(Repository + "/" + relative)); }
  bool Has(const std::string& relative) const { return fs::exists(NativePath(Repository + "/" + relative)); }
};

// The lines of a text, without their ends.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::size_t CountLines(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (const std::string& line : Lines(text)) count += line.find(part) != std::string::npos;
  return count;
}

// Every file below a folder with its bytes, by its path inside with "/".
std::map<std::string, std::string> Contents(const std::string& folder) {
  std::map<std::string, std::string> contents;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file())
      contents[entry.path().lexically_relative(folder).generic_string()] = TTempDir::Read(entry.path().string());
  return contents;
}

std::vector<std::string> TemporaryFiles(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.size() > 4 && (name.substr(name.size() - 4) == ".tmp" || name.substr(name.size() - 4) == ".old"))
      found.push_back(name);
  }
  return found;
}
}  // namespace

// --- The source -------------------------------------------------------------

TEST(BatchFolder, EverySceneBelowTheFolderIsTheAssetOfItsPathAndWritesWhatExportWrites) {
  TBatchWork work;
  work.PutCrate("Props/Crate.xml");
  work.Put("Props/Small/Box.XML", TileScene("", 40));
  work.Put("Tile.xml", TileScene(""));
  // Passed over: hidden files and folders, other extensions.
  work.Put(".hidden/Skip.xml", TileScene(""));
  work.Put(".Skip.xml", TileScene(""));
  work.Put("notes.txt", "not a scene");
  work.Put("Props/Crate.xml.bak", "not a scene");

  const TRun run = work.Batch({"--init", "-j", "2", "--category", "Things"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "");
  ASSERT_EQ(Lines(run.Err).size(), 1u) << run.Err;
  EXPECT_TRUE(std::regex_match(run.Err, std::regex("batch: 3 assets: 3 exported, 0 skipped, 0 failed, 0 warnings, "
                                                   "0:[0-9][0-9]\n")))
      << run.Err;
  // Sorted by name, folders and all.
  EXPECT_EQ(work.Names(), (std::vector<std::string>{"Props/Crate", "Props/Small/Box", "Tile"}));

  // Each asset is what `export` writes for its scene and name.
  for (const auto& [scene, asset] : std::vector<std::pair<std::string, std::string>>{
           {"Props/Crate.xml", "Props/Crate"}, {"Props/Small/Box.XML", "Props/Small/Box"}, {"Tile.xml", "Tile"}}) {
    SCOPED_TRACE(asset);
    TTempDir alone;
    const std::string repository = alone.File("Repo");
    for (const char* kind : {"Meshes", "AssetDefinitions", "Physics"})
      fs::create_directories(NativePath(repository + "/" + kind + "/" + fs::path(asset).parent_path().string()));
    const TRun single = RunTool({"export", NativePath(work.Scenes + "/" + scene), "--repository", repository, "--asset",
                                 asset, "--category", "Things", "--init"});
    ASSERT_EQ(single.Status, 0) << single.Err;
    for (const std::string& file : Lines(single.Out)) {
      const std::string relative = fs::path(file).lexically_relative(repository).generic_string();
      EXPECT_EQ(work.Read(relative), TTempDir::Read(file)) << relative;
    }
  }
  EXPECT_EQ(TemporaryFiles(work.Repository), std::vector<std::string>{});
}

TEST(BatchList, EachLineIsASceneAnAssetNameAndOptionallyACategory) {
  TBatchWork work;
  work.PutCrate("crate.xml");
  work.Put("tile.xml", TileScene(""));
  const std::string list = NativePath(work.Dir.File("lists/assets.tsv"));
  fs::create_directories(work.Dir.File("lists"));
  // A byte-order mark, CR LF ends, comments, blank lines, a scene relative to
  // the list and one absolute, and no end on the last line.
  TTempDir::Write(list, "\xEF\xBB\xBF# scene\tname\tcategory\r\n"
                        "../scenes/tile.xml\tFloors\\Red Tile\tFloors\r\n"
                        "\r\n"
                        "  \t \n"
                        "#../scenes/tile.xml\tCommented\n" +
                            NativePath(work.Scenes + "/crate.xml") + "\tCrate\t\n"
                            "../scenes/tile.xml\tTile");
  const TRun run = work.Batch({"--init", "--category", "Props"}, list);
  ASSERT_EQ(run.Status, 0) << run.Err;
  const json report = work.Report();
  ASSERT_EQ(report.at("assets").size(), 3u);
  // Sorted by name, "\" taken as "/".
  EXPECT_EQ(work.Names(), (std::vector<std::string>{"Crate", "Floors\\Red Tile", "Tile"}));
  EXPECT_EQ(report.at("assets")[1].at("scene"), NativePath(work.Dir.File("lists") + "/") + "../scenes/tile.xml");
  EXPECT_EQ(report.at("assets")[1].at("category"), "Floors");
  // The line without a category (or with an empty one) takes --category.
  EXPECT_EQ(report.at("assets")[0].at("category"), "Props");
  EXPECT_NE(work.Read("AssetDefinitions/Floors/Red Tile_Mesh.asset").find("<Category>Floors</Category>"),
            std::string::npos);
  EXPECT_NE(work.Read("AssetDefinitions/Crate_Mesh.asset").find("<Category>Props</Category>"), std::string::npos);
  EXPECT_TRUE(work.Has("Meshes/Tile.mesh"));
}

// A list is the user's to mend: every bad line is named before anything is
// exported, and nothing is.
TEST(BatchList, BadLinesAreEachNamedWithTheirNumberAndNothingIsExported) {
  TBatchWork work;
  work.Put("tile.xml", TileScene(""));
  const std::string list = work.Dir.File("assets.tsv");
  TTempDir::Write(list, "scenes/tile.xml\tProps/Tile\n"            // 1: fine
                        "scenes/missing.xml\tMissing\n"           // 2: no such scene
                        "scenes/tile.xml\tprops/TILE\tOther\n"    // 3: line 1's asset in other letter case
                        "scenes/tile.xml\tBad|Name\n"             // 4: a name the export refuses
                        "scenes/tile.xml\n"                       // 5: one field
                        "scenes/tile.xml\tA\tB\tC\n"              // 6: four fields
                        "scenes\tFolder\n"                        // 7: a folder
                        "\tNoScene\n"                             // 8: no scene
                        "scenes/tile.xml\tFine\tBad\x01" "Category\n"  // 9: a category XML cannot hold
                        "scenes/tile.xml\tFine\n");                // 10: fine
  const TRun run = work.Batch({"--init"}, list);
  EXPECT_EQ(run.Status, 2);
  const std::string at = list + ":";
  const std::vector<std::string> lines = Lines(run.Err);
  ASSERT_EQ(lines.size(), 8u) << run.Err;
  EXPECT_EQ(lines[0], "error: " + at + "2: The scene " + NativePath(work.Dir.Path().string() + "/") +
                          "scenes/missing.xml does not exist.");
  EXPECT_EQ(lines[1], "error: " + at + "3: The asset \"props/TILE\" is on line 1 already (names that differ only in "
                      "letter case are one asset).");
  EXPECT_EQ(lines[2].rfind("error: " + at + "4: The asset name \"Bad|Name\" ", 0), 0u) << lines[2];
  EXPECT_EQ(lines[3], "error: " + at + "5: A line holds a scene, an asset name and optionally a category, separated "
                      "by tabs; this one has 1 field.");
  EXPECT_EQ(lines[4].rfind("error: " + at + "6: A line holds ", 0), 0u);
  EXPECT_NE(lines[4].find("this one has 4 fields."), std::string::npos);
  EXPECT_EQ(lines[5], "error: " + at + "7: The scene " + NativePath(work.Dir.Path().string() + "/") +
                          "scenes is a folder.");
  EXPECT_EQ(lines[6].rfind("error: " + at + "8: The line names no scene.", 0), 0u) << lines[6];
  EXPECT_EQ(lines[7].rfind("error: " + at + "9: ", 0), 0u);
  EXPECT_NE(lines[7].find("ategory"), std::string::npos) << lines[7];
  EXPECT_FALSE(fs::exists(work.Repository)) << "nothing exported, not even --init's folders";
  EXPECT_FALSE(fs::exists(work.ReportFile));
  // Nor the cache's folder.
  EXPECT_EQ(work.Batch({"--init", "--cache", work.Dir.File("cache")}, list).Status, 2);
  EXPECT_FALSE(fs::exists(work.Dir.File("cache")));
}

TEST(BatchSource, OneThatIsMissingOrNeitherAFolderNorAListIsRefused) {
  TBatchWork work;
  fs::create_directories(work.Repository + "/Meshes");
  fs::create_directories(work.Repository + "/AssetDefinitions");
  TRun run = work.Batch({}, work.Dir.File("missing"));
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "error: The batch source " + work.Dir.File("missing") + " does not exist.\n");
  const std::string text = work.Put("list.txt", "tile.xml\tTile\n");
  run = work.Batch({}, text);
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "error: The batch source " + text + " is neither a folder nor a list file (.tsv).\n");
  // An empty folder is a batch of nothing.
  run = work.Batch({}, work.Dir.File("scenes"));
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(work.Report().at("totals").at("assets"), 0);
}

// --- Failures -----------------------------------------------------------------

TEST(BatchFailures, ABrokenSceneFailsAloneLeavingItsAssetAsItWasAndTheOthersAreExported) {
  TBatchWork work;
  for (const char* name : {"A", "B", "C"}) work.Put(std::string(name) + ".xml", TileScene("", 100));
  ASSERT_EQ(work.Batch({"--init", "-j", "3"}).Status, 0);
  const std::string oldA = work.Read("Meshes/A.mesh");
  const auto oldB = Contents(work.Repository);

  // B breaks in the middle of the batch's order; A and C change.
  work.Put("A.xml", TileScene("", 50));
  work.Put("B.xml", "<scene><primitives>");
  work.Put("C.xml", TileScene("", 70));
  const TRun run = work.Batch({"-j", "3"});
  EXPECT_EQ(run.Status, 1);
  // The error names the asset, with the message `export` gives for the scene.
  const TRun alone = RunTool({"export", NativePath(work.Scenes + "/B.xml"), "--repository", work.Dir.File("Other"),
                              "--asset", "B", "--init"});
  ASSERT_EQ(alone.Status, 1);
  const std::string message = alone.LastErrorLine().substr(std::string("error: ").size());
  EXPECT_EQ(CountLines(run.Err, "error: B: " + message), 1u) << run.Err;
  EXPECT_NE(run.Err.find("batch: 3 assets: 2 exported, 0 skipped, 1 failed, 0 warnings, "), std::string::npos);
  EXPECT_NE(work.Read("Meshes/A.mesh"), oldA);
  for (const char* file : {"Meshes/B.mesh", "Materials/B.material", "AssetDefinitions/B_Mesh.asset",
                           "AssetDefinitions/B_Material.asset"})
    EXPECT_EQ(work.Read(file), oldB.at(file)) << file;
  EXPECT_EQ(work.Statuses(), (std::map<std::string, std::string>{{"A", "exported"}, {"B", "failed"}, {"C", "exported"}}));
  EXPECT_EQ(work.Report().at("assets")[1].at("error"), message);
  EXPECT_EQ(TemporaryFiles(work.Repository), std::vector<std::string>{});
}

#ifndef _WIN32
// A folder's file names are what they are: one the export refuses, or one
// that only letter case tells from another, fails its asset alone. (Windows
// cannot hold such files in the first place.)
TEST(BatchFailures, AFoldersNameTheExportRefusesFailsItsAssetAlone) {
  TBatchWork work;
  work.Put("Bad|Name.xml", TileScene(""));
  work.Put("Good.xml", TileScene(""));
  work.Put("Props/Tile.xml", TileScene(""));
  work.Put("props/tile.xml", TileScene("", 30));
  work.Put("Trailing./Tile.xml", TileScene(""));
  const TRun run = work.Batch({"--init", "-j", "2"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(work.Statuses(), (std::map<std::string, std::string>{{"Bad|Name", "failed"},
                                                                 {"Good", "exported"},
                                                                 {"Props/Tile", "exported"},
                                                                 {"Trailing./Tile", "failed"},
                                                                 {"props/tile", "failed"}}));
  EXPECT_EQ(CountLines(run.Err, "error: Bad|Name: The asset name \"Bad|Name\" "), 1u) << run.Err;
  EXPECT_EQ(CountLines(run.Err, "error: props/tile: The asset \"props/tile\" differs only in letter case from the "
                                "asset \"Props/Tile\" of this batch; Windows takes them for one asset."),
            1u)
      << run.Err;
  EXPECT_TRUE(work.Has("Meshes/Good.mesh"));
  EXPECT_FALSE(work.Has("Meshes/props"));
}
#endif

// The batch names its assets, so --init makes the folders their names need;
// without it an asset whose folders are missing fails alone with the hint.
TEST(BatchFolders, InitMakesTheFoldersOfTheNamesAndWithoutItTheirAssetsFail) {
  TBatchWork work;
  work.Put("Top.xml", TileScene(""));
  ASSERT_EQ(work.Batch({"--init"}).Status, 0);
  work.PutCrate("Deep/Er/Crate.xml");
  TRun run = work.Batch({});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(CountLines(run.Err, "error: Deep/Er/Crate: The repository has no folder " +
                                    NativePath(work.Repository + "/Meshes/Deep/Er") +
                                    " (use --init to create the folders the batch's asset names need)."),
            1u)
      << run.Err;
  EXPECT_EQ(work.Statuses().at("Top"), "exported");
  run = work.Batch({"--init"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  for (const char* file : {"Meshes/Deep/Er/Crate.mesh", "Physics/Deep/Er/Crate.physics",
                           "AssetDefinitions/Deep/Er/Crate_Mesh.asset", "Materials/Deep/Er/Crate.material"})
    EXPECT_TRUE(work.Has(file)) << file;
  // A repository without its own folders is refused as a whole without --init.
  TBatchWork fresh;
  fresh.Put("Top.xml", TileScene(""));
  run = fresh.Batch({});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.Err, "error: The repository has no folder " + NativePath(fresh.Repository + "/Meshes") +
                         " (use --init to create the repository's folders).\n" + kBatchUsage + "\n");
  EXPECT_FALSE(fs::exists(fresh.Repository));
}

TEST(BatchStrict, TheFirstWarningFailsItsAssetAloneAndWritesNothingOfIt) {
  TBatchWork work;
  work.Put("Fine.xml", TileScene(""));
  work.Put("Missing.xml", TileScene("nowhere.png"));
  TRun run = work.Batch({"--init"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(CountLines(run.Err, "warning: Missing: Texture file \"" + NativePath(work.Scenes + "/") + "nowhere.png\" not found."), 1u)
      << run.Err;
  EXPECT_NE(run.Err.find(": 2 exported, 0 skipped, 0 failed, 1 warning, "), std::string::npos) << run.Err;
  const auto before = Contents(work.Repository);
  work.Put("Missing.xml", TileScene("nowhere.png", 20));
  run = work.Batch({"--strict"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(CountLines(run.Err, "error: Missing: Texture file \"" + NativePath(work.Scenes + "/") + "nowhere.png\" not found."), 1u)
      << run.Err;
  EXPECT_EQ(Contents(work.Repository), before);
  EXPECT_EQ(work.Statuses().at("Fine"), "exported");
}

// --- Threads and shared textures ---------------------------------------------

// Textures/ is shared: assets placing one texture name write one whole file,
// and two assets of the batch bringing different bytes under it give one
// warning, however the threads meet: a and b, first in the batch's order,
// start together and write their textures at the same time.
TEST(BatchParallel, AssetsSharingATextureNameWriteOneWholeFileAndOneWarning) {
  const std::string one = RandomBytes(1 << 19, 1), other = RandomBytes(1 << 19, 2), plain = RandomBytes(4096, 3);
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    TBatchWork work;
    work.Put("a/1.xml", TileScene("shared.png", 10));
    work.Put("a/shared.png", one);
    work.Put("b/1.xml", TileScene("shared.png", 20));
    work.Put("b/shared.png", other);
    // Then assets sharing plain.png with the same bytes from two folders,
    // and one more of a's bytes of shared.png.
    for (int i = 1; i <= 4; ++i) work.Put("c/" + std::to_string(i) + ".xml", TileScene("plain.png", 30 + i));
    work.Put("c/plain.png", plain);
    work.Put("d/1.xml", TileScene("plain.png", 40));
    work.Put("d/plain.png", plain);
    work.Put("e/1.xml", TileScene("shared.png", 50));
    work.Put("e/shared.png", one);

    const TRun run = work.Batch({"--init", "-j", "2"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(CountLines(run.Err, "warning: "), 1u) << run.Err;
    // Whichever claimed the name second is warned, naming the first.
    EXPECT_TRUE(run.Err.rfind("warning: b/1: Texture shared.png replaces a different file of that name used by a/1.\n",
                              0) == 0 ||
                run.Err.rfind("warning: a/1: Texture shared.png replaces a different file of that name used by b/1.\n",
                              0) == 0)
        << run.Err;
    EXPECT_NE(run.Err.find(": 8 exported, 0 skipped, 0 failed, 1 warning, "), std::string::npos) << run.Err;
    const std::string placed = work.Read("Textures/shared.png");
    EXPECT_TRUE(placed == one || placed == other) << "a torn or mixed file of " << placed.size() << " bytes";
    EXPECT_EQ(work.Read("Textures/plain.png"), plain);
    EXPECT_EQ(TemporaryFiles(work.Repository), std::vector<std::string>{});
  }
}

// --- Shards -------------------------------------------------------------------

TEST(BatchShards, ParseTheShardAndTakeEveryNthPositionFromTheIth) {
  EXPECT_EQ(ParseShard("1/1").Index, 1u);
  EXPECT_EQ(ParseShard("3/4").Index, 3u);
  EXPECT_EQ(ParseShard("3/4").Count, 4u);
  for (const char* wrong : {"0/3", "4/3", "1/0", "x/2", "3", "1/2/3", "-1/2", "1/", "/2", " 1/2", "1/2 ", "+1/2"}) {
    SCOPED_TRACE(wrong);
    EXPECT_THROW(ParseShard(wrong), TUsageError);
  }
  EXPECT_EQ(ShardPositions(7, {1, 3}), (std::vector<std::size_t>{0, 3, 6}));
  EXPECT_EQ(ShardPositions(7, {3, 3}), (std::vector<std::size_t>{2, 5}));
  EXPECT_EQ(ShardPositions(2, {3, 3}), std::vector<std::size_t>{});
  EXPECT_EQ(ShardPositions(0, {1, 1}), std::vector<std::size_t>{});
}

TEST(BatchShards, TheShardsOfABatchTogetherExportEveryAssetExactlyOnce) {
  TBatchWork work;
  // Upper case before lower, folders among files; no two alike but for
  // letter case, which Windows could not hold apart.
  const std::vector<std::string> names = {"m", "B/z", "a", "C", "d/y", "k", "Z"};
  for (std::size_t i = 0; i < names.size(); ++i) work.Put(names[i] + ".xml", TileScene("", 10 + static_cast<int>(i)));
  // The order every machine agrees on: the names' bytes.
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  for (const std::size_t count : {1u, 2u, 3u, 7u, 10u}) {
    SCOPED_TRACE(count);
    fs::remove_all(work.Repository);
    std::multiset<std::string> exported;
    for (std::size_t index = 1; index <= count; ++index) {
      const std::string shard = std::to_string(index) + "/" + std::to_string(count);
      const TRun run = work.Batch({"--init", "--shard", shard});
      ASSERT_EQ(run.Status, 0) << run.Err;
      std::vector<std::string> expected;
      for (std::size_t i = index - 1; i < sorted.size(); i += count) expected.push_back(sorted[i]);
      EXPECT_EQ(work.Names("exported"), expected) << shard;
      EXPECT_EQ(work.Report().at("shard"), shard);
      EXPECT_NE(run.Err.find("batch: " + std::to_string(expected.size()) + " assets (shard " + shard + " of 7): "),
                std::string::npos)
          << run.Err;
      for (const std::string& name : work.Names("exported")) exported.insert(name);
    }
    EXPECT_EQ(exported, std::multiset<std::string>(names.begin(), names.end()));
    for (const std::string& name : names) EXPECT_TRUE(work.Has("Meshes/" + name + ".mesh")) << name;
  }
  const TRun wrong = work.Batch({"--init", "--shard", "0/2"});
  EXPECT_EQ(wrong.Status, 2);
  EXPECT_EQ(wrong.LastErrorLine(), "error: Please specify the shard as I/N, I from 1 to N (1/4 is the first of four).");
}

// --- The cache ----------------------------------------------------------------

TEST(BatchCache, ChangedOnlySkipsWhatIsUnchangedAndRedoesWhatChangedInTheSourcesOrTheRepository) {
  TBatchWork work;
  const std::string cache = work.Dir.File("cache");
  for (const char* name : {"A", "B", "C", "D", "F"}) {
    work.Put(std::string(name) + ".xml", TileScene(std::string(name) + ".png"));
    work.Put(std::string(name) + ".png", std::string("texture ") + name);
  }
  // E's texture is missing: its export warns, and what it warned of may be
  // mended without any file of the record changing.
  work.Put("E.xml", TileScene("E.png"));
  ASSERT_EQ(work.Batch({"--init", "--cache", cache}).Status, 0);
  const std::map<std::string, std::string> all = {{"A", "exported"}, {"B", "exported"}, {"C", "exported"},
                                                  {"D", "exported"}, {"E", "exported"}, {"F", "exported"}};
  EXPECT_EQ(work.Statuses(), all);
  const std::string meshOfA = work.Read("Meshes/A.mesh");

  TRun run = work.Batch({"--changed-only", "--cache", cache});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(work.Statuses(), (std::map<std::string, std::string>{{"A", "skipped"}, {"B", "skipped"}, {"C", "skipped"},
                                                                 {"D", "skipped"}, {"E", "exported"}, {"F", "skipped"}}));
  EXPECT_NE(run.Err.find("batch: 6 assets: 1 exported, 5 skipped, 0 failed, 1 warning, "), std::string::npos) << run.Err;
  const json report = work.Report();
  for (const json& asset : report.at("assets"))
    if (asset.at("status") == "skipped") {
      EXPECT_EQ(asset.at("files"), json::array());
      EXPECT_EQ(asset.at("polygons"), nullptr);
    }

  // A user edits a written file of A and deletes B's texture in the
  // repository; C's scene and D's texture source change; F's scene is saved
  // again with the same bytes (only its time changes).
  TTempDir::Write(NativePath(work.Repository + "/Meshes/A.mesh"), meshOfA + "edited");
  fs::remove(NativePath(work.Repository + "/Textures/B.png"));
  work.Put("C.xml", TileScene("C.png", 60));
  work.Put("D.png", "texture D, painted over");
  const std::string sceneOfF = work.Put("F.xml", TileScene("F.png"));
  fs::last_write_time(sceneOfF, fs::last_write_time(sceneOfF) + std::chrono::hours(1));
  run = work.Batch({"--changed-only", "--cache", cache});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(work.Statuses(), (std::map<std::string, std::string>{{"A", "exported"}, {"B", "exported"}, {"C", "exported"},
                                                                 {"D", "exported"}, {"E", "exported"}, {"F", "skipped"}}));
  EXPECT_EQ(work.Read("Meshes/A.mesh"), meshOfA);
  EXPECT_EQ(work.Read("Textures/B.png"), "texture B");
  EXPECT_EQ(work.Read("Textures/D.png"), "texture D, painted over");

  // Other options are another export: everything again, then nothing.
  run = work.Batch({"--changed-only", "--cache", cache, "--scale", "20"});
  EXPECT_EQ(work.Statuses(), all);
  run = work.Batch({"--changed-only", "--cache", cache, "--scale", "20.0"});
  EXPECT_EQ(work.Names("exported"), std::vector<std::string>{"E"}) << "20 and 20.0 are one scale";
  run = work.Batch({"--changed-only", "--cache", cache, "--scale", "20", "--category", "Other"});
  EXPECT_EQ(work.Statuses(), all);
  run = work.Batch({"--changed-only", "--cache", cache, "--scale", "20", "--category", "Other", "--lod", "2"});
  EXPECT_EQ(work.Statuses(), all) << "levels of detail change the mesh";
  run = work.Batch({"--changed-only", "--cache", cache, "--scale", "20", "--category", "Other", "--lod", "2"});
  EXPECT_EQ(work.Names("exported"), std::vector<std::string>{"E"});

  // A record of another tool, or one that is no record, is not trusted.
  std::size_t records = 0;
  for (const auto& entry : fs::directory_iterator(cache)) {
    json record = json::parse(TTempDir::Read(entry.path().string()));
    record["tool"] = "veldara-export 0.9 " + std::string(64, '0');
    TTempDir::Write(entry.path().string(), records++ % 2 ? record.dump() : "{ not json");
  }
  EXPECT_EQ(records, 6u) << "one record an asset";
  run = work.Batch({"--changed-only", "--cache", cache, "--scale", "20", "--category", "Other", "--lod", "2"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(work.Statuses(), all);
  EXPECT_EQ(TemporaryFiles(cache), std::vector<std::string>{});
}

TEST(BatchCache, TheCacheIsRefusedInsideTheRepositoryAndChangedOnlyNeedsOne) {
  TBatchWork work;
  work.Put("A.xml", TileScene(""));
  for (const std::string& inside : {work.Repository, work.Repository + "/cache", work.Repository + "/../Repo/x"}) {
    SCOPED_TRACE(inside);
    const TRun run = work.Batch({"--init", "--cache", inside});
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Err, "error: The cache " + inside + " lies inside the repository " + work.Repository +
                           "; give it a folder outside.\n" + kBatchUsage + "\n");
  }
#ifndef _WIN32
  // Through a link, too.
  fs::create_directories(work.Repository + "/Meshes");
  fs::create_directory_symlink(work.Repository + "/Meshes", work.Dir.File("link"));
  EXPECT_EQ(work.Batch({"--init", "--cache", work.Dir.File("link")}).Status, 2);
  fs::remove_all(work.Repository);
#endif
  EXPECT_FALSE(fs::exists(work.Repository));
  const TRun run = work.Batch({"--init", "--changed-only"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.LastErrorLine(), "error: --changed-only needs --cache DIR, where the batch finds what it exported before.");
  // Beside the repository is fine.
  EXPECT_EQ(work.Batch({"--init", "--cache", work.Dir.File("Repo-cache")}).Status, 0);
}

// --- The report and the command line -------------------------------------------

TEST(BatchReport, HoldsEveryAssetsOutcomeAndTheTotalsAndIsWrittenWholeWhenAssetsFail) {
  TBatchWork work;
  work.PutCrate("Crate.xml");
  work.Put("Broken.xml", "<scene><primitives>");
  work.Put("Warned.xml", TileScene("gone.png"));
  fs::create_directories(work.Dir.File("out"));
  work.ReportFile = work.Dir.File("out/report.json");
  TTempDir::Write(work.ReportFile, "the earlier report");
  const TRun run = work.Batch({"--init", "--category", "Props", "-j", "2"});
  EXPECT_EQ(run.Status, 1);
  const json report = work.Report();
  EXPECT_EQ(report.at("source"), work.Scenes);
  EXPECT_EQ(report.at("repository"), work.Repository);
  EXPECT_EQ(report.at("shard"), nullptr);
  const json& assets = report.at("assets");
  ASSERT_EQ(assets.size(), 3u);

  const json& broken = assets[0];
  EXPECT_EQ(broken.at("name"), "Broken");
  EXPECT_EQ(broken.at("scene"), NativePath(work.Scenes + "/Broken.xml"));
  EXPECT_EQ(broken.at("status"), "failed");
  EXPECT_TRUE(broken.at("error").is_string() && !broken.at("error").get<std::string>().empty());
  EXPECT_EQ(broken.at("files"), json::array());
  EXPECT_EQ(broken.at("polygons"), nullptr);

  const json& crate = assets[1];
  EXPECT_EQ(crate.at("name"), "Crate");
  EXPECT_EQ(crate.at("category"), "Props");
  EXPECT_EQ(crate.at("status"), "exported");
  EXPECT_EQ(crate.at("error"), nullptr);
  EXPECT_EQ(crate.at("warnings"), json::array());
  // What `inspect` counts for the sample: 38 polygons, the collision volumes' included.
  EXPECT_EQ(crate.at("polygons"), 38);
  const std::string r = NativePath(fs::absolute(work.Repository).lexically_normal().string() + "/");
  EXPECT_EQ(crate.at("files"), json(NativePaths({r + "Meshes/Crate.mesh", r + "Materials/Crate.material",
                                                 r + "Textures/crate_wood.png", r + "Textures/lm_crate.png",
                                                 r + "Physics/Crate.physics", r + "AssetDefinitions/Crate_Mesh.asset",
                                                 r + "AssetDefinitions/Crate_Material.asset"})));
  EXPECT_GE(crate.at("seconds").get<double>(), 0.0);

  const json& warned = assets[2];
  EXPECT_EQ(warned.at("status"), "exported");
  EXPECT_EQ(warned.at("warnings"),
            json::array({"Texture file \"" + NativePath(work.Scenes + "/") + "gone.png\" not found."}));
  EXPECT_EQ(warned.at("polygons"), 1);

  const json& totals = report.at("totals");
  EXPECT_EQ(totals.at("assets"), 3);
  EXPECT_EQ(totals.at("exported"), 2);
  EXPECT_EQ(totals.at("skipped"), 0);
  EXPECT_EQ(totals.at("failed"), 1);
  EXPECT_EQ(totals.at("warnings"), 1);
  EXPECT_EQ(totals.at("polygons"), 39);
  EXPECT_GE(totals.at("seconds").get<double>(), crate.at("seconds").get<double>());
  // Renamed into place: nothing else is left in its folder.
  EXPECT_EQ(TTempDir::Tree(work.Dir.File("out")), std::vector<std::string>{"report.json"});
}

TEST(BatchCommandLine, UsageErrorsAreRefusedBeforeAnythingIsExported) {
  TBatchWork work;
  work.Put("A.xml", TileScene(""));
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-j", "0"}, "error: --jobs: Value 0 not in range 1 to 1024"},
      {{"--scale", "0"}, "error: Please specify a (valid) scale."},
      {{"--mesh-version", "2"}, "error: Please specify a mesh version: 1.30, 1.8, 1.10 or 1.100."},
      {{"--texture-dir", work.Dir.File("none")}, "error: The texture folder " + work.Dir.File("none") + " does not exist."},
      {{"--report", work.Dir.File("none/report.json")},
       "error: The report " + work.Dir.File("none/report.json") +
           " cannot be written: its folder does not exist or it is a folder."},
  };
  for (const auto& [options, message] : cases) {
    SCOPED_TRACE(message);
    std::vector<std::string> args = {"batch", work.Scenes, "--repository", work.Repository, "--init"};
    args.insert(args.end(), options.begin(), options.end());
    const TRun run = RunTool(args);
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Err, message + "\n" + kBatchUsage + "\n");
    EXPECT_FALSE(fs::exists(work.Repository));
  }
  const TRun run = RunTool({"batch", work.Scenes});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.LastErrorLine(), "error: --repository is required");
  // The help names how shards count.
  const TRun help = RunTool({"help", "batch"});
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Out.find("I counted from 1"), std::string::npos);
}

TEST(BatchCommandLine, DurationsShowMinutesAndSecondsAndHoursOnlyWhenThereAreAny) {
  EXPECT_EQ(FormatDuration(0), "0:00");
  EXPECT_EQ(FormatDuration(-3), "0:00");
  EXPECT_EQ(FormatDuration(42.4), "0:42");
  EXPECT_EQ(FormatDuration(59.5), "1:00");
  EXPECT_EQ(FormatDuration(723), "12:03");
  EXPECT_EQ(FormatDuration(3599.4), "59:59");
  EXPECT_EQ(FormatDuration(3723), "1:02:03");
  EXPECT_EQ(FormatDuration(100 * 3600), "100:00:00");
}
