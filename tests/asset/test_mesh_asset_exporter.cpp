#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>

#include "../support/ErrorOf.h"
#include "../support/FileFaults.h"
#include "../support/NativePath.h"
#include "../support/TempDir.h"
#include "../support/SceneText.h"
#include "asset/AssetExportJob.h"
#include "asset/AssetLayout.h"
#include "asset/TextureClaims.h"
#include "platform/uFileLock.h"
#include "scene/uScene.h"
#include "scene/uXMLSceneReader.h"

namespace {
const char* const kFaces[6][4] = {{"0", "4", "5", "1"}, {"1", "5", "6", "2"}, {"2", "6", "7", "3"},
                                  {"3", "7", "4", "0"}, {"4", "7", "6", "5"}, {"0", "1", "2", "3"}};

// A box primitive from (0,0,0) to (size, size, size) whose faces use `mid`, with one UV set.
std::string Box(const std::string& name, const std::string& mid, int size = 10) {
  std::string text = "<primitive id=\"" + name + "\" name=\"" + name +
                     "\" type=\"cube\" visible=\"true\" snap=\"none\" autoUV=\"false\"><vertices>";
  for (int i = 0; i < 8; ++i)
    text += "<vertex id=\"" + std::to_string(i) + "\" x=\"" + std::to_string((i == 1 || i == 2 || i == 5 || i == 6) * size) +
            "\" y=\"" + std::to_string((i >= 4) * size) + "\" z=\"" + std::to_string((i == 2 || i == 3 || i == 6 || i == 7) * size) +
            "\" />";
  text += "</vertices><polygons>";
  for (const auto& face : kFaces) {
    text += "<poly mid=\"" + mid + "\">";
    for (const char* corner : face) text += std::string("<vertex vid=\"") + corner + "\" u0=\"0\" v0=\"1\" />";
    text += "</poly>";
  }
  return text + "</polygons></primitive>";
}

// The Crate scene: a box textured with wood.jpg and "metal plate.png", and a box collision volume.
std::string CrateDocument(bool collision = true) {
  return "<scene><materials><category name=\"Props\">"
         "<material id=\"m\" name=\"Crate\" used=\"true\">"
         "<layer type=\"texture\" blend=\"replace\"><texture file=\"wood.jpg\" /></layer></material>"
         "<material id=\"p\" name=\"Plate\" used=\"true\">"
         "<layer type=\"texture\" blend=\"replace\"><texture file=\"metal plate.png\" /></layer></material>"
         "<material id=\"c\" name=\"Ghost\" used=\"true\">"
         "<layer type=\"color\" blend=\"replace\"><color r=\"1\" g=\"1\" b=\"1\" /></layer></material>"
         "</category></materials><primitives>" +
         Box("Crate", "m") + Box("Plate", "p", 5) + (collision ? Box("vdcv_box", "c", 12) : std::string()) +
         "</primitives></scene>";
}

// One export job's options and sinks, and what its last run wrote.
struct TAssetRun {
  TAssetExportOptions Options;
  TReportSinks Sinks;
  TAssetExportResult Result;

  void Export(const std::string& document) { Result = ExportAsset(SceneText(document), Options, Sinks); }
  // The names of the texture files written, in the definition's order.
  std::vector<std::string> TextureFiles() const {
    const std::string folder = TAssetLayout(Options.Repository, Options.AssetName).Folder("Textures");
    std::vector<std::string> names;
    for (const std::string& file : Result.WrittenFiles)
      if (file.rfind(folder, 0) == 0) names.push_back(file.substr(folder.size() + 1));
    return names;
  }
};

struct TRepository {
  TTempDir Dir;
  std::string Root = Dir.File("Repo");
  std::string Sources = Dir.File("sources") + "/";

  explicit TRepository(bool withFolders = true) {
    std::filesystem::create_directories(Sources);
    TTempDir::Write(Sources + "wood.jpg", "wood");
    TTempDir::Write(Sources + "metal plate.png", "metal");
    if (withFolders)
      for (const char* folder : {"Meshes", "Physics", "AssetDefinitions"}) std::filesystem::create_directories(Root + "/" + folder);
  }

  TAssetRun Exporter(const std::string& asset = "Crate", const std::string& category = "Props",
                     TWarningSink warnings = {}) const {
    TAssetRun run;
    run.Options.AssetName = asset;
    run.Options.Repository = Root;
    run.Options.Category = category;
    const std::string sources = Sources;
    run.Options.TextureSource = [sources] { return sources; };
    run.Sinks.Warnings = std::move(warnings);
    return run;
  }

  std::string Read(const std::string& relative) const { return TTempDir::Read(Root + "/" + relative); }
  bool Exists(const std::string& relative) const { return std::filesystem::exists(Root + "/" + relative); }
};

// The layout of an asset, only asked for its paths.
TAssetLayout AssetPaths(const std::string& asset, const std::string& repository) {
  return TAssetLayout(repository, asset);
}

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n";
}  // namespace

TEST(AssetExport, TheCrateExampleEndToEnd) {
  TRepository repository;
  const std::string scene = CrateDocument();
  TAssetRun exporter = repository.Exporter();
  exporter.Export(scene);

  const std::string r = repository.Root + "/";
  EXPECT_EQ(exporter.Result.WrittenFiles,
            NativePaths({r + "Meshes/Crate.mesh", r + "Materials/Crate.material", r + "Textures/wood.jpg",
                         r + "Textures/metal_plate.png", r + "Physics/Crate.physics",
                         r + "AssetDefinitions/Crate_Mesh.asset", r + "AssetDefinitions/Crate_Material.asset"}));
  for (const std::string& file : exporter.Result.WrittenFiles) EXPECT_TRUE(std::filesystem::exists(file)) << file;
  EXPECT_EQ(repository.Read("Textures/metal_plate.png"), "metal");

  EXPECT_EQ(repository.Read("AssetDefinitions/Crate_Mesh.asset"),
            std::string(kDeclaration) +
                "<AssetDefinition>\r\n"
                "  <Name>Crate_Mesh</Name>\r\n"
                "  <Description>Crate</Description>\r\n"
                "  <Type>Mesh</Type>\r\n"
                "  <Category>Props</Category>\r\n"
                "  <Files>\r\n"
                "    <AssetFile>\r\n"
                "      <TargetFile>Meshes\\Crate.mesh</TargetFile>\r\n"
                "      <FileType>Mesh</FileType>\r\n"
                "    </AssetFile>\r\n"
                "    <AssetFile>\r\n"
                "      <TargetFile>AssetDefinitions\\Crate_Material.asset</TargetFile>\r\n"
                "      <FileType>AssetDefinition</FileType>\r\n"
                "    </AssetFile>\r\n"
                "    <AssetFile>\r\n"
                "      <TargetFile>Physics\\Crate.physics</TargetFile>\r\n"
                "      <FileType>Physics</FileType>\r\n"
                "    </AssetFile>\r\n"
                "  </Files>\r\n"
                "</AssetDefinition>");
  EXPECT_EQ(repository.Read("AssetDefinitions/Crate_Material.asset"),
            std::string(kDeclaration) +
                "<AssetDefinition>\r\n"
                "  <Name>Crate_Material</Name>\r\n"
                "  <Description>Crate</Description>\r\n"
                "  <Type>Material</Type>\r\n"
                "  <Category>Props</Category>\r\n"
                "  <Files>\r\n"
                "    <AssetFile>\r\n"
                "      <TargetFile>Materials\\Crate.material</TargetFile>\r\n"
                "      <FileType>Material</FileType>\r\n"
                "    </AssetFile>\r\n"
                "    <AssetFile>\r\n"
                "      <TargetFile>Textures\\wood.jpg</TargetFile>\r\n"
                "      <FileType>Texture</FileType>\r\n"
                "    </AssetFile>\r\n"
                "    <AssetFile>\r\n"
                "      <TargetFile>Textures\\metal_plate.png</TargetFile>\r\n"
                "      <FileType>Texture</FileType>\r\n"
                "    </AssetFile>\r\n"
                "  </Files>\r\n"
                "</AssetDefinition>");

  // Collision volumes stay out of the mesh and its materials.
  const std::string script = repository.Read("Materials/Crate.material");
  EXPECT_NE(script.find("material Crate_Crate\r\n"), std::string::npos);
  EXPECT_NE(script.find("material Crate_Plate\r\n"), std::string::npos);
  EXPECT_EQ(script.find("Ghost"), std::string::npos);
  EXPECT_NE(repository.Read("Physics/Crate.physics").find("<rigid_body sid=\"Crate.mesh_SubMesh0\">"), std::string::npos);
}

TEST(AssetExport, WithoutCollisionVolumesThereIsNoPhysics) {
  TRepository repository;
  const std::string scene = CrateDocument(false);
  TAssetRun exporter = repository.Exporter("Crate", "");
  exporter.Export(scene);
  EXPECT_FALSE(repository.Exists("Physics/Crate.physics"));
  const std::string definition = repository.Read("AssetDefinitions/Crate_Mesh.asset");
  EXPECT_EQ(definition.find("Physics"), std::string::npos);
  EXPECT_NE(definition.find("  <Category />\r\n"), std::string::npos) << "an empty category is an empty element";
}

TEST(AssetExport, AnAllCollisionSceneStillWritesEverything) {
  TRepository repository;
  const std::string scene = "<scene><primitives>" + Box("vdcv_a", "none") + Box("vdcv_b", "none", 4) + "</primitives></scene>";
  TAssetRun exporter = repository.Exporter();
  exporter.Export(scene);
  EXPECT_TRUE(repository.Exists("Meshes/Crate.mesh"));
  EXPECT_EQ(repository.Read("Materials/Crate.material"), "");
  EXPECT_EQ(repository.Read("Physics/Crate.physics").find("<shape>") != std::string::npos, true);
  EXPECT_TRUE(repository.Exists("AssetDefinitions/Crate_Material.asset"));
  // The mesh holds no geometry: header, mesh chunk, skeleton flag and bounds only.
  EXPECT_EQ(repository.Read("Meshes/Crate.mesh").size(), 66u);
}

TEST(AssetExport, MissingFoldersStopTheExportBeforeAnythingIsWritten) {
  TRepository repository(false);
  const std::string scene = CrateDocument();
  TAssetRun exporter = repository.Exporter();
  EXPECT_EQ(ErrorOf([&] { exporter.Export(scene); }),
            "The repository has no folder " + NativePath(repository.Root + "/Meshes") + ".");
  EXPECT_FALSE(std::filesystem::exists(repository.Root)) << "nothing was written";

  std::filesystem::create_directories(repository.Root + "/Meshes");
  std::filesystem::create_directories(repository.Root + "/AssetDefinitions");
  TAssetRun second = repository.Exporter();
  EXPECT_EQ(ErrorOf([&] { second.Export(CrateDocument()); }),
            "The repository has no folder " + NativePath(repository.Root + "/Physics") + ".");
  EXPECT_FALSE(repository.Exists("Meshes/Crate.mesh"));
  EXPECT_FALSE(std::filesystem::exists(repository.Root + "/Materials")) << "no folder was made either";
  for (const auto& entry : std::filesystem::recursive_directory_iterator(repository.Root))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

TEST(AssetExport, AssetNamesWithBlanksAndDirectories) {
  TRepository repository;
  std::filesystem::create_directories(repository.Root + "/Meshes/sub");
  std::filesystem::create_directories(repository.Root + "/Physics/sub");
  std::filesystem::create_directories(repository.Root + "/AssetDefinitions/sub");
  const std::string scene = CrateDocument();
  TAssetRun exporter = repository.Exporter("sub/Big Crate");
  exporter.Export(scene);
  EXPECT_TRUE(repository.Exists("Meshes/sub/Big Crate.mesh"));
  EXPECT_TRUE(repository.Exists("Materials/sub/Big Crate.material")) << "where the definition points";
  EXPECT_TRUE(repository.Exists("Textures/wood.jpg"));
  EXPECT_TRUE(repository.Exists("Physics/sub/Big Crate.physics"));
  const std::string definition = repository.Read("AssetDefinitions/sub/Big Crate_Mesh.asset");
  EXPECT_NE(definition.find("<Name>Big Crate_Mesh</Name>"), std::string::npos);
  EXPECT_NE(definition.find("<Description>sub/Big Crate</Description>"), std::string::npos);
  EXPECT_NE(definition.find("<TargetFile>Meshes\\sub\\Big Crate.mesh</TargetFile>"), std::string::npos);
  EXPECT_NE(repository.Read("Physics/sub/Big Crate.physics").find("sid=\"Big Crate.mesh_SubMesh0\""), std::string::npos);
  EXPECT_NE(repository.Read("Materials/sub/Big Crate.material").find("material sub/Big Crate_Crate\r\n"), std::string::npos);
}

#ifndef _WIN32
TEST(AssetExport, RepositoryPathsTakeOneDelimiter) {
  EXPECT_EQ(AssetPaths("A", "/data/repo").MeshFile(), "/data/repo/Meshes/A.mesh");
  const TAssetLayout layout = AssetPaths("A", "/data/repo/");
  EXPECT_EQ(layout.MeshFile(), "/data/repo/Meshes/A.mesh");
  EXPECT_EQ(layout.PhysicsFile(), "/data/repo/Physics/A.physics");
  EXPECT_EQ(layout.MeshDefinitionFile(), "/data/repo/AssetDefinitions/A_Mesh.asset");
  EXPECT_EQ(layout.MaterialDefinitionFile(), "/data/repo/AssetDefinitions/A_Material.asset");
  EXPECT_EQ(layout.MeshTarget(), "Meshes\\A.mesh") << "definitions keep backslashes everywhere";
  EXPECT_EQ(layout.MaterialTarget(), "Materials\\A.material");
  EXPECT_EQ(layout.MaterialDefinitionTarget(), "AssetDefinitions\\A_Material.asset");
  EXPECT_EQ(layout.PhysicsTarget(), "Physics\\A.physics");
}
#else
// On Windows the repository takes a backslash unless it already ends in one;
// a slash does not count, and Windows reads the "/\\" that follows from it as
// one delimiter. An empty repository starts every path at the drive's root.
TEST(AssetExport, RepositoryPathsTakeOneDelimiter) {
  EXPECT_EQ(AssetPaths("A", "C:\\data\\repo").MeshFile(), "C:\\data\\repo\\Meshes\\A.mesh");
  TAssetLayout layout = AssetPaths("A", "C:\\data\\repo\\");
  EXPECT_EQ(layout.MeshFile(), "C:\\data\\repo\\Meshes\\A.mesh");
  EXPECT_EQ(layout.PhysicsFile(), "C:\\data\\repo\\Physics\\A.physics");
  EXPECT_EQ(layout.MeshDefinitionFile(), "C:\\data\\repo\\AssetDefinitions\\A_Mesh.asset");
  EXPECT_EQ(layout.MaterialDefinitionFile(), "C:\\data\\repo\\AssetDefinitions\\A_Material.asset");
  layout = AssetPaths("A", "");
  EXPECT_EQ(layout.MeshFile(), "\\Meshes\\A.mesh");
  EXPECT_EQ(layout.MaterialDefinitionFile(), "\\AssetDefinitions\\A_Material.asset");
  layout = AssetPaths("A", "C:/data/repo/");
  EXPECT_EQ(layout.MeshFile(), "C:/data/repo/\\Meshes\\A.mesh");
  layout = AssetPaths("sub\\B", "D:\\assets");
  EXPECT_EQ(layout.MeshFile(), "D:\\assets\\Meshes\\sub\\B.mesh");
  EXPECT_EQ(layout.MeshTarget(), "Meshes\\sub\\B.mesh");
  EXPECT_EQ(layout.MaterialDefinitionTarget(), "AssetDefinitions\\sub\\B_Material.asset");
}
#endif

// One letter-case rule: the files keep the name as written, the lock and the
// mark of the temporary files fold it, as Windows takes both for one asset.
TEST(AssetLayout, TheFilesKeepTheLetterCaseTheLockAndTheMarkFoldIt) {
  const std::string root = NativePath("/r");
  const TAssetLayout layout(root, "Props/Big \xC4pfel");
  EXPECT_EQ(layout.MeshFile(), NativePath("/r/Meshes/Props/Big \xC4pfel.mesh"));
  EXPECT_EQ(layout.TextureFile("wood.jpg"), NativePath("/r/Textures/wood.jpg")) << "textures are shared and flat";
  EXPECT_EQ(layout.TextureTarget("wood.jpg"), "Textures\\wood.jpg");
  EXPECT_EQ(layout.MeshDefinitionTarget(), "AssetDefinitions\\Props\\Big \xC4pfel_Mesh.asset");
  EXPECT_EQ(layout.FoldedName(), "props\\big \xE4pfel");
  EXPECT_EQ(layout.LockFile(), NativePath("/r/AssetDefinitions/.props.big \xE4pfel.lock"));
  EXPECT_EQ(TAssetLayout(root, "PROPS\\big \xE4PFEL").LockFile(), layout.LockFile());
  EXPECT_NE(TAssetLayout(root, "Props/Big Apfel").LockFile(), layout.LockFile());
}

TEST(AssetExport, ASecondExportOverwritesAndKeepsTexturesOnce) {
  TRepository repository;
  TAssetRun first = repository.Exporter();
  first.Export(CrateDocument());
  TTempDir::Write(repository.Sources + "metal plate.png", "newer");
  TAssetRun second = repository.Exporter();
  second.Export(CrateDocument());
  EXPECT_EQ(repository.Read("Textures/metal_plate.png"), "newer");
  EXPECT_EQ(second.TextureFiles(), (std::vector<std::string>{"wood.jpg", "metal_plate.png"}));
}

TEST(AssetExport, MissingTexturesAreWarnedAndLeftOutOfTheDefinition) {
  TRepository repository;
  std::filesystem::remove(repository.Sources + "wood.jpg");
  std::vector<std::string> warnings;
  TAssetRun exporter =
      repository.Exporter("Crate", "Props", [&](const std::string& warning) { warnings.push_back(warning); });
  exporter.Export(CrateDocument());
  EXPECT_EQ(warnings, (std::vector<std::string>{"Texture file \"" + repository.Sources + "wood.jpg\" not found."}));
  EXPECT_EQ(exporter.TextureFiles(), (std::vector<std::string>{"metal_plate.png"}));
  EXPECT_EQ(repository.Read("AssetDefinitions/Crate_Material.asset").find("wood"), std::string::npos);
}

// What went wrong before a failure is still reported: the warnings go out as
// they are met, not with a result that a failure never delivers.
TEST(AssetExport, WarningsMetBeforeAFailureAreReported) {
  TRepository repository;
  std::filesystem::remove(repository.Sources + "wood.jpg");
  std::vector<std::string> warnings;
  TAssetRun exporter =
      repository.Exporter("Crate", "Props", [&](const std::string& warning) { warnings.push_back(warning); });
  const TFileFaults faults(TFileFault::ffCreate, "Crate_Material.asset");
  EXPECT_EQ(ErrorOf([&] { exporter.Export(CrateDocument()); }).substr(0, 19), "Cannot create file ");
  EXPECT_EQ(faults.Hits(), 1);
  EXPECT_EQ(warnings, (std::vector<std::string>{"Texture file \"" + repository.Sources + "wood.jpg\" not found."}));
  EXPECT_TRUE(exporter.Result.WrittenFiles.empty());
  EXPECT_FALSE(repository.Exists("Meshes/Crate.mesh"));
}

// The dialog calls the job directly: the repository's rules hold there
// as on the command line, before anything is written.
TEST(AssetExport, TheExporterItselfRefusesUnfitNamesAndASecondExportOfTheAsset) {
  TRepository repository;
  for (const auto& [asset, category, message] : std::vector<std::tuple<std::string, std::string, std::string>>{
           {"", "Props", "Please specify an asset name."},
           {"./Crate", "Props", "The asset name \"./Crate\" has an empty or \".\" part."},
           {"../Crate", "Props",
            "The asset name \"../Crate\" leads out of the repository: it may not be an absolute path, start with a "
            "drive or hold a \"..\" folder."},
           {"Crate", "Pro\x02ps", "The category \"Pro\\x02ps\" holds a control character."}}) {
    TAssetRun exporter = repository.Exporter(asset, category);
    EXPECT_EQ(ErrorOf([&] { exporter.Export(CrateDocument()); }), message);
  }
  EXPECT_TRUE(std::filesystem::is_empty(repository.Root + "/Meshes"));
  EXPECT_FALSE(std::filesystem::exists(repository.Root + "/Materials"));

  const auto running = TFileLock::TryAcquire(repository.Root + "/AssetDefinitions/.crate.lock");
  TAssetRun second = repository.Exporter();
  EXPECT_EQ(ErrorOf([&] { second.Export(CrateDocument()); }),
            "The asset \"Crate\" is being exported by another process.");
  EXPECT_TRUE(std::filesystem::is_empty(repository.Root + "/Meshes"));
}

// Windows, where the repository is read too, takes names that differ in
// letter case alone for one asset: their exports must keep each other out,
// or one's clean-up removes the other's temporary files.
TEST(AssetExport, NamesDifferingOnlyInLetterCaseShareOneLock) {
  TRepository repository;
  for (const char* folder : {"AssetDefinitions/Props", "AssetDefinitions/props", "Meshes/Props", "Meshes/props"})
    std::filesystem::create_directories(repository.Root + "/" + folder);
  for (const auto& [held, others] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"Level", {"level", "LEVEL", "lEvEl"}},
           {"Props/Level", {"props/level", "props\\LEVEL", "Props\\level"}},
           {"\xC4pfel", {"\xE4pfel", "\xC4PFEL"}}}) {
    SCOPED_TRACE(held);
    const auto first = TFileLock::TryAcquire(TAssetLayout(repository.Root, held).LockFile());
    ASSERT_TRUE(first);
    for (const std::string& other : others) {
      TAssetRun second = repository.Exporter(other);
      EXPECT_EQ(ErrorOf([&] { second.Export(CrateDocument(false)); }),
                "The asset \"" + other + "\" is being exported by another process.");
    }
    // Names that differ in more than letter case are other assets.
    TAssetRun another = repository.Exporter(held + "s");
    EXPECT_NO_THROW(another.Export(CrateDocument(false)));
  }
  // The multiplication and division signs are no pair of letters.
  const auto times = TFileLock::TryAcquire(TAssetLayout(repository.Root, "a\xD7").LockFile());
  TAssetRun divided = repository.Exporter("a\xF7");
  EXPECT_NO_THROW(divided.Export(CrateDocument(false)));
}

TEST(AssetExport, ANameDifferingOnlyInLetterCaseFromAnAssetInTheRepositoryIsWarnedAbout) {
  TRepository repository;
  const auto exportAs = [&](const std::string& asset) {
    std::vector<std::string> warnings;
    repository.Exporter(asset, "Props", [&](const std::string& warning) { warnings.push_back(warning); })
        .Export(CrateDocument());
    return warnings;
  };
  EXPECT_EQ(exportAs("Level"), std::vector<std::string>{});
  EXPECT_EQ(exportAs("Level"), std::vector<std::string>{});
  EXPECT_EQ(exportAs("LEVEL"), (std::vector<std::string>{"The asset name \"LEVEL\" differs only in letter case from "
                                                         "the asset \"Level\" in the repository; Windows takes them "
                                                         "for one asset."}));
#ifndef _WIN32
  // Folders are matched letter case aside too, and every such asset is named.
  for (const char* folder : {"Props", "props", "PROPS"})
    for (const char* kind : {"Meshes/", "AssetDefinitions/", "Physics/"})
      std::filesystem::create_directories(repository.Root + "/" + kind + folder);
  EXPECT_EQ(exportAs("Props/Crate"), std::vector<std::string>{});
  EXPECT_EQ(exportAs("props/CRATE"),
            (std::vector<std::string>{"The asset name \"props/CRATE\" differs only in letter case from the asset "
                                      "\"Props/Crate\" in the repository; Windows takes them for one asset."}));
  EXPECT_EQ(exportAs("PROPS/crate"),
            (std::vector<std::string>{"The asset name \"PROPS/crate\" differs only in letter case from the asset "
                                     "\"Props/Crate\" in the repository; Windows takes them for one asset.",
                                     "The asset name \"PROPS/crate\" differs only in letter case from the asset "
                                     "\"props/CRATE\" in the repository; Windows takes them for one asset."}));
#endif
}

// Textures/ is shared by every asset and a texture is placed by its name
// alone: replacing one with other bytes changes the other assets using it.
TEST(SharedTextures, ReplacingATextureWithOtherBytesNamesTheOtherAssetsListingIt) {
  TRepository repository;
  for (const char* kind : {"Meshes/", "AssetDefinitions/", "Physics/"})
    std::filesystem::create_directories(repository.Root + "/" + kind + "Props");
  const auto exportAs = [&](const std::string& asset) {
    std::vector<std::string> warnings;
    repository.Exporter(asset, "Props", [&](const std::string& warning) { warnings.push_back(warning); })
        .Export(CrateDocument());
    return warnings;
  };
  // The same bytes under the same name: nothing to say.
  EXPECT_EQ(exportAs("Alpha"), std::vector<std::string>{});
  EXPECT_EQ(exportAs("Props/Beta"), std::vector<std::string>{});
  // Definitions that do not list the texture itself are not named: one
  // listing another file starting with its name, and a mesh definition.
  TTempDir::Write(repository.Root + "/AssetDefinitions/Near_Material.asset",
                  "<TargetFile>Textures\\wood.jpg.old</TargetFile><TargetFile>Textures\\wood</TargetFile>");
  TTempDir::Write(repository.Root + "/AssetDefinitions/Other_Mesh.asset", "<TargetFile>Textures\\wood.jpg</TargetFile>");
  // One written elsewhere in other letter case, escaped: Windows finds the file by it.
  TTempDir::Write(repository.Root + "/AssetDefinitions/Hand_Material.asset",
                  "<TargetFile>Textures\\WOOD&#46;JPG</TargetFile>");

  TTempDir::Write(repository.Sources + "wood.jpg", "other wood");
  EXPECT_EQ(exportAs("Delta"), (std::vector<std::string>{"Texture wood.jpg replaces a different file of that name "
                                                          "used by Alpha, Hand, Props/Beta."}));
  EXPECT_EQ(repository.Read("Textures/wood.jpg"), "other wood");
  // The asset's own definition is not another user.
  TTempDir::Write(repository.Sources + "wood.jpg", "wood");
  EXPECT_EQ(exportAs("Alpha"), (std::vector<std::string>{"Texture wood.jpg replaces a different file of that name "
                                                          "used by Delta, Hand, Props/Beta."}));
  EXPECT_EQ(exportAs("Alpha"), std::vector<std::string>{});
}

TEST(SharedTextures, ATextureThatNoOtherDefinitionListsIsStillWarnedAbout) {
  // The source holds "wood": longer, shorter, as long with its last byte
  // other, and empty, each is another file; only the same bytes are not.
  for (const std::string earlier : {"wood!", "woo", "wooe", "", "wood"}) {
    SCOPED_TRACE(earlier);
    TRepository repository;
    std::filesystem::create_directories(repository.Root + "/Textures");
    TTempDir::Write(repository.Root + "/Textures/wood.jpg", earlier);
    TTempDir::Write(repository.Root + "/Textures/metal_plate.png", "metal");
    std::vector<std::string> warnings;
    repository.Exporter("Crate", "Props", [&](const std::string& warning) { warnings.push_back(warning); })
        .Export(CrateDocument());
    if (earlier == "wood")
      EXPECT_EQ(warnings, std::vector<std::string>{});
    else
      EXPECT_EQ(warnings, std::vector<std::string>{"Texture wood.jpg replaces a different file of that name."});
    EXPECT_EQ(repository.Read("Textures/wood.jpg"), "wood");
  }
}

// Exports running side by side in one process (the batch) claim their
// textures: two assets bringing different files under one name give one
// warning between them, whichever looked first and whichever committed
// first, and the repository holds one of the two files whole.
TEST(SharedTextures, ExportsSideBySideWarnOnceOfOneNameBroughtWithOtherBytes) {
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    TRepository repository;
    const std::string other = repository.Dir.File("other") + "/";
    std::filesystem::create_directories(other);
    TTempDir::Write(other + "wood.jpg", "other wood");
    TTempDir::Write(other + "metal plate.png", "metal");
    TTextureClaims claims;
    std::mutex mutex;
    std::vector<std::string> warnings;
    const auto sink = [&](const std::string& warning) {
      const std::lock_guard<std::mutex> hold(mutex);
      warnings.push_back(warning);
    };
    TAssetRun alpha = repository.Exporter("Alpha", "Props", sink), beta = repository.Exporter("Props/Beta", "Props", sink);
    std::filesystem::create_directories(repository.Root + "/Meshes/Props");
    std::filesystem::create_directories(repository.Root + "/AssetDefinitions/Props");
    std::filesystem::create_directories(repository.Root + "/Physics/Props");
    beta.Options.TextureSource = [other] { return other; };
    alpha.Options.TextureClaims = beta.Options.TextureClaims = &claims;
    const std::string scene = CrateDocument();
    std::thread first([&] { alpha.Export(scene); });
    std::thread second([&] { beta.Export(scene); });
    first.join();
    second.join();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(warnings[0] == "Texture wood.jpg replaces a different file of that name used by Alpha." ||
                warnings[0] == "Texture wood.jpg replaces a different file of that name used by Props/Beta.")
        << warnings[0];
    const std::string wood = repository.Read("Textures/wood.jpg");
    EXPECT_TRUE(wood == "wood" || wood == "other wood") << wood;
    EXPECT_EQ(repository.Read("Textures/metal_plate.png"), "metal");
    // The job tells where each texture came from, in the order of the files.
    for (const TAssetRun* run : {&alpha, &beta}) {
      ASSERT_EQ(run->Result.TextureSources.size(), 2u);
      EXPECT_EQ(TTempDir::Read(run->Result.TextureSources[0]), run == &alpha ? "wood" : "other wood");
      EXPECT_EQ(TTempDir::Read(run->Result.TextureSources[1]), "metal");
    }
  }
}

// A front end may stop the export at a warning (raising from the sink): the
// texture's warning comes before anything is committed.
TEST(SharedTextures, AnExportStoppedAtTheWarningLeavesTheRepositoryAsItWas) {
  TRepository repository;
  repository.Exporter("Alpha").Export(CrateDocument());
  const std::vector<std::string> before = TTempDir::Tree(repository.Root);
  const std::string mesh = repository.Read("Meshes/Alpha.mesh");
  TTempDir::Write(repository.Sources + "wood.jpg", "other wood");
  TAssetRun exporter =
      repository.Exporter("Alpha", "Props", [](const std::string& warning) { throw TException(warning); });
  EXPECT_EQ(ErrorOf([&] { exporter.Export(CrateDocument(false)); }),
            "Texture wood.jpg replaces a different file of that name.");
  EXPECT_EQ(repository.Read("Textures/wood.jpg"), "wood");
  EXPECT_EQ(repository.Read("Meshes/Alpha.mesh"), mesh);
  EXPECT_EQ(TTempDir::Tree(repository.Root), before);
}

// Windows, where the platform loads the files, takes "Wood.png" and
// "wood.png" for one file; so it cannot hold the two sources this needs.
#ifndef _WIN32
TEST(SharedTextures, NamesOfOneAssetDifferingOnlyInLetterCaseArePlacedOnceUnlessTheirBytesAgree) {
  for (const bool sameBytes : {false, true}) {
    SCOPED_TRACE(sameBytes);
    TRepository repository;
    TTempDir::Write(repository.Sources + "Wood.png", "wood");
    TTempDir::Write(repository.Sources + "wOOd.png", sameBytes ? "wood" : "other wood");
    std::string document = CrateDocument();
    document.replace(document.find("wood.jpg"), 8, "Wood.png");
    document.replace(document.find("metal plate.png"), 15, "wOOd.png");
    std::vector<std::string> warnings;
    TAssetRun exporter =
        repository.Exporter("Crate", "Props", [&](const std::string& warning) { warnings.push_back(warning); });
    exporter.Export(document);
    if (sameBytes) {
      EXPECT_EQ(warnings, std::vector<std::string>{});
      EXPECT_EQ(exporter.TextureFiles(), (std::vector<std::string>{"Wood.png", "wOOd.png"}));
    } else {
      EXPECT_EQ(warnings, (std::vector<std::string>{"Texture files \"Wood.png\" and \"wOOd.png\" are both placed as "
                                                    "Wood.png; only the first is copied."}));
      EXPECT_EQ(exporter.TextureFiles(), std::vector<std::string>{"Wood.png"});
      EXPECT_FALSE(repository.Exists("Textures/wOOd.png"));
    }
    EXPECT_EQ(repository.Read("Textures/Wood.png"), "wood");
  }
}
#endif
