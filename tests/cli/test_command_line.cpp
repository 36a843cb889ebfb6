#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "../support/NativePath.h"
#include "../support/RunTool.h"
#include "../support/SystemReason.h"
#include "../support/TempDir.h"
#include "cli/uCommandLine.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "platform/uFileSystem.h"

namespace {
const std::string kExample = std::string(VELDARA_EXAMPLES_DIR) + "/courtyard.xml";
}  // namespace

TEST(CommandLineInspect, SummarisesTheBundledExample) {
  const TRun run = RunTool({"inspect", kExample});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(run.Out,
            "Scene: Courtyard\n"
            "Author: Level design\n"
            "Categories: 3\n"
            "Materials: 4\n"
            "Layers: 5\n"
            "Primitives: 3\n"
            "Vertices: 20\n"
            "Polygons: 13\n"
            "Lights: 2\n"
            "Size: 0.400 x 0.310 x 0.400 m (width x height x depth at 10 mm per editor unit)\n"
            "Bounds: (0.000, 0.000, 0.000) to (0.400, 0.310, 0.400) m\n"
            "\n"
            "Materials:\n"
            "  m1 \"Stone wall\" (category Walls)\n"
            "    layer 0: texture, replace, file stone wall.png\n"
            "    layer 1: lightmap, modulate, file lm_courtyard.png\n"
            "  m2 \"Plaster\" (category Walls)\n"
            "    layer 0: color, replace, color r=230 g=220 b=200 a=255\n"
            "  m3 \"Tinted glass\" (category Glass)\n"
            "    layer 0: color, alphablend, color r=40 g=90 b=160 a=128\n"
            "  m4 \"collision\" (category Physics)\n"
            "    layer 0: color, replace, color r=255 g=0 b=255 a=64\n"
            "\n"
            "Primitives:\n"
            "  p1 \"Floor\": rectangle, 4 vertices, 1 polygon\n"
            "  p2 \"Pillar\": cube, 8 vertices, 6 polygons\n"
            "  p3 \"vdcv_box_pillar\": cube, 8 vertices, 6 polygons, collision volume\n");
}

TEST(CommandLineInspect, ReaderErrorsEndStandardErrorWithStatusOne) {
  TTempDir dir;
  const std::string scene = dir.File("broken.xml");
  TTempDir::Write(scene, "<scene><lights><light id=\"l\" type=\"Point\" /></lights></scene>");
  TRun run = RunTool({"inspect", scene});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.LastErrorLine(), "error: Unknown light type \"Point\".");
  EXPECT_EQ(run.Out, "");

  run = RunTool({"inspect", dir.File("missing.xml")});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.LastErrorLine(),
            "error: Cannot open file " + dir.File("missing.xml") + " (" + SystemReason(kFileNotFound) + ")");
}

// Whatever the slip, CLI11's or the tool's own, standard error holds one line
// saying what is wrong and one showing how the command in hand is called.
TEST(CommandLineUsage, EveryUsageErrorIsOneLineAndTheCommandsUsage) {
  const std::string top = "usage: veldara-export export|batch|mesh|inspect|preview|help ...";
  const std::string mesh = "usage: veldara-export mesh SCENE.xml OUTPUT [options]";
  const std::string exportUsage = "usage: veldara-export export SCENE.xml --repository DIR --asset NAME [options]";
  const std::string inspect = "usage: veldara-export inspect SCENE.xml [options]";
  const std::string preview = "usage: veldara-export preview (REPOSITORY ASSET | --mesh FILE.mesh) [options]";
  TTempDir dir;
  const std::string out = dir.File("Out.mesh");
  for (const auto& [args, error, usage] : std::vector<std::tuple<std::vector<std::string>, std::string, std::string>>{
           {{}, "no command given", top},
           {{"frobnicate"}, "unknown command 'frobnicate'", top},
           {{"frobnicate", "--bogus"}, "unknown command 'frobnicate'", top},
           {{"--bogus"}, "no command given", top},
           {{"inspect"}, "SCENE is required", inspect},
           {{"inspect", kExample, "--bogus"}, "The following argument was not expected: --bogus", inspect},
           {{"mesh", kExample}, "OUTPUT is required", mesh},
           {{"mesh", kExample, out, "--foo"}, "The following argument was not expected: --foo", mesh},
           {{"mesh", kExample, out, "--scale", "0"}, "Please specify a (valid) scale.", mesh},
           {{"export", kExample, "--asset", "A"}, "--repository is required", exportUsage},
           {{"export", kExample, "--repository", dir.File("R"), "--asset", "a?b"},
            "The asset name \"a?b\" holds a character that Windows does not allow in file names (< > : \" | ? *).",
            exportUsage},
           {{"preview", "--views", "3", "--mesh", out}, "--views: 3 not in {1,4}", preview},
           {{"help", "frobnicate"}, "unknown command 'frobnicate'", "usage: veldara-export help [COMMAND]"},
       }) {
    const TRun run = RunTool(args);
    EXPECT_EQ(run.Status, 2) << error;
    EXPECT_EQ(run.Err, "error: " + error + "\n" + usage + "\n");
    EXPECT_EQ(run.Out, "");
  }
  EXPECT_TRUE(TTempDir::Tree(dir.Path()).empty());
}

TEST(CommandLineUsage, HelpAndVersionGoToStandardOutputWithStatusZero) {
  const TRun help = RunTool({"--help"});
  EXPECT_EQ(help.Status, 0);
  EXPECT_EQ(help.Err, "");
  EXPECT_EQ(RunTool({"help"}).Out, help.Out);
  EXPECT_EQ(RunTool({"help"}).Status, 0);
  for (const char* command : {"export", "mesh", "inspect", "preview"}) {
    EXPECT_NE(help.Out.find(command), std::string::npos) << command;
    const TRun commandHelp = RunTool({command, "--help"});
    EXPECT_EQ(commandHelp.Status, 0);
    const TRun asked = RunTool({"help", command});
    EXPECT_EQ(asked.Status, 0);
    EXPECT_EQ(asked.Out, commandHelp.Out) << command;
    // Value names say what a value is; each command shows one example, its own.
    EXPECT_EQ(asked.Out.find("TEXT"), std::string::npos) << asked.Out;
    const std::size_t example = asked.Out.find("Example: veldara-export " + std::string(command) + " ");
    EXPECT_NE(example, std::string::npos) << asked.Out;
    EXPECT_EQ(asked.Out.find("Example:", example + 1), std::string::npos) << asked.Out;
  }
  const std::string exportHelp = RunTool({"help", "export"}).Out;
  for (const char* valueName : {"--repository DIR", "--texture-dir DIR", "--scale NUMBER", "SCENE FILE"})
    EXPECT_NE(exportHelp.find(valueName), std::string::npos) << valueName << " in " << exportHelp;
  EXPECT_NE(RunTool({"help", "preview"}).Out.find("-o,--output FILE"), std::string::npos);

  for (const char* flag : {"--version", "-V"}) {
    const TRun version = RunTool({flag});
    EXPECT_EQ(version.Status, 0) << flag;
    EXPECT_EQ(version.Out, "veldara-export 1.0\n") << flag;
  }
}

TEST(CommandLineMesh, ExportsTheExampleWithItsTextures) {
  TTempDir dir;
  const std::string output = dir.File("out/Courtyard.mesh");
  const TRun run = RunTool({"mesh", kExample, output});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  // The tool prints the folder it resolved, with the platform's delimiter,
  // for the mesh as for every other file.
  const std::string folder = dir.File("out") + PathDelimiter;
  EXPECT_EQ(run.Out, folder + "Courtyard.mesh\n" + folder + "Courtyard.material\n" + folder + "stone_wall.png\n" +
                         folder + "lm_courtyard.png\n");
  EXPECT_EQ(TTempDir::Read(folder + "stone_wall.png"), TTempDir::Read(std::string(VELDARA_EXAMPLES_DIR) + "/stone wall.png"));
  EXPECT_EQ(TTempDir::Read(output).substr(2, 22), "[MeshSerializer_v1.30]");
}

TEST(CommandLineMesh, MissingTexturesAreWarningsAndXmlNamesChooseTheXmlForm) {
  TTempDir dir;
  const std::string output = dir.File("Courtyard.MESH.XML");
  const std::string textures = dir.File("textures");
  std::filesystem::create_directories(textures);
  const TRun run = RunTool({"mesh", kExample, output, "--texture-dir", textures});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "warning: Texture file \"" + textures + "/stone wall.png\" not found.\n" +
                         "warning: Texture file \"" + textures + "/lm_courtyard.png\" not found.\n" +
                         "warning: 2 warnings\n");
  EXPECT_EQ(TTempDir::Read(output).substr(0, 5), "<?xml");
  EXPECT_EQ(RunTool({"mesh", kExample}).Status, 2) << "OUTPUT is required";
}

TEST(CommandLineMesh, WritesTheVisibleMeshAsTheAssetDoesUnlessAllPrimitivesAreAsked) {
  TTempDir dir;
  const std::string crate = std::string(VELDARA_EXAMPLES_DIR) + "/crate.xml";
  const auto faces = [](const std::string& xml) {
    std::size_t count = 0;
    for (std::size_t at = xml.find("<face "); at != std::string::npos; at = xml.find("<face ", at + 1)) ++count;
    return count;
  };
  // The crate is 12 triangles; its box, sphere and capsule collision
  // volumes would add 56 more, in the collision material.
  const TRun visible = RunTool({"mesh", crate, dir.File("visible/Crate.mesh.xml")});
  ASSERT_EQ(visible.Status, 0) << visible.Err;
  EXPECT_EQ(faces(TTempDir::Read(dir.File("visible/Crate.mesh.xml"))), 12u);
  // The script is named as readers of the XML form look for it.
  const std::string script = TTempDir::Read(dir.File("visible/Crate.material"));
  EXPECT_EQ(script.find("material collision"), std::string::npos);
  EXPECT_NE(script.find("material Metal"), std::string::npos);
  EXPECT_FALSE(FileExists(dir.File("visible/Crate.mesh.material")));

  const TRun all = RunTool({"mesh", crate, dir.File("all/Crate.mesh.xml"), "--all-primitives"});
  ASSERT_EQ(all.Status, 0) << all.Err;
  EXPECT_EQ(faces(TTempDir::Read(dir.File("all/Crate.mesh.xml"))), 68u);
  EXPECT_NE(TTempDir::Read(dir.File("all/Crate.material")).find("material collision"), std::string::npos);
  // The binary form holds the same sub-meshes: two materials without the volumes.
  ASSERT_EQ(RunTool({"mesh", crate, dir.File("bin/Crate.mesh")}).Status, 0);
  EXPECT_EQ(TTempDir::Read(dir.File("bin/Crate.material")), script);
}

TEST(CommandLineMesh, TheScriptIsNamedAfterTheMeshWithoutItsMeshExtensions) {
  for (const auto& [mesh, script] : std::vector<std::pair<std::string, std::string>>{
           {"Crate.mesh", "Crate.material"},
           {"Crate.mesh.xml", "Crate.material"},
           {"Crate.MESH.XML", "Crate.material"},
           {"Crate.xml", "Crate.material"},
           {"Crate.Mesh", "Crate.material"},
           {"Crate", "Crate.material"},
           {"Crate.v2.mesh", "Crate.v2.material"},
           {"Crate.bin", "Crate.material"},
           {"a.b.xml.mesh", "a.b.xml.material"}})
    EXPECT_EQ(MaterialScriptName(mesh), script) << mesh;
}

TEST(CommandLineMesh, OgreVersionsFromOneSevenGetQuotedNamesAndOnlyTheMaterialLinesChange) {
  TTempDir dir;
  const auto script = [&](const std::vector<std::string>& extra) {
    const std::string output = dir.File("Courtyard.mesh");
    std::vector<std::string> arguments = {"mesh", kExample, output};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    const TRun run = RunTool(arguments);
    EXPECT_EQ(run.Status, 0) << run.Err;
    return std::make_pair(TTempDir::Read(dir.File("Courtyard.material")), TTempDir::Read(output));
  };
  const auto [platform, platformMesh] = script({});
  EXPECT_NE(platform.find("material Tinted glass\r\n"), std::string::npos);
  EXPECT_EQ(script({"--ogre-version", "1.6"}).first, platform);
  for (const std::string version : {"1.7", "1.12", "14.2"}) {
    const auto [quoted, quotedMesh] = script({"--ogre-version", version, "--mesh-version", "1.30"});
    std::string expected = platform;
    expected.replace(expected.find("Tinted glass"), std::strlen("Tinted glass"), "\"Tinted glass\"");
    EXPECT_EQ(quoted, expected) << version;
    EXPECT_EQ(quotedMesh, platformMesh) << "the mesh names the material without quotes";
  }
  for (const std::string bad : {"1", "1.", "x.12", "1.12.3", "-1.7"}) {
    const TRun run = RunTool({"mesh", kExample, dir.File("bad.mesh"), "--ogre-version", bad});
    EXPECT_EQ(run.Status, 2) << bad;
    EXPECT_FALSE(FileExists(dir.File("bad.mesh"))) << bad;
  }
  EXPECT_EQ(RunTool({"mesh", kExample, dir.File("bad.mesh"), "--ogre-version", "1.x"}).LastErrorLine(),
            "error: Please specify an OGRE version such as 1.12.");
}

// A script runs the tool from one folder and uses its list from another:
// every file is printed absolute however the output or repository was given,
// even through "..".
TEST(CommandLineOutput, MeshAndExportPrintEveryFileTheyWroteAsAnAbsolutePath) {
  TTempDir dir;
  std::filesystem::create_directories(dir.File("work"));
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.File("work"));
  const TRun mesh = RunTool({"mesh", kExample, "../out/Courtyard.mesh"});
  const TRun exported = RunTool({"export", std::string(VELDARA_EXAMPLES_DIR) + "/crate.xml", "--repository", "Repo",
                                 "--asset", "Crate", "--init"});
  std::filesystem::current_path(before);
  ASSERT_EQ(mesh.Status, 0) << mesh.Err;
  ASSERT_EQ(exported.Status, 0) << exported.Err;
  const std::string out = dir.File("out") + PathDelimiter;
  EXPECT_EQ(mesh.Out, out + "Courtyard.mesh\n" + out + "Courtyard.material\n" + out + "stone_wall.png\n" + out +
                          "lm_courtyard.png\n");
  const std::string r = dir.File("work/Repo") + "/";
  EXPECT_EQ(exported.Out, NativePath(r + "Meshes/Crate.mesh\n" + r + "Materials/Crate.material\n" + r +
                                     "Textures/crate_wood.png\n" + r + "Textures/lm_crate.png\n" + r +
                                     "Physics/Crate.physics\n" + r + "AssetDefinitions/Crate_Mesh.asset\n" + r +
                                     "AssetDefinitions/Crate_Material.asset\n"));
}

// The format a mesh file announces in its header.
static std::string MeshHeader(const std::string& file) {
  const std::string bytes = TTempDir::Read(file);
  return bytes.substr(2, bytes.find('\n') - 2);
}

TEST(CommandLineMesh, OgreVersionPicksTheMeshFormatItWritesAndMeshVersionOverridesIt) {
  TTempDir dir;
  const auto header = [&](const std::vector<std::string>& extra) {
    const std::string output = dir.File("Courtyard.mesh");
    std::vector<std::string> arguments = {"mesh", kExample, output};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    const TRun run = RunTool(arguments);
    EXPECT_EQ(run.Status, 0) << run.Err;
    return MeshHeader(output);
  };
  EXPECT_EQ(header({}), "[MeshSerializer_v1.30]");
  for (const auto& [ogre, format] : std::vector<std::pair<std::string, std::string>>{{"1.6", "1.30"},
                                                                                    {"1.7", "1.30"},
                                                                                    {"1.8", "1.8"},
                                                                                    {"1.9", "1.8"},
                                                                                    {"1.10", "1.100"},
                                                                                    {"1.12", "1.100"},
                                                                                    {"14.2", "1.100"},
                                                                                    {"2.1", "1.100"}})
    EXPECT_EQ(header({"--ogre-version", ogre}), "[MeshSerializer_v" + format + "]") << ogre;
  for (const std::string format : {"1.30", "1.8", "1.100"})
    EXPECT_EQ(header({"--ogre-version", "1.9", "--mesh-version", format}), "[MeshSerializer_v" + format + "]");
  EXPECT_EQ(header({"--mesh-version", "1.8"}), "[MeshSerializer_v1.8]");
}

TEST(CommandLineMesh, MeshVersionTenIsOgresNameForTheNewestFormat) {
  TTempDir dir;
  ASSERT_EQ(RunTool({"mesh", kExample, dir.File("a.mesh"), "--mesh-version", "1.10"}).Status, 0);
  ASSERT_EQ(RunTool({"mesh", kExample, dir.File("b.mesh"), "--mesh-version", "1.100"}).Status, 0);
  EXPECT_EQ(MeshHeader(dir.File("a.mesh")), "[MeshSerializer_v1.100]");
  EXPECT_EQ(TTempDir::Read(dir.File("a.mesh")), TTempDir::Read(dir.File("b.mesh")));
}

TEST(CommandLineMesh, UnknownMeshVersionsAreUsageErrorsAndWriteNothing) {
  TTempDir dir;
  for (const std::string bad : {"1.3", "1.9", "1.1000", "v1.8", "1.8 ", "2.1"}) {
    const TRun run = RunTool({"mesh", kExample, dir.File("bad.mesh"), "--mesh-version", bad});
    EXPECT_EQ(run.Status, 2) << bad;
    EXPECT_EQ(run.LastErrorLine(), "error: Please specify a mesh version: 1.30, 1.8, 1.10 or 1.100.") << bad;
    EXPECT_FALSE(FileExists(dir.File("bad.mesh"))) << bad;
  }
}

TEST(CommandLineExport, TheAssetsMeshTakesTheMeshVersion) {
  TTempDir dir;
  const std::string crate = std::string(VELDARA_EXAMPLES_DIR) + "/crate.xml";
  const auto header = [&](const std::string& asset, const std::vector<std::string>& extra) {
    std::vector<std::string> arguments = {"export", crate, "--repository", dir.File("Repo"), "--asset", asset, "--init"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    const TRun run = RunTool(arguments);
    EXPECT_EQ(run.Status, 0) << run.Err;
    return MeshHeader(dir.File("Repo/Meshes/" + asset + ".mesh"));
  };
  EXPECT_EQ(header("Plain", {}), "[MeshSerializer_v1.30]");
  EXPECT_EQ(header("Old", {"--mesh-version", "1.8"}), "[MeshSerializer_v1.8]");
  EXPECT_EQ(header("New", {"--ogre-version", "1.12"}), "[MeshSerializer_v1.100]");
  EXPECT_EQ(RunTool({"export", crate, "--repository", dir.File("Repo"), "--asset", "Bad", "--mesh-version", "1.0"})
                .LastErrorLine(),
            "error: Please specify a mesh version: 1.30, 1.8, 1.10 or 1.100.");
}

TEST(CommandLineExport, ExportsTheCrateSampleIntoAFreshRepository) {
  TTempDir dir;
  const std::string repository = dir.File("Repo");
  const std::string crate = std::string(VELDARA_EXAMPLES_DIR) + "/crate.xml";
  const TRun run = RunTool({"export", crate, "--repository", repository, "--asset", "Crate", "--category", "Props", "--init"});
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  const std::string r = repository + "/";
  // The files written, with the platform's delimiter.
  EXPECT_EQ(run.Out, NativePath(r + "Meshes/Crate.mesh\n" + r + "Materials/Crate.material\n" + r + "Textures/crate_wood.png\n" +
                                r + "Textures/lm_crate.png\n" + r + "Physics/Crate.physics\n" + r +
                                "AssetDefinitions/Crate_Mesh.asset\n" + r + "AssetDefinitions/Crate_Material.asset\n"));
  const std::string physics = TTempDir::Read(r + "Physics/Crate.physics");
  EXPECT_NE(physics.find("<box>"), std::string::npos);
  EXPECT_NE(physics.find("<sphere>"), std::string::npos);
  EXPECT_NE(physics.find("<capsule>"), std::string::npos);
}

TEST(CommandLineExport, RefusesMissingNamesAndMissingFolders) {
  TTempDir dir;
  const std::string crate = std::string(VELDARA_EXAMPLES_DIR) + "/crate.xml";
  TRun run = RunTool({"export", crate, "--repository", dir.File("Repo"), "--asset", ""});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.LastErrorLine(), "error: Please specify an asset name.");
  run = RunTool({"export", crate, "--repository", "", "--asset", "Crate"});
  EXPECT_EQ(run.Status, 2);
  EXPECT_EQ(run.LastErrorLine(), "error: Please specify a repository.");
  EXPECT_EQ(RunTool({"export", crate, "--asset", "Crate"}).Status, 2) << "the repository is required";

  run = RunTool({"export", crate, "--repository", dir.File("Mistyped"), "--asset", "Crate"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.LastErrorLine(), "error: The repository has no folder " + NativePath(dir.File("Mistyped") + "/Meshes") +
                                     " (use --init to create the repository's folders).");
  EXPECT_FALSE(std::filesystem::exists(dir.File("Mistyped")));
}

// Only the parsing here: rendering starts OGRE, which the tests in
// tests/preview run as a process of its own.
TEST(CommandLinePreview, RefusesWhatItCannotUse) {
  const std::vector<std::vector<std::string>> usageErrors = {
      {"preview"},                                        // nothing to show
      {"preview", "Repo"},                                // no asset
      {"preview", "Repo", "Crate", "--mesh", "a.mesh"},  // both forms
      {"preview", "Repo", "Crate", "--views", "2"},
      {"preview", "Repo", "Crate", "--size", "800"},
      {"preview", "Repo", "Crate", "--size", "1x600"},
      {"preview", "Repo", "Crate", "--size", "9000x600"},
      {"preview", "Repo", "../Crate"},
  };
  for (const auto& arguments : usageErrors) {
    const TRun run = RunTool(arguments);
    EXPECT_EQ(run.Status, 2) << arguments.back() << "\n" << run.Err;
    EXPECT_EQ(run.Out, "");
  }
  EXPECT_EQ(RunTool({"preview", "Repo"}).LastErrorLine(),
            "error: Please specify a repository and an asset, or --mesh FILE.mesh.");
  EXPECT_EQ(RunTool({"preview", "R", "C", "--size", "800"}).LastErrorLine(),
            "error: Please specify the picture's size as WIDTHxHEIGHT, each from 2 to 8192 pixels.");
}

#ifdef VELDARA_HAS_PREVIEW
TEST(CommandLinePreview, AnAssetWithoutAMeshIsAnError) {
  TTempDir dir;
  TRun run = RunTool({"preview", dir.File("Repo"), "Crate"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.LastErrorLine(), "error: The repository " + dir.File("Repo") + " has no mesh for the asset \"Crate\" (" +
                                     dir.File("Repo") + "/Meshes/Crate.mesh).");
  run = RunTool({"preview", "--mesh", dir.File("Crate.mesh")});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.LastErrorLine(), "error: There is no mesh file " + dir.File("Crate.mesh") + ".");
  EXPECT_EQ(run.Out, "");
}
#else
TEST(CommandLinePreview, ThisBuildHasNone) {
  const TRun run = RunTool({"preview", "Repo", "Crate", "-o", "crate.png"});
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.LastErrorLine(), "error: This build of veldara-export has no preview: it renders with OGRE's OpenGL "
                                 "render system, which only the Linux build includes.");
  EXPECT_EQ(run.Out, "");
}
#endif
