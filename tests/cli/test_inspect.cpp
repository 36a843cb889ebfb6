// What inspect tells before an export: the scene's size in metres, which of
// its primitives are collision volumes, the textures an export would miss,
// and the same facts as JSON for scripts.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "../support/RunTool.h"
#include "../support/TempDir.h"

namespace {
const std::string kExamples = VELDARA_EXAMPLES_DIR;
const std::string kCourtyard = kExamples + "/courtyard.xml";

// A scene of one triangle of the given corners and, unless `volume` is empty,
// a collision volume of that name: a triangle of the other corners.
std::string Scene(const std::string& corners, const std::string& volume = "", const std::string& volumeCorners = "") {
  const auto primitive = [](const std::string& id, const std::string& name, const std::string& points) {
    std::string xml = "<primitive id=\"" + id + "\" name=\"" + name + "\" type=\"userdefined\" visible=\"true\" snap=\"vertex\" autoUV=\"false\">"
                      "<vertices>";
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
      const std::size_t end = points.find(';', at);
      const std::string point = points.substr(at, end - at);
      const std::size_t a = point.find(','), b = point.find(',', a + 1);
      xml += "<vertex id=\"v" + std::to_string(i) + "\" x=\"" + point.substr(0, a) + "\" y=\"" +
             point.substr(a + 1, b - a - 1) + "\" z=\"" + point.substr(b + 1) + "\" />";
      at = end + 1;
    }
    return xml + "</vertices><polygons><poly mid=\"m\"><vertex vid=\"v0\" u0=\"0\" v0=\"0\" />"
                 "<vertex vid=\"v1\" u0=\"1\" v0=\"0\" /><vertex vid=\"v2\" u0=\"0\" v0=\"1\" /></poly></polygons>"
                 "</primitive>";
  };
  return "<scene><settings name=\"S\" author=\"A\" comments=\"\" shadowOpacity=\"70\" /><materials><category name=\"C\"><material id=\"m\" name=\"Stone\" used=\"true\">"
         "<layer type=\"color\" blend=\"replace\"><color r=\"1\" g=\"2\" b=\"3\" a=\"255\" /></layer></material>"
         "</category></materials><primitives>" +
         primitive("p", "Wall", corners) + (volume.empty() ? "" : primitive("q", volume, volumeCorners)) +
         "</primitives></scene>";
}

std::string LineWith(const std::string& text, const std::string& start) {
  const std::size_t at = text.find("\n" + start);
  if (at == std::string::npos) return "(no line " + start + ")";
  return text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}
}  // namespace

TEST(InspectSize, IsTheBoxOfEveryVertexInMetresAtTenMillimetresPerUnit) {
  TTempDir dir;
  // Negative corners and fractions of a unit; the collision volume reaches
  // further than the wall and counts, as it is part of what the scene holds.
  TTempDir::Write(dir.File("a.xml"), Scene("-150,0,2.5;50,300,2.5;50,0,-20", "vdcv_box_wall", "0,0,0;80,10,0;0,10,45"));
  const TRun run = RunTool({"inspect", dir.File("a.xml")});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(LineWith(run.Out, "Size:"),
            "Size: 2.300 x 3.000 x 0.650 m (width x height x depth at 10 mm per editor unit)");
  EXPECT_EQ(LineWith(run.Out, "Bounds:"), "Bounds: (-1.500, 0.000, -0.200) to (0.800, 3.000, 0.450) m");
  EXPECT_EQ(LineWith(run.Out, "  p "), "  p \"Wall\": userdefined, 3 vertices, 1 polygon");
  EXPECT_EQ(LineWith(run.Out, "  q "), "  q \"vdcv_box_wall\": userdefined, 3 vertices, 1 polygon, collision volume");

  // A single point has no extent; a scene without vertices has no size.
  TTempDir::Write(dir.File("flat.xml"), Scene("1,2,3;1,2,3;1,2,3"));
  EXPECT_EQ(LineWith(RunTool({"inspect", dir.File("flat.xml")}).Out, "Size:"),
            "Size: 0.000 x 0.000 x 0.000 m (width x height x depth at 10 mm per editor unit)");
  TTempDir::Write(dir.File("empty.xml"), "<scene><settings name=\"E\" author=\"A\" comments=\"\" shadowOpacity=\"70\" /></scene>");
  const TRun empty = RunTool({"inspect", dir.File("empty.xml")});
  ASSERT_EQ(empty.Status, 0) << empty.Err;
  EXPECT_EQ(LineWith(empty.Out, "Size:"), "Size: none (no vertices)");
  EXPECT_EQ(empty.Out.find("Bounds:"), std::string::npos);
}

TEST(InspectTextures, ListsWhatTheGivenFolderLacksOfTheAssetsTextures) {
  TTempDir dir;
  std::filesystem::create_directories(dir.File("textures"));
  const TRun none = RunTool({"inspect", kCourtyard, "--texture-dir", dir.File("textures")});
  ASSERT_EQ(none.Status, 0) << none.Err;
  EXPECT_EQ(none.Out.substr(none.Out.find("\nMissing textures")),
            "\nMissing textures in " + dir.File("textures") + ": 2\n  stone wall.png\n  lm_courtyard.png\n");
  // One present: only the other is missing. The sample's folder holds both.
  std::filesystem::copy_file(kExamples + "/lm_courtyard.png", dir.File("textures/lm_courtyard.png"));
  const TRun one = RunTool({"inspect", kCourtyard, "--texture-dir", dir.File("textures")});
  EXPECT_EQ(one.Out.substr(one.Out.find("\nMissing textures")),
            "\nMissing textures in " + dir.File("textures") + ": 1\n  stone wall.png\n");
  const TRun all = RunTool({"inspect", kCourtyard, "--texture-dir", kExamples});
  EXPECT_EQ(all.Out.substr(all.Out.find("\nMissing textures")), "\nMissing textures in " + kExamples + ": none\n");
  // Not asked, not looked for; a folder that is not there is an error, as for an export.
  EXPECT_EQ(RunTool({"inspect", kCourtyard}).Out.find("Missing textures"), std::string::npos);
  const TRun missing = RunTool({"inspect", kCourtyard, "--texture-dir", dir.File("nowhere")});
  EXPECT_EQ(missing.Status, 1);
  EXPECT_EQ(missing.Err, "error: The texture folder " + dir.File("nowhere") + " does not exist.\n");
  EXPECT_EQ(missing.Out, "");
}

TEST(InspectJson, HoldsTheSummarysFactsAsOneDocument) {
  TTempDir dir;
  std::filesystem::create_directories(dir.File("textures"));
  const TRun run = RunTool({"inspect", kCourtyard, "--json", "--draw-calls", "--texture-dir", dir.File("textures")});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const nlohmann::json document = nlohmann::json::parse(run.Out);
  const TRun text = RunTool({"inspect", kCourtyard, "--draw-calls"});
  EXPECT_EQ("Scene: " + document["scene"].get<std::string>(), LineWith("\n" + text.Out, "Scene:"));
  EXPECT_EQ(document["polygons"], 13);
  EXPECT_EQ(document["vertices"], 20);
  EXPECT_EQ(document["lights"], 2);
  EXPECT_EQ(document["materials"].size(), 4u);
  EXPECT_EQ(document["materials"][0]["layers"][1]["type"], "lightmap");
  EXPECT_EQ(document["materials"][0]["layers"][1]["file"], "lm_courtyard.png");
  EXPECT_EQ(document["materials"][1]["layers"][0]["color"]["g"], 220);
  ASSERT_EQ(document["primitives"].size(), 3u);
  EXPECT_EQ(document["primitives"][1]["collisionVolume"], false);
  EXPECT_EQ(document["primitives"][2]["collisionVolume"], true);
  EXPECT_EQ(document["primitives"][2]["name"], "vdcv_box_pillar");
  const nlohmann::json& size = document["sizeInMetres"];
  EXPECT_DOUBLE_EQ(size["width"].get<double>(), size["max"][0].get<double>() - size["min"][0].get<double>());
  EXPECT_DOUBLE_EQ(size["width"].get<double>(), 0.4);
  EXPECT_DOUBLE_EQ(size["height"].get<double>(), 0.31);  // the collision box stands above the pillar
  EXPECT_EQ(document["missingTextures"], nlohmann::json({"stone wall.png", "lm_courtyard.png"}));
  EXPECT_EQ("Draw calls with --optimize: " + std::to_string(document["drawCalls"]["optimized"].get<int>()),
            LineWith(text.Out, "Draw calls with --optimize:"));

  // What was not asked for is absent, not empty.
  const nlohmann::json plain = nlohmann::json::parse(RunTool({"inspect", kCourtyard, "--json"}).Out);
  EXPECT_FALSE(plain.contains("drawCalls"));
  EXPECT_FALSE(plain.contains("missingTextures"));
}

TEST(InspectJson, StaysValidForNamesThatAreNotUtf8AndScenesWithoutVertices) {
  TTempDir dir;
  // The editor writes names in its code page: "Gr\xFCn" is Latin-1.
  std::string scene = Scene("0,0,0;10,0,0;0,10,0");
  scene.replace(scene.find("Wall"), 4, "Gr\xFCn &quot;wall&quot;");
  TTempDir::Write(dir.File("latin1.xml"), scene);
  const TRun run = RunTool({"inspect", dir.File("latin1.xml"), "--json"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  const nlohmann::json document = nlohmann::json::parse(run.Out);
  EXPECT_EQ(document["primitives"][0]["name"], "Gr\xEF\xBF\xBDn \"wall\"");

  TTempDir::Write(dir.File("empty.xml"), "<scene><settings name=\"E\" author=\"A\" comments=\"\" shadowOpacity=\"70\" /></scene>");
  const nlohmann::json empty = nlohmann::json::parse(RunTool({"inspect", dir.File("empty.xml"), "--json"}).Out);
  EXPECT_TRUE(empty["sizeInMetres"].is_null());
  EXPECT_TRUE(empty["primitives"].empty());
}
