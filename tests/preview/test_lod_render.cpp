// A level of detail as a game draws it: OGRE renders the chosen level of a
// mesh exported with --lod (the preview's DetailLevel), and the picture is
// compared with that of the full mesh, pixel by pixel. A level must look
// close to the full mesh (about the same outline, most pixels as they were)
// and yet not be the full mesh drawn again; a coarser level strays further.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "../support/RunTool.h"
#include "../support/TempDir.h"
#include "PreviewTestSupport.h"
#include "base/uException.h"

namespace {
// Rolling hills: a grid of 64 x 64 quads of 10 units, each polygon wound
// clockwise seen from above as the editor winds them, of one colour.
std::string HillsDocument() {
  constexpr int side = 64;
  TShape hills{"Hills", {}, {}};
  for (int z = 0; z <= side; ++z)
    for (int x = 0; x <= side; ++x)
      hills.Vertices.push_back({x * 10.0, 30 * std::sin(x * 0.15) * std::cos(z * 0.11) + 12 * std::sin(x * 0.37 + z * 0.23),
                                z * 10.0});
  const auto at = [](int x, int z) { return z * (side + 1) + x; };
  for (int z = 0; z < side; ++z)
    for (int x = 0; x < side; ++x) hills.Polygons.push_back({at(x, z), at(x + 1, z), at(x + 1, z + 1), at(x, z + 1)});
  return ShapeDocument(hills, "Grass", {90, 150, 60});
}

// The scene exported with `levels` levels of detail into a repository of its own.
TPreviewAsset ExportWithLevels(const TTempDir& dir, const std::string& document, int levels) {
  const std::string scene = dir.File("scene.xml");
  TTempDir::Write(scene, document);
  const std::string repository = dir.File("Repository");
  const TRun run = RunTool({"export", scene, "--repository", repository, "--asset", "Level", "--init", "--lod",
                            std::to_string(levels)});
  EXPECT_EQ(run.Status, 0) << run.Err;
  return {repository + "/Meshes/Level.mesh", {repository + "/Materials/Level.material"}, {repository + "/Textures"},
          repository + "/"};
}

// The comparison render (no anti-aliasing, a plain background, the depth
// tint that turns a change of depth into a change of colour) of one level.
TPreviewImage RenderLevel(const TPreviewAsset& asset, int level) {
  TPreviewOptions options = ComparisonOptions(TPreviewCulling::pcAsMaterials);
  options.DetailLevel = level;
  TPreviewResult result;
  try {
    SharedRenderer()->Render(asset, options, result);
  } catch (const TException& e) {
    ADD_FAILURE() << e.Message();
  }
  EXPECT_TRUE(result.Errors.empty()) << "OGRE's errors: " << (result.Errors.empty() ? "" : result.Errors.front());
  return result.Image;
}

// How a level's picture differs from the full mesh's. "Covered" is any pixel
// that is not the background.
struct TLevelComparison {
  int Covered = 0;         // by the full mesh
  int Outline = 0;         // of those, pixels next to the background: the outline's length
  int OutlineChanged = 0;  // covered in one picture only
  int Changed = 0;         // covered in both, another colour in some channel
  int FarOff = 0;          // of those, off by more than 40 in some channel
  std::string Describe() const {
    std::ostringstream text;
    text << Covered << " pixels covered, " << Outline << " on the outline, " << OutlineChanged << " in one picture only, " << Changed
         << " of another colour, " << FarOff << " of them far off";
    return text.str();
  }
};

TLevelComparison Compare(const TPreviewImage& full, const TPreviewImage& level, const TRgb& background) {
  TLevelComparison comparison;
  EXPECT_EQ(full.Width, level.Width);
  EXPECT_EQ(full.Height, level.Height);
  if (full.Width != level.Width || full.Height != level.Height) return comparison;
  for (int y = 0; y < full.Height; ++y)
    for (int x = 0; x < full.Width; ++x) {
      const TRgb a = full.At(x, y), b = level.At(x, y);
      const bool inA = a != background, inB = b != background;
      comparison.Covered += inA ? 1 : 0;
      const auto backgroundAt = [&](int u, int v) {
        return u < 0 || v < 0 || u >= full.Width || v >= full.Height || full.At(u, v) == background;
      };
      if (inA && (backgroundAt(x - 1, y) || backgroundAt(x + 1, y) || backgroundAt(x, y - 1) || backgroundAt(x, y + 1)))
        ++comparison.Outline;
      if (inA != inB) ++comparison.OutlineChanged;
      if (!inA || !inB || a == b) continue;
      ++comparison.Changed;
      const auto apart = [](std::uint8_t u, std::uint8_t v) { return std::abs(int(u) - int(v)) > 40; };
      if (apart(a.R, b.R) || apart(a.G, b.G) || apart(a.B, b.B)) ++comparison.FarOff;
    }
  return comparison;
}

// Close to the full mesh: the outline moves by a pixel on average at most,
// and hardly a pixel is far off; not the same: some pixels differ.
void ExpectCloseButNotEqual(const TLevelComparison& comparison) {
  EXPECT_GT(comparison.Covered, 480 * 360 / 10) << comparison.Describe();
  EXPECT_LT(comparison.OutlineChanged, comparison.Outline) << comparison.Describe();
  EXPECT_LT(comparison.FarOff, comparison.Covered / 100) << comparison.Describe();
  EXPECT_GT(comparison.Changed, comparison.Covered / 1000) << comparison.Describe();
}
}  // namespace

// Hills of 8,192 triangles: the first level has about half of them, the
// third an eighth.
TEST(LevelOfDetailRender, HillsDrawCloseToTheFullMeshAtEveryLevelButNotTheSame) {
  REQUIRE_RENDERER();
  TTempDir dir;
  const TPreviewAsset asset = ExportWithLevels(dir, HillsDocument(), 3);
  const TRgb background = ComparisonOptions(TPreviewCulling::pcAsMaterials).Background;
  const TPreviewImage full = RenderLevel(asset, 0);
  const TLevelComparison first = Compare(full, RenderLevel(asset, 1), background);
  const TLevelComparison third = Compare(full, RenderLevel(asset, 3), background);
  ExpectCloseButNotEqual(first);
  ExpectCloseButNotEqual(third);
  EXPECT_GT(third.Changed, first.Changed) << "the coarser level strays further";
  // The full mesh drawn again is the same picture: what differs is the level.
  const TLevelComparison again = Compare(full, RenderLevel(asset, 0), background);
  EXPECT_EQ(again.Changed + again.OutlineChanged, 0) << again.Describe();
}

// A sphere of 48 x 24 quads and triangles, closed, in its first two levels:
// its outline against the background moves by a pixel here and there.
TEST(LevelOfDetailRender, ASphereDrawsCloseToTheFullMeshButNotTheSame) {
  REQUIRE_RENDERER();
  TTempDir dir;
  const TPreviewAsset asset = ExportWithLevels(dir, ShapeDocument(Sphere(25, 48, 24), "Paint", {200, 60, 40}), 2);
  const TRgb background = ComparisonOptions(TPreviewCulling::pcAsMaterials).Background;
  const TPreviewImage full = RenderLevel(asset, 0);
  for (const int level : {1, 2}) {
    SCOPED_TRACE("level " + std::to_string(level));
    ExpectCloseButNotEqual(Compare(full, RenderLevel(asset, level), background));
  }
}

TEST(LevelOfDetailRender, ALevelTheMeshDoesNotHaveIsAnError) {
  REQUIRE_RENDERER();
  TTempDir dir;
  const TPreviewAsset asset = ExportWithLevels(dir, HillsDocument(), 2);
  TPreviewOptions options = ComparisonOptions(TPreviewCulling::pcAsMaterials);
  options.DetailLevel = 3;
  TPreviewResult result;
  try {
    SharedRenderer()->Render(asset, options, result);
    ADD_FAILURE() << "no error";
  } catch (const TException& e) {
    EXPECT_EQ(e.Message(), "The mesh " + asset.MeshFile + " has no level of detail 3: it has 0 (the full mesh) to 2.");
  }
  // The renderer goes on: the level it has draws.
  options.DetailLevel = 2;
  EXPECT_GT(Compare(RenderLevel(asset, 0), RenderLevel(asset, 2), options.Background).Covered, 0);
}
