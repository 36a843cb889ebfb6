// Our files rendered by OGRE's OpenGL render system, the way a game shows
// them, and looked at pixel by pixel:
//
// - a closed shape seen from outside loses nothing to back-face culling: the
//   samples and generated closed shapes, wound as the editor winds them, give
//   the same picture with back faces culled as with back faces drawn, and an
//   inside-out shape does not;
// - a flat colour layer appears in the picture with its colour;
// - OGRE logs no error (nor warning) about our files;
// - the preview command writes its PNG, reports OGRE's problems as warnings
//   and ends its private Xvfb whatever happens;
// - hostile files (not regular, behind links, with boxes OGRE cannot take,
//   with more layers than OpenGL draws) end in a message, never a signal.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <functional>
#include <limits>
#include <filesystem>
#include <map>
#include <ostream>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "../support/RunTool.h"
#include "../support/TempDir.h"
#include "PreviewTestSupport.h"
#include "base/uException.h"
#include "platform/uFileSystem.h"

extern char** environ;

namespace {

const std::string kExamples = VELDARA_EXAMPLES_DIR;

// ---- Assets exported with the tool ----

// Exports the scene document into a fresh repository in `dir` as the asset
// `name`, with veldara-export's own `export` command, and names its files.
TPreviewAsset ExportAsset(const TTempDir& dir, const std::string& sceneFile, const std::string& name) {
  const std::string repository = dir.File("Repository");
  const TRun run = RunTool({"export", sceneFile, "--repository", repository, "--asset", name, "--init"});
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "") << "the export warns";
  return {repository + "/Meshes/" + name + ".mesh", {repository + "/Materials/" + name + ".material"},
          {repository + "/Textures"}, repository + "/"};
}

TPreviewAsset ExportDocument(const TTempDir& dir, const std::string& document, const std::string& name) {
  const std::string scene = dir.File(name + ".xml");
  TTempDir::Write(scene, document);
  return ExportAsset(dir, scene, name);
}

TPreviewResult Render(const TPreviewAsset& asset, const TPreviewOptions& options) {
  TPreviewResult result;
  try {
    SharedRenderer()->Render(asset, options, result);
  } catch (const TException& e) {
    ADD_FAILURE() << e.Message();
  }
  return result;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\n  " + line;
  return text;
}

// Renders with back faces culled (as the materials say) and drawn, and
// compares; OGRE must have had nothing to say about the files.
TCullingComparison CompareCullingOf(const TPreviewAsset& asset) {
  const TPreviewOptions culled = ComparisonOptions(TPreviewCulling::pcAsMaterials);
  const TPreviewResult a = Render(asset, culled);
  const TPreviewResult b = Render(asset, ComparisonOptions(TPreviewCulling::pcNone));
  EXPECT_TRUE(a.Errors.empty()) << "OGRE's errors:" << Lines(a.Errors);
  EXPECT_TRUE(a.Warnings.empty()) << "OGRE's warnings:" << Lines(a.Warnings);
  return CompareCulling(a.Image, b.Image, culled.Background);
}

// ---- The samples ----

class SampleRender : public testing::TestWithParam<const char*> {};

TEST_P(SampleRender, LosesNothingToBackFaceCullingAndOgreLogsNoError) {
  REQUIRE_RENDERER();
  TTempDir dir;
  const TPreviewAsset asset = ExportAsset(dir, kExamples + "/" + GetParam() + ".xml", "Sample");
  const TCullingComparison comparison = CompareCullingOf(asset);
  EXPECT_TRUE(comparison.Same()) << comparison.Describe();
  // The asset shows: a few percent of the picture at least.
  EXPECT_GT(comparison.Covered, 480 * 360 / 25) << comparison.Describe();
}

INSTANTIATE_TEST_SUITE_P(Examples, SampleRender, testing::Values("tile", "crate", "courtyard"));

// The document with the corners of every polygon listed the other way round.
std::string InsideOutDocument(const std::string& document) {
  const std::regex polygon(R"((<poly\b[^>]*>)([\s\S]*?)</poly>)"), corner(R"(<vertex\b[^>]*/>)");
  std::string result;
  auto from = document.cbegin();
  for (std::sregex_iterator it(document.begin(), document.end(), polygon), end; it != end; ++it) {
    result.append(from, (*it)[0].first);
    const std::string corners = (*it)[2].str();
    std::vector<std::string> listed;
    for (std::sregex_iterator c(corners.begin(), corners.end(), corner), none; c != none; ++c) listed.push_back(c->str());
    result += (*it)[1].str();
    for (auto c = listed.rbegin(); c != listed.rend(); ++c) result += *c;
    result += "</poly>";
    from = (*it)[0].second;
  }
  result.append(from, document.cend());
  return result;
}

TEST(SampleInsideOut, TheCrateFailsTheComparison) {
  // The crate as it was before its polygons were wound as the editor winds
  // them: OGRE culled its near faces and showed its inside.
  REQUIRE_RENDERER();
  TTempDir dir;
  const std::string scene = dir.File("crate.xml");
  TTempDir::Write(scene, InsideOutDocument(TTempDir::Read(kExamples + "/crate.xml")));
  for (const char* texture : {"crate wood.png", "lm_crate.png"})
    std::filesystem::copy_file(kExamples + "/" + texture, dir.File(texture));
  const TCullingComparison comparison = CompareCullingOf(ExportAsset(dir, scene, "Crate"));
  EXPECT_FALSE(comparison.Same()) << comparison.Describe();
  EXPECT_GT(comparison.OtherSurface, comparison.Covered / 2) << comparison.Describe();
}

// ---- Generated closed shapes ----

struct TShapeCase {
  const char* Name;
  TShape (*Make)();
};

// Its name in the test's name and messages.
void PrintTo(const TShapeCase& shape, std::ostream* out) { *out << shape.Name; }

const TShapeCase kShapes[] = {
    {"Cube", [] { return Cube(60); }},
    {"Prism", [] { return Prism(60); }},
    {"Cylinder", [] { return Cylinder(30, 70, 24); }},
    {"Sphere", [] { return Sphere(40, 16, 10); }},
};

class ShapeRender : public testing::TestWithParam<TShapeCase> {};

TEST_P(ShapeRender, WoundClockwiseLosesNothingToBackFaceCulling) {
  REQUIRE_RENDERER();
  TTempDir dir;
  const TPreviewAsset asset = ExportDocument(dir, ShapeDocument(GetParam().Make(), "Paint", {90, 140, 210}), "Shape");
  const TCullingComparison comparison = CompareCullingOf(asset);
  EXPECT_TRUE(comparison.Same()) << comparison.Describe();
  EXPECT_GT(comparison.Covered, 480 * 360 / 25) << comparison.Describe();
}

TEST_P(ShapeRender, InsideOutFailsTheComparison) {
  REQUIRE_RENDERER();
  TTempDir dir;
  const TPreviewAsset asset =
      ExportDocument(dir, ShapeDocument(InsideOut(GetParam().Make()), "Paint", {90, 140, 210}), "Shape");
  const TCullingComparison comparison = CompareCullingOf(asset);
  // Culling takes the near faces away and shows the far ones: for a closed
  // shape they cover the same outline, but at another depth, which the
  // depth tint shows on most of it.
  EXPECT_FALSE(comparison.Same()) << comparison.Describe();
  // The outline alone cannot tell: every line of sight through a closed
  // shape's outline meets a back face too.
  EXPECT_EQ(comparison.LostToCulling + comparison.GainedByCulling, 0) << comparison.Describe();
  EXPECT_GT(comparison.OtherSurface + comparison.LostToCulling, comparison.Covered / 2) << comparison.Describe();
}

INSTANTIATE_TEST_SUITE_P(Shapes, ShapeRender, testing::ValuesIn(kShapes),
                         [](const testing::TestParamInfo<TShapeCase>& shape) { return std::string(shape.param.Name); });

// ---- A flat colour ----

// A colour layer is written as "colour_op_ex source1 src_manual src_current
// R G B": the unit's output is the manual colour, whatever the lighting. Under
// white ambient light alone even a lit colour would come out unchanged, so
// the test holds for either way of writing it. What remains is the rounding
// of R/255 to the script's seven decimals and back to eight bits: one step.
void ExpectOnlyColour(const TPreviewImage& image, const TRgb& background, const TRgb& colour) {
  int covered = 0;
  std::map<std::tuple<int, int, int>, int> others;
  for (int y = 0; y < image.Height; ++y)
    for (int x = 0; x < image.Width; ++x) {
      const TRgb pixel = image.At(x, y);
      if (pixel == background) continue;
      ++covered;
      const auto near = [](std::uint8_t a, std::uint8_t b) { return std::abs(int(a) - int(b)) <= 1; };
      if (!near(pixel.R, colour.R) || !near(pixel.G, colour.G) || !near(pixel.B, colour.B))
        ++others[{pixel.R, pixel.G, pixel.B}];
    }
  EXPECT_GT(covered, image.Width * image.Height / 25);
  std::string seen;
  for (const auto& [rgb, count] : others)
    seen += " (" + std::to_string(std::get<0>(rgb)) + "," + std::to_string(std::get<1>(rgb)) + "," +
            std::to_string(std::get<2>(rgb)) + ")x" + std::to_string(count);
  EXPECT_TRUE(others.empty()) << "pixels of another colour:" << seen;
}

TPreviewOptions ColourOptions() {
  TPreviewOptions options;
  options.Width = 320;
  options.Height = 240;
  options.Background = {0, 255, 0};
  options.Separator = options.Background;
  options.Antialiasing = 0;  // no edge pixels mixed with the background
  options.Lighting = TPreviewLighting::plFullAmbient;
  return options;
}

const TRgb kTileColour = {200, 60, 40};  // examples/tile.xml

TEST(ColourRender, TheTileShowsItsColour) {
  REQUIRE_RENDERER();
  TTempDir dir;
  const TPreviewResult result = Render(ExportAsset(dir, kExamples + "/tile.xml", "Tile"), ColourOptions());
  EXPECT_TRUE(result.Warnings.empty()) << Lines(result.Warnings);
  ExpectOnlyColour(result.Image, ColourOptions().Background, kTileColour);
}

TEST(ColourRender, AMaterialNameWithBlanksReachesOgreWhole) {
  REQUIRE_RENDERER();
  TTempDir dir;
  // "Wood Dark" becomes "Shape_Wood Dark" in the script, unquoted: OGRE's own
  // reading would define "Shape_Wood" and leave the mesh's material undefined.
  const TPreviewAsset asset = ExportDocument(dir, ShapeDocument(Cube(60), "Wood Dark", kTileColour), "Shape");
  ASSERT_NE(TTempDir::Read(asset.MaterialScripts[0]).find("material Shape_Wood Dark\r\n"), std::string::npos)
      << TTempDir::Read(asset.MaterialScripts[0]);
  TPreviewResult result = Render(asset, ColourOptions());
  EXPECT_TRUE(result.Warnings.empty()) << Lines(result.Warnings);
  ExpectOnlyColour(result.Image, ColourOptions().Background, kTileColour);

  // The same name quoted already, as the exporter writes it for OGRE 1.12 on request.
  std::string script = TTempDir::Read(asset.MaterialScripts[0]);
  script.replace(script.find("Shape_Wood Dark"), 15, "\"Shape_Wood Dark\"");
  TTempDir::Write(asset.MaterialScripts[0], script);
  result = Render(asset, ColourOptions());
  EXPECT_TRUE(result.Warnings.empty()) << Lines(result.Warnings);
  ExpectOnlyColour(result.Image, ColourOptions().Background, kTileColour);
}

TEST(ColourRender, EveryNameThatOgreWouldReadAsSyntaxReachesItWhole) {
  REQUIRE_RENDERER();
  TTempDir dir;
  // In an asset the name follows the asset's name and "_"; a colon, a brace
  // or a blank at the end would still end the name early for OGRE, or spoil
  // the rest of the script.
  for (const std::string name : {"Stone:Wet", "Brick{old}", "Left}", "Trail "}) {
    SCOPED_TRACE(name);
    const TPreviewAsset asset = ExportDocument(dir, ShapeDocument(Cube(60), name, kTileColour), "Shape");
    const TPreviewResult result = Render(asset, ColourOptions());
    EXPECT_TRUE(result.Warnings.empty()) << Lines(result.Warnings);
    ExpectOnlyColour(result.Image, ColourOptions().Background, kTileColour);
  }
  // `mesh` writes the names bare: a leading "$" (a variable to OGRE), "//"
  // (a comment) or blank as well.
  for (const std::string name : {"$price", "//notes", " Lead"}) {
    SCOPED_TRACE(name);
    const std::string scene = dir.File("Bare.xml"), mesh = dir.File("bare/Bare.mesh");
    TTempDir::Write(scene, ShapeDocument(Cube(60), name, kTileColour));
    const TRun run = RunTool({"mesh", scene, mesh});
    ASSERT_EQ(run.Status, 0) << run.Err;
    ASSERT_NE(TTempDir::Read(dir.File("bare/Bare.material")).find("material " + name + "\r\n"), std::string::npos);
    const TPreviewResult result = Render({mesh, {dir.File("bare/Bare.material")}, {dir.File("bare")}, ""}, ColourOptions());
    EXPECT_TRUE(result.Warnings.empty()) << Lines(result.Warnings);
    ExpectOnlyColour(result.Image, ColourOptions().Background, kTileColour);
  }
}

// Pixels in each cell of a 2x2 grid that are not the background.
std::array<int, 4> CoveredPerCell(const TPreviewImage& image, const TRgb& background) {
  std::array<int, 4> covered{};
  for (int y = 0; y < image.Height; ++y)
    for (int x = 0; x < image.Width; ++x)
      if (image.At(x, y) != background) ++covered[static_cast<std::size_t>((y * 2 / image.Height) * 2 + x * 2 / image.Width)];
  return covered;
}

TEST(GridRender, AFlatTileSeenEdgeOnStillShowsInEveryView) {
  REQUIRE_RENDERER();
  TTempDir dir;
  // The tile lies in the plane y = 0: the front and side views would see a
  // line of no height. They are turned a little, so that every cell shows it.
  TPreviewOptions options = ColourOptions();
  options.Separator = {0, 0, 0};
  const TPreviewResult result = Render(ExportAsset(dir, kExamples + "/tile.xml", "Tile"), options);
  const std::array<int, 4> covered = CoveredPerCell(result.Image, options.Background);
  const int cell = result.Image.Width * result.Image.Height / 4;
  for (std::size_t view = 0; view < 4; ++view) {
    // The separator lines alone cover a cell's edge; the tile covers far more.
    EXPECT_GT(covered[view], cell / 20) << "view " << view;
  }
}

TEST(GridRender, EachViewIsLabelledWithItsNameAndTheBoxInMetres) {
  REQUIRE_RENDERER();
  TTempDir dir;
  const TPreviewAsset asset = ExportAsset(dir, kExamples + "/crate.xml", "Crate");
  TPreviewOptions options = ColourOptions();
  const TPreviewResult plain = Render(asset, options);
  options.Labels = true;
  const TPreviewResult labelled = Render(asset, options);
  // The label's ink, only in the top-left corner of each cell, and nowhere without labels.
  const TRgb ink = {235, 235, 235};
  const int width = labelled.Image.Width, height = labelled.Image.Height;
  std::array<int, 4> inkPerCell{};
  int inkElsewhere = 0, inkWithout = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      if (plain.Image.At(x, y) == ink) ++inkWithout;
      if (labelled.Image.At(x, y) != ink) continue;
      const int cellX = x % (width / 2), cellY = y % (height / 2);
      if (cellY < 24 && cellX < width / 2 - 1) ++inkPerCell[static_cast<std::size_t>((y * 2 / height) * 2 + x * 2 / width)];
      else ++inkElsewhere;
    }
  EXPECT_EQ(inkWithout, 0);
  EXPECT_EQ(inkElsewhere, 0);
  for (std::size_t view = 0; view < 4; ++view) EXPECT_GT(inkPerCell[view], 50) << "view " << view;
  // "Three-quarter" is the longest name: its cell has the most ink.
  EXPECT_GT(inkPerCell[3], inkPerCell[2]);
}

// ---- OGRE's problems ----

bool AnyHolds(const std::vector<std::string>& lines, const std::string& part) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

TEST(OgreProblems, AreHandedBackAndTheRenderGoesOn) {
  REQUIRE_RENDERER();
  TTempDir dir;
  const TPreviewAsset asset = ExportAsset(dir, kExamples + "/crate.xml", "Crate");
  std::string script = TTempDir::Read(asset.MaterialScripts[0]);
  script.replace(script.find("material Crate_Metal"), 20, "material Crate_Metall");  // the mesh's material is gone
  script.replace(script.find("filtering trilinear"), 19, "filtering trilinaer");     // a line OGRE rejects
  TTempDir::Write(asset.MaterialScripts[0], script);
  TTempDir::Write(asset.TextureFolders[0] + "/crate_wood.png", "not a picture");  // a texture OGRE cannot decode

  TPreviewResult result = Render(asset, ColourOptions());
  EXPECT_TRUE(AnyHolds(result.Errors, "trilinaer")) << Lines(result.Warnings);
  EXPECT_TRUE(AnyHolds(result.Warnings, "Can't assign material 'Crate_Metal'")) << Lines(result.Warnings);
  EXPECT_TRUE(AnyHolds(result.Warnings, "crate_wood.png")) << Lines(result.Warnings);
  EXPECT_FALSE(AnyHolds(result.Warnings, "MeshSerializer_v1.30")) << "the format notice is not a problem";
  EXPECT_EQ(result.Image.Width, 320);
}

TEST(OgreProblems, AMeshThatCannotLoadIsAnErrorAndTheNextRenderWorks) {
  REQUIRE_RENDERER();
  TTempDir dir;
  TPreviewAsset asset = ExportAsset(dir, kExamples + "/tile.xml", "Tile");
  const std::string good = TTempDir::Read(asset.MeshFile);
  TTempDir::Write(asset.MeshFile, "not a mesh");
  TPreviewResult result;
  try {
    SharedRenderer()->Render(asset, ColourOptions(), result);
    ADD_FAILURE() << "rendered a mesh that is no mesh";
  } catch (const TException& e) {
    EXPECT_NE(e.Message().find("cannot load the mesh"), std::string::npos) << e.Message();
  }
  TTempDir::Write(asset.MeshFile, good);
  result = Render(asset, ColourOptions());
  ExpectOnlyColour(result.Image, ColourOptions().Background, kTileColour);
}

// ---- The preview command, as its own process ----

struct TProcess {
  int Status = -1;
  std::string Out, Err;
};

// Runs the tool (veldara-export unless `tool` names another program) in
// `folder` without DISPLAY, so that it starts its own Xvfb, and with the
// environment's `settings` ("NAME=VALUE"), through the `launcher` command if
// one is given.
TProcess RunPreviewTool(const TTempDir& folder, std::vector<std::string> arguments,
                        const std::vector<std::string>& settings = {}, const std::vector<std::string>& launcher = {},
                        const std::string& tool = VELDARA_EXPORT_TOOL) {
  std::vector<std::string> command = {"env", "-u", "DISPLAY"};
  command.insert(command.end(), settings.begin(), settings.end());
  command.insert(command.end(), launcher.begin(), launcher.end());
  command.push_back(tool);
  arguments.insert(arguments.begin(), command.begin(), command.end());
  const std::string out = folder.File("tool.out"), err = folder.File("tool.err");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, folder.Path().c_str());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  TProcess process;
  pid_t pid = 0;
  if (posix_spawnp(&pid, "env", &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    process.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  process.Out = TTempDir::Read(out);
  process.Err = TTempDir::Read(err);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return process;
}

// The private Xvfb that --timings names ("process N") has ended.
void ExpectXvfbEnded(const std::string& err) {
  std::smatch match;
  ASSERT_TRUE(std::regex_search(err, match, std::regex(R"(private Xvfb :\d+, process (\d+)\))"))) << err;
  const pid_t server = std::stoi(match[1]);
  EXPECT_EQ(kill(server, 0), -1) << "Xvfb " << server << " still runs";
  EXPECT_EQ(errno, ESRCH);
}

// The width and height in a PNG's header.
std::pair<int, int> PngSize(const std::string& png) {
  if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || png.compare(12, 4, "IHDR") != 0) return {0, 0};
  const auto number = [&](std::size_t at) {
    int value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = value * 256 + static_cast<unsigned char>(png[at + i]);
    return value;
  };
  return {number(16), number(20)};
}

TEST(PreviewCommand, WritesThePngOfARepositoryAssetAndEndsItsXvfb) {
  REQUIRE_RENDERER();
  TTempDir dir;
  // An asset in a folder of the repository: its folders are there already.
  for (const char* folder : {"Meshes", "Physics", "AssetDefinitions"})
    std::filesystem::create_directories(dir.File("Repository/") + folder + "/Props");
  ExportAsset(dir, kExamples + "/crate.xml", "Props/Crate");
  const TProcess run = RunPreviewTool(dir, {"preview", "Repository", "Props/Crate", "--timings"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "Crate.png\n");
  EXPECT_EQ(PngSize(TTempDir::Read(dir.File("Crate.png"))), std::make_pair(800, 600));
  EXPECT_EQ(run.Err.find("warning:"), std::string::npos) << run.Err;
  ExpectXvfbEnded(run.Err);
  EXPECT_FALSE(std::filesystem::exists(dir.File("Ogre.log"))) << "OGRE wrote its log file";
}

TEST(PreviewCommand, RendersAMeshWithItsScriptAndTexturesBeside) {
  REQUIRE_RENDERER();
  TTempDir dir;
  const TRun mesh = RunTool({"mesh", kExamples + "/tile.xml", dir.File("out/Tile.mesh")});
  ASSERT_EQ(mesh.Status, 0) << mesh.Err;
  const TProcess run =
      RunPreviewTool(dir, {"preview", "--mesh", "out/Tile.mesh", "-o", "tile-view.png", "--views", "1", "--size", "200x150"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "tile-view.png\n");
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(PngSize(TTempDir::Read(dir.File("tile-view.png"))), std::make_pair(200, 150));
}

TEST(PreviewCommand, APictureThatCannotBeWrittenIsRefusedBeforeRendering) {
  TTempDir dir;
  ExportAsset(dir, kExamples + "/tile.xml", "Tile");
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"-o", "missing/Tile.png"}, "error: The folder missing for the picture does not exist."},
      {{"-o", "Tile.jpg"}, "error: The picture Tile.jpg must be a PNG file, named NAME.png."},
      {{"-o", ".png"}, "error: The picture .png must be a PNG file, named NAME.png."},
  };
  for (const auto& [extra, message] : cases) {
    std::vector<std::string> arguments = {"preview", "Repository", "Tile", "--timings"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    const TProcess run = RunPreviewTool(dir, arguments);
    EXPECT_EQ(run.Status, 1) << extra[1];
    EXPECT_EQ(run.Err, message + "\n") << "refused before the display or OGRE started";
    EXPECT_EQ(run.Out, "");
  }
  // Any letter case of the extension will do.
  REQUIRE_RENDERER();
  const TProcess run = RunPreviewTool(dir, {"preview", "Repository", "Tile", "-o", "Tile.PNG", "--size", "64x48"});
  EXPECT_EQ(run.Status, 0) << run.Err;
}

TEST(PreviewCommand, RendersTheMeshOfEveryFormatAsTheSamePictureWithoutAWarning) {
  REQUIRE_RENDERER();
  TTempDir dir;
  std::string oldest;
  for (const std::string version : {"1.30", "1.8", "1.100"}) {
    SCOPED_TRACE(version);
    const TRun mesh =
        RunTool({"mesh", kExamples + "/crate.xml", dir.File(version + "/Crate.mesh"), "--mesh-version", version});
    ASSERT_EQ(mesh.Status, 0) << mesh.Err;
    const TProcess run = RunPreviewTool(
        dir, {"preview", "--mesh", version + "/Crate.mesh", "-o", version + ".png", "--views", "1", "--size", "200x150"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "") << "not even the notice of an older format";
    const std::string png = TTempDir::Read(dir.File(version + ".png"));
    if (oldest.empty())
      oldest = png;
    else
      EXPECT_TRUE(png == oldest) << "the picture differs from that of the 1.30 mesh";
  }
}

TEST(PreviewCommand, DrawsTheLevelOfDetailAskedForAndRefusesOneTheMeshLacks) {
  REQUIRE_RENDERER();
  TTempDir dir;
  // A sphere of many quads: the samples are boxes and quads, which keep their triangles at every level.
  const std::string scene = dir.File("sphere.xml");
  TTempDir::Write(scene, ShapeDocument(Sphere(25, 48, 24), "Paint", {200, 60, 40}));
  for (const auto& [output, lod] : std::vector<std::pair<std::string, std::string>>{{"Plain", "0"}, {"Levels", "2"}}) {
    const TRun mesh = RunTool({"mesh", scene, dir.File(output + ".mesh"), "--lod", lod});
    ASSERT_EQ(mesh.Status, 0) << mesh.Err;
  }
  const auto preview = [&](const std::string& mesh, const std::string& level) {
    return RunPreviewTool(dir, {"preview", "--mesh", mesh, "-o", mesh + "-" + level + ".png", "--lod", level,
                                "--views", "1", "--size", "200x150"});
  };
  for (const std::string level : {"0", "2"}) {
    const TProcess run = preview("Levels.mesh", level);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(run.Out, "Levels.mesh-" + level + ".png\n");
  }
  EXPECT_FALSE(TTempDir::Read(dir.File("Levels.mesh-0.png")) == TTempDir::Read(dir.File("Levels.mesh-2.png")))
      << "level 2 is drawn, not the full mesh";
  const TProcess beyond = preview("Levels.mesh", "3");
  EXPECT_EQ(beyond.Status, 1);
  EXPECT_EQ(beyond.Err, "error: The mesh Levels.mesh has no level of detail 3: it has 0 (the full mesh) to 2.\n");
  const TProcess none = preview("Plain.mesh", "1");
  EXPECT_EQ(none.Status, 1);
  EXPECT_EQ(none.Err, "error: The mesh Plain.mesh has no levels of detail: only 0, the full mesh, can be drawn.\n");
  EXPECT_FALSE(std::filesystem::exists(dir.File("Plain.mesh-1.png")));
}

TEST(PreviewCommand, PrintsOgreProblemsAsWarnings) {
  REQUIRE_RENDERER();
  TTempDir dir;
  const TPreviewAsset asset = ExportAsset(dir, kExamples + "/crate.xml", "Crate");
  TTempDir::Write(asset.TextureFolders[0] + "/lm_crate.png", "not a picture");
  const TProcess run = RunPreviewTool(dir, {"preview", "Repository", "Crate"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_TRUE(std::regex_search(run.Err, std::regex("(^|\n)warning: [^\n]*lm_crate.png"))) << run.Err;
  EXPECT_EQ(run.Out, "Crate.png\n");
}

TEST(PreviewCommand, AFailedRenderIsAnErrorAndEndsItsXvfb) {
  REQUIRE_RENDERER();
  TTempDir dir;
  const TPreviewAsset asset = ExportAsset(dir, kExamples + "/tile.xml", "Tile");
  TTempDir::Write(asset.MeshFile, "not a mesh");
  const TProcess run = RunPreviewTool(dir, {"preview", "Repository", "Tile", "--timings"});
  EXPECT_EQ(run.Status, 1) << run.Err;
  EXPECT_EQ(run.Out, "");
  EXPECT_NE(run.Err.find("\nerror: OGRE cannot load the mesh "), std::string::npos) << run.Err;
  ExpectXvfbEnded(run.Err);
  EXPECT_FALSE(std::filesystem::exists(dir.File("Tile.png")));
}

// The hidden temporary files of the picture in the folder.
std::vector<std::string> TemporaryFiles(const TTempDir& dir) {
  std::vector<std::string> found;
  for (const std::string& name : TTempDir::Tree(dir.Path()))
    if (name.ends_with(".tmp")) found.push_back(name);
  return found;
}

TEST(PreviewCommand, APictureLeftHalfWrittenByAKilledPreviewIsRemovedByTheNext) {
  REQUIRE_RENDERER();
  TTempDir dir;
  ExportAsset(dir, kExamples + "/crate.xml", "Crate");
  // A file size limit below the picture's (about 110 kB) kills the tool
  // (SIGXFSZ) while it writes its PNG; it is above what its Xvfb writes (the
  // keyboard map), and Mesa's shader cache stays off.
  const std::vector<std::string> settings = {"MESA_SHADER_CACHE_DISABLE=true"};
  const std::vector<std::string> limited = {"prlimit", "--fsize=65536"};
  const auto preview = [&](const std::string& output, const std::vector<std::string>& launcher) {
    std::vector<std::string> arguments = {"preview", "Repository", "Crate", "-o", output, "--size", "1600x1200"};
    return RunPreviewTool(dir, arguments, settings, launcher);
  };
  const TProcess killed = preview("shot.png", limited);
  ASSERT_EQ(killed.Status, 128 + SIGXFSZ) << killed.Err;
  ASSERT_EQ(TemporaryFiles(dir).size(), 1u);
  // Another picture's leftovers are not this preview's to remove.
  const TProcess other = preview("other.png", limited);
  ASSERT_EQ(other.Status, 128 + SIGXFSZ) << other.Err;
  const std::vector<std::string> left = TemporaryFiles(dir);
  ASSERT_EQ(left.size(), 2u);

  const TProcess run = preview("shot.png", {});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(PngSize(TTempDir::Read(dir.File("shot.png"))), std::make_pair(1600, 1200));
  const std::vector<std::string> remaining = TemporaryFiles(dir);
  ASSERT_EQ(remaining.size(), 1u);
  EXPECT_TRUE(remaining[0].starts_with(".other.png.")) << remaining[0];
  EXPECT_FALSE(std::filesystem::exists(dir.File(".shot.png.lock")));
}

TEST(PreviewCommand, WithoutDisplayAndXvfbSaysSo) {
  TTempDir dir;
  TTempDir::Write(dir.File("Any.mesh"), "not a mesh");
  const TProcess run = RunPreviewTool(dir, {"preview", "--mesh", "Any.mesh"}, {"PATH=" + dir.Path().string()});
  EXPECT_EQ(run.Status, 1) << run.Err;
  EXPECT_EQ(run.Err, "error: DISPLAY is not set and Xvfb was not found, so there is no display for OpenGL (install the "
                     "package xvfb).\n");
}

// veldara-export hands `preview` over to the program that renders, beside it.
TEST(PreviewCommand, WithoutThePreviewProgramBesideItSaysWhereItBelongs) {
  TTempDir dir;
  TTempDir::Write(dir.File("Any.mesh"), "not a mesh");
  const std::string alone = dir.File("bin/veldara-export");
  std::filesystem::create_directories(dir.File("bin"));
  std::filesystem::copy_file(VELDARA_EXPORT_TOOL, alone);
  const TProcess run = RunPreviewTool(dir, {"preview", "--mesh", "Any.mesh"}, {}, {}, alone);
  EXPECT_EQ(run.Status, 1) << run.Err;
  EXPECT_EQ(run.Out, "");
  EXPECT_EQ(run.Err, "error: The preview program " + dir.File("bin/veldara-export-preview") +
                         " is missing: veldara-export renders previews with it, and it belongs in the same folder.\n");
  // Its other commands need no preview program.
  EXPECT_EQ(RunPreviewTool(dir, {"--version"}, {}, {}, alone).Out, "veldara-export 1.0\n");
}

TEST(PreviewCommand, ADisplayThatDoesNotOpenIsAnError) {
  // OGRE's GL render system would crash on it.
  TTempDir dir;
  TTempDir::Write(dir.File("Any.mesh"), "not a mesh");
  const TProcess run = RunPreviewTool(dir, {"preview", "--mesh", "Any.mesh"}, {"DISPLAY=" + dir.File("no-display:0")});
  EXPECT_EQ(run.Status, 1) << run.Err;
  EXPECT_EQ(run.Err, "error: Cannot open the display " + dir.File("no-display:0") +
                         " that DISPLAY names (unset DISPLAY to render on a private Xvfb).\n");
}

// ---- Hostile files ----

// Runs the preview of the repository's asset, killed after a minute: a
// preview that waits on a pipe fails instead of hanging the tests.
TProcess RunBoundedPreview(const TTempDir& dir, const std::string& asset) {
  return RunPreviewTool(dir, {"preview", "Repository", asset, "-o", "view.png", "--size", "160x120"}, {},
                        {"timeout", "-s", "KILL", "60"});
}

TEST(HostilePreview, FilesThatAreNoRegularFilesOrLeadOutAreRefusedWithAMessage) {
  REQUIRE_RENDERER();
  struct TCase {
    std::string Name;
    std::function<void(const TTempDir& dir, const TPreviewAsset& asset)> Plant;
    int Status;
    std::string Message;  // a part of the line
  };
  const auto replaceBy = [](const std::string& path, const std::function<void(const std::string&)>& make) {
    std::filesystem::remove(path);
    make(path);
  };
  const auto fifo = [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); };
  const auto folder = [](const std::string& path) { std::filesystem::create_directory(path); };
  // A copy outside the repository, reached through a link.
  const auto outside = [](const TTempDir& dir, const std::string& path) {
    const std::string copy = dir.File("outside-" + std::filesystem::path(path).filename().string());
    std::filesystem::rename(path, copy);
    std::filesystem::create_symlink(copy, path);
  };
  const std::vector<TCase> cases = {
      {"a script that is a folder",
       [&](const TTempDir&, const TPreviewAsset& a) { replaceBy(a.MaterialScripts[0], folder); }, 0,
       "warning: The material script Repository/Materials/Crate.material is not a regular file."},
      {"a script that is a pipe", [&](const TTempDir&, const TPreviewAsset& a) { replaceBy(a.MaterialScripts[0], fifo); },
       0, "warning: The material script Repository/Materials/Crate.material is not a regular file."},
      {"a script behind a link out", [&](const TTempDir& d, const TPreviewAsset& a) { outside(d, a.MaterialScripts[0]); },
       0, "Crate.material is reached through a link, which the preview does not follow."},
      {"a texture that is a pipe",
       [&](const TTempDir&, const TPreviewAsset& a) { replaceBy(a.TextureFolders[0] + "/crate_wood.png", fifo); }, 0,
       "warning: The texture Repository/Textures/crate_wood.png is not a regular file."},
      {"a texture that links to /dev/zero",
       [&](const TTempDir&, const TPreviewAsset& a) {
         replaceBy(a.TextureFolders[0] + "/crate_wood.png",
                   [](const std::string& path) { std::filesystem::create_symlink("/dev/zero", path); });
       },
       0, "crate_wood.png is reached through a link, which the preview does not follow."},
      {"a texture folder that links out",
       [&](const TTempDir& d, const TPreviewAsset& a) { outside(d, a.TextureFolders[0]); }, 0,
       "crate_wood.png is reached through a link, which the preview does not follow."},
      {"a mesh that is a pipe", [&](const TTempDir&, const TPreviewAsset& a) { replaceBy(a.MeshFile, fifo); }, 1,
       "error: The mesh Repository/Meshes/Crate.mesh is not a regular file."},
      {"a mesh that is a folder", [&](const TTempDir&, const TPreviewAsset& a) { replaceBy(a.MeshFile, folder); }, 1,
       "error: The mesh Repository/Meshes/Crate.mesh is not a regular file."},
      {"a mesh folder that links out",
       [&](const TTempDir& d, const TPreviewAsset& a) {
         outside(d, std::filesystem::path(a.MeshFile).parent_path().string());
       },
       1,
       "error: The mesh Repository/Meshes/Crate.mesh is reached through a link, which the preview does not follow."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempDir dir;
    const TPreviewAsset asset = ExportAsset(dir, kExamples + "/crate.xml", "Crate");
    c.Plant(dir, asset);
    const TProcess run = RunBoundedPreview(dir, "Crate");
    EXPECT_EQ(run.Status, c.Status) << run.Err;
    EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
    EXPECT_EQ(std::filesystem::exists(dir.File("view.png")), c.Status == 0);
  }
}

// The bounds chunk of a mesh we wrote: its id 0x9000 and its length, 34
// bytes, little-endian; the box's six floats follow.
std::size_t BoundsAt(const std::string& mesh) {
  const std::size_t at = mesh.find(std::string("\x00\x90\x22\x00\x00\x00", 6));
  return at == std::string::npos ? at : at + 6;
}

TEST(HostilePreview, BoundingBoxesThatOgreOrTheCamerasCannotTakeAreRefused) {
  REQUIRE_RENDERER();
  const float nan = std::numeric_limits<float>::quiet_NaN(), infinity = std::numeric_limits<float>::infinity();
  struct TCase {
    std::string Name;
    std::array<float, 6> Box;  // minimum x, y, z, maximum x, y, z
    std::string Message;
  };
  for (const TCase& c :
       {TCase{"minimum above maximum", {0, 0, 0, -1, 1, 1}, "has a bounding box whose minimum exceeds its maximum."},
        TCase{"NaN", {0, nan, 0, 1, 1, 1}, "has a bounding box with a corner that is no finite number."},
        TCase{"infinity", {-infinity, 0, 0, infinity, 1, 1}, "has a bounding box with a corner that is no finite number."},
        TCase{"beyond the limit", {0, 0, 0, 2e9f, 1, 1}, "is too large to frame"}}) {
    SCOPED_TRACE(c.Name);
    TTempDir dir;
    const TPreviewAsset asset = ExportAsset(dir, kExamples + "/tile.xml", "Tile");
    std::string mesh = TTempDir::Read(asset.MeshFile);
    const std::size_t at = BoundsAt(mesh);
    ASSERT_NE(at, std::string::npos);
    std::memcpy(mesh.data() + at, c.Box.data(), sizeof c.Box);
    TTempDir::Write(asset.MeshFile, mesh);
    const TProcess run = RunBoundedPreview(dir, "Tile");
    EXPECT_EQ(run.Status, 1) << run.Err;
    EXPECT_NE(run.Err.find("error: The mesh Repository/Meshes/Tile.mesh " + c.Message), std::string::npos) << run.Err;
  }
  // A tile as wide as the editor lets a scene make it: exported whole, but
  // no camera can frame it.
  TTempDir dir;
  ExportDocument(dir, ShapeDocument(Cube(1e19), "Huge", kTileColour), "Huge");
  const TProcess run = RunBoundedPreview(dir, "Huge");
  EXPECT_EQ(run.Status, 1) << run.Err;
  EXPECT_NE(run.Err.find("error: The mesh Repository/Meshes/Huge.mesh is too large to frame: its bounding box "
                         "reaches beyond 1000000000 units from the origin."),
            std::string::npos)
      << run.Err;
}

TEST(HostilePreview, LayersBeyondWhatOpenGLDrawsAreLeftOutWithAWarning) {
  REQUIRE_RENDERER();
  TTempDir dir;
  std::string document = ShapeDocument(Cube(60), "Layered", kTileColour);
  const std::size_t start = document.find("<layer "), end = document.find("</layer>") + 8;
  const std::string layer = document.substr(start, end - start);
  std::string layers;
  std::string coordinates;
  for (int i = 0; i < 64; ++i) {
    layers += layer;
    coordinates += " u" + std::to_string(i) + "=\"0\" v" + std::to_string(i) + "=\"0\"";
  }
  document.replace(start, end - start, layers);
  // Each layer has coordinates of its own at each corner.
  const std::string first = " u0=\"0\" v0=\"0\"";
  for (std::size_t at = document.find(first); at != std::string::npos; at = document.find(first, at + coordinates.size()))
    document.replace(at, first.size(), coordinates);
  const TPreviewAsset asset = ExportDocument(dir, document, "Layered");
  const TPreviewResult result = Render(asset, ColourOptions());
  EXPECT_TRUE(AnyHolds(result.Warnings, "The material \"Layered_Layered\" has 64 layers in a pass, but OpenGL "
                                        "draws only "))
      << Lines(result.Warnings);
  // The picture shows the cube.
  ASSERT_EQ(result.Image.Width, ColourOptions().Width);
  int covered = 0;
  for (int y = 0; y < result.Image.Height; ++y)
    for (int x = 0; x < result.Image.Width; ++x) covered += result.Image.At(x, y) != ColourOptions().Background;
  EXPECT_GT(covered, result.Image.Width * result.Image.Height / 25);
}

}  // namespace
