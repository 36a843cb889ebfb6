// An asset exported with --optimize draws the picture the plain export
// draws: rendered by OGRE with back faces culled as the materials say, the
// two cover the same pixels with the same surfaces. The merged sub-meshes,
// the reordered triangles and the renumbered vertices must neither lose a
// triangle, nor turn one round (culling would take it away), nor move a
// vertex or change its normal or texture coordinates.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/RunTool.h"
#include "../support/TempDir.h"
#include "PreviewTestSupport.h"
#include "base/uException.h"

namespace {
const std::string kExamples = VELDARA_EXAMPLES_DIR;

TPreviewAsset ExportInto(const TTempDir& dir, const std::string& scene, const std::string& repositoryName,
                         bool optimize) {
  const std::string repository = dir.File(repositoryName);
  std::vector<std::string> arguments = {"export", scene, "--repository", repository, "--asset", "Level", "--init",
                                        "--texture-dir", kExamples};
  if (optimize) arguments.push_back("--optimize");
  const TRun run = RunTool(arguments);
  EXPECT_EQ(run.Status, 0) << run.Err;
  return {repository + "/Meshes/Level.mesh", {repository + "/Materials/Level.material"}, {repository + "/Textures"},
          repository + "/"};
}

TPreviewImage Render(const TPreviewAsset& asset) {
  TPreviewResult result;
  try {
    SharedRenderer()->Render(asset, ComparisonOptions(TPreviewCulling::pcAsMaterials), result);
  } catch (const TException& e) {
    ADD_FAILURE() << e.Message();
  }
  EXPECT_TRUE(result.Errors.empty()) << "OGRE's errors: " << (result.Errors.empty() ? "" : result.Errors.front());
  return result.Image;
}

// The plain and the optimized export of the scene, rendered and compared.
void ExpectTheSamePicture(const std::string& scene) {
  TTempDir dir;
  const TPreviewImage plain = Render(ExportInto(dir, scene, "Plain", false));
  const TPreviewImage optimized = Render(ExportInto(dir, scene, "Optimized", true));
  // The pixel comparison of the culling tests: the same outline, and the
  // same surface but where coplanar faces tie in depth and the one drawn
  // later wins, which a new order may change.
  const TCullingComparison comparison =
      CompareCulling(plain, optimized, ComparisonOptions(TPreviewCulling::pcAsMaterials).Background);
  EXPECT_TRUE(comparison.Same()) << comparison.Describe();
  EXPECT_GT(comparison.Covered, 480 * 360 / 25) << comparison.Describe();
}
}  // namespace

class OptimizedSampleRender : public testing::TestWithParam<const char*> {};

TEST_P(OptimizedSampleRender, DrawsThePlainExportsPicture) {
  REQUIRE_RENDERER();
  ExpectTheSamePicture(kExamples + "/" + GetParam() + ".xml");
}

INSTANTIATE_TEST_SUITE_P(Examples, OptimizedSampleRender, testing::Values("crate", "courtyard"));

// A field of 8 x 8 closed shapes, each a primitive of its own, sharing three
// colour materials: the optimized mesh has three sub-meshes for 64 primitives.
std::string FieldDocument() {
  const TShape kinds[] = {Cube(40), Sphere(25, 12, 8), Cylinder(20, 50, 16), Prism(40)};
  std::string materials, primitives;
  const TRgb colours[] = {{200, 60, 40}, {60, 140, 200}, {230, 200, 60}};
  for (int m = 0; m < 3; ++m)
    materials += "<material id=\"m" + std::to_string(m) + "\" name=\"Paint" + std::to_string(m) +
                 "\" used=\"true\"><layer type=\"color\" blend=\"replace\"><color r=\"" +
                 std::to_string(colours[m].R) + "\" g=\"" + std::to_string(colours[m].G) + "\" b=\"" +
                 std::to_string(colours[m].B) + "\" /></layer></material>";
  for (int i = 0; i < 64; ++i) {
    const TShape& shape = kinds[i % 4];
    const double x = (i % 8) * 60.0, z = (i / 8) * 60.0;
    primitives += "<primitive id=\"p" + std::to_string(i) + "\" name=\"Shape" + std::to_string(i) +
                  "\" type=\"userdefined\" visible=\"true\" snap=\"none\" autoUV=\"false\"><vertices>";
    for (std::size_t v = 0; v < shape.Vertices.size(); ++v)
      primitives += "<vertex id=\"v" + std::to_string(v) + "\" x=\"" + std::to_string(shape.Vertices[v][0] + x) +
                    "\" y=\"" + std::to_string(shape.Vertices[v][1]) + "\" z=\"" +
                    std::to_string(shape.Vertices[v][2] + z) + "\" />";
    primitives += "</vertices><polygons>";
    for (const std::vector<int>& polygon : shape.Polygons) {
      primitives += "<poly mid=\"m" + std::to_string(i % 3) + "\">";
      for (const int corner : polygon) primitives += "<vertex vid=\"v" + std::to_string(corner) + "\" u0=\"0\" v0=\"0\" />";
      primitives += "</poly>";
    }
    primitives += "</polygons></primitive>";
  }
  return "<scene><materials><category name=\"Paints\">" + materials + "</category></materials><primitives>" +
         primitives + "</primitives></scene>";
}

TEST(OptimizedFieldRender, ManyPrimitivesSharingThreeMaterialsDrawThePlainExportsPicture) {
  REQUIRE_RENDERER();
  TTempDir dir;
  const std::string scene = dir.File("field.xml");
  TTempDir::Write(scene, FieldDocument());
  ExpectTheSamePicture(scene);
  const TRun inspect = RunTool({"inspect", scene, "--draw-calls"});
  EXPECT_NE(inspect.Out.find("Draw calls (sub-meshes of the exported mesh): 64\nDraw calls with --optimize: 3\n"),
            std::string::npos)
      << inspect.Out;
}
