// Documents built to hurt: deep nesting, huge counts and sizes, numbers out of
// range, non-finite coordinates, names that would corrupt our files and
// texture paths that try to leave the texture folder. Each must end in a
// clear error or a correct export, never a crash, and never a half-written file.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>     // AT_FDCWD
#include <sys/stat.h>  // mkfifo
#endif

#include <atomic>
#include <chrono>
#include <cstdio>  // renameat2
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../support/ErrorOf.h"
#include "../support/MeshExport.h"
#include "../support/SmallStack.h"
#include "../support/TempDir.h"
#include "mesh/QZOgreMaterialWriter.h"
#include "mesh/QZOgreMeshExporterCl.h"
#include "scene/uXMLSceneReader.h"
#include "xml/uXMLReader.h"

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kWindowsThreadStack = 1024 * 1024;

std::string Repeat(std::string_view text, std::size_t count) {
  std::string result;
  result.reserve(text.size() * count);
  for (std::size_t i = 0; i < count; ++i) result += text;
  return result;
}

std::unique_ptr<TScene> ReadScene(const std::string& text, float scale = 1.0f) {
  TXMLSceneReader reader;
  reader.Scale = scale;
  return reader.ReadSceneText(text);
}

std::string Layer(const std::string& file, const std::string& blend = "replace") {
  return "<layer type=\"texture\" blend=\"" + blend + "\"><texture file=\"" + file + "\" /></layer>";
}

std::string Material(const std::string& name, const std::string& layers, const std::string& id = "m") {
  return "<material id=\"" + id + "\" name=\"" + name + "\" used=\"true\">" + layers + "</material>";
}

// A scene of one primitive "P" with vertices a, b, c at the given x values and
// one triangle of material "m" with UVs for `layers` layers.
std::string Scene(const std::string& materials, int layers = 1, const std::string& ax = "0",
                  const std::string& extra = "") {
  std::string uvs;
  for (int l = 0; l < layers; ++l) uvs += " u" + std::to_string(l) + "=\"0\" v" + std::to_string(l) + "=\"0\"";
  return "<scene><materials><category name=\"C\">" + materials +
         "</category></materials><primitives><primitive id=\"p\" name=\"P\" type=\"userdefined\" visible=\"true\" "
         "snap=\"none\" autoUV=\"false\"><vertices><vertex id=\"a\" x=\"" + ax +
         "\" y=\"0\" z=\"0\" /><vertex id=\"b\" x=\"1\" y=\"0\" z=\"0\" /><vertex id=\"c\" x=\"0\" y=\"1\" z=\"0\" />"
         "</vertices><polygons><poly mid=\"m\"><vertex vid=\"a\"" + uvs + " /><vertex vid=\"b\"" + uvs +
         " /><vertex vid=\"c\"" + uvs + " /></poly></polygons></primitive></primitives>" + extra + "</scene>";
}

// Every regular file below the folder, as paths relative to it.
std::vector<std::string> FilesBelow(const fs::path& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(folder).generic_string());
  std::sort(files.begin(), files.end());
  return files;
}

// An export into dir/out/Meshes/A.mesh with the editor's textures in dir/editor/.
struct TExport {
  TTempDir Dir;
  std::string Sources = Dir.File("editor") + "/";
  std::string Mesh = Dir.File("out/Meshes/A.mesh");
  std::vector<std::string> Warnings;

  TExport() {
    fs::create_directories(Sources);
    fs::create_directories(Dir.File("out/Meshes"));
  }
  void Run(TScene& scene) { ExportMesh(scene, Mesh, Sources, Warnings); }
  std::string Error(const std::string& document) {
    auto scene = ReadScene(document);
    return ErrorOf([&] { Run(*scene); });
  }
};
}  // namespace

// ---------------------------------------------------------------------------

TEST(HostileNesting, AMillionNestedElementsParseAndFreeOnAWindowsThreadStack) {
  constexpr int depth = 1000000;
  const std::string text = Repeat("<n>", depth) + Repeat("</n>", depth);
  int levels = 0;
  RunOnStack(kWindowsThreadStack, [&] {
    std::unique_ptr<TXMLNode> root = TXMLStringReader(text).ReadRootNode();
    for (const TXMLNode* node = root.get(); node; node = node->ChildCount() > 0 ? node->GetChild(0) : nullptr)
      ++levels;
    root.reset();  // freed here, on the small stack
  });
  EXPECT_EQ(levels, depth);
}

TEST(HostileNesting, AMillionUnclosedElementsAreAClearError) {
  const std::string text = Repeat("<n>", 1000000);
  std::string error;
  RunOnStack(kWindowsThreadStack, [&] { error = ErrorOf([&] { TXMLStringReader(text).ReadRootNode(); }); });
  EXPECT_EQ(error, "Closing tag missing for opening tag n");
}

TEST(HostileNesting, TheSceneReaderPassesDeepUnknownElementsOnASmallStack) {
  constexpr int depth = 1000000;
  const std::string text = "<scene><primitives>" + Repeat("<deep>", depth) + Repeat("</deep>", depth) +
                           "</primitives></scene>";
  int primitives = -1;
  RunOnStack(kWindowsThreadStack, [&] { primitives = ReadScene(text)->PrimitiveCount(); });
  EXPECT_EQ(primitives, 0);
}

TEST(HostileNesting, HandBuiltChainsAreFreedWithoutRecursion) {
  // Each node of the chain is the root of its own tree, added to the one
  // above: freeing the top must not descend the chain on the call stack.
  constexpr int depth = 3000;
  RunOnStack(64 * 1024, [&] {
    std::unique_ptr<TXMLNode> chain = std::make_unique<TXMLNode>("n", 0);
    for (int i = 1; i < depth; ++i) {
      auto above = std::make_unique<TXMLNode>("n", i);
      above->AddChild(std::move(chain));
      chain = std::move(above);
    }
    chain.reset();
  });
}

TEST(HostileSizes, TextBetweenManyChildrenIsJoinedInLinearMemory) {
  // Text after each of 200,000 children: every piece must not copy all before it.
  const std::string text = "<a>" + Repeat("x<b />", 200000) + "</a>";
  const std::unique_ptr<TXMLNode> root = TXMLStringReader(text).ReadRootNode();
  EXPECT_EQ(root->Text(), std::string(200000, 'x'));
  EXPECT_EQ(root->ChildCount(), 200000);
  EXPECT_LT(root->TreeBytes(), 40 * text.size());
}

TEST(HostileSizes, APolygonWith100000CornersIsCutForTheBinaryMeshAndWrittenWholeAsXml) {
  constexpr int corners = 100000;
  std::string vertices, poly;
  for (int i = 0; i < corners; ++i) {
    const std::string id = std::to_string(i);
    vertices += "<vertex id=\"" + id + "\" x=\"" + id + "\" y=\"" + std::to_string(i % 7) + "\" z=\"0\" />";
    poly += "<vertex vid=\"" + id + "\" u0=\"0\" v0=\"0\" />";
  }
  const std::string document = "<scene><materials><category name=\"C\">" + Material("M", Layer("t.png")) +
                               "</category></materials><primitives><primitive id=\"p\" name=\"P\" type=\"userdefined\" "
                               "visible=\"true\" snap=\"none\" autoUV=\"false\"><vertices>" + vertices +
                               "</vertices><polygons><poly mid=\"m\">" + poly +
                               "</poly></polygons></primitive></primitives></scene>";
  // The binary form's 16-bit indices take it in two sub-meshes of the
  // material. The zigzag has notches all along: its ears are cut in well
  // under a second, not in the cube of its corners.
  TExport exported;
  {
    auto scene = ReadScene(document);
    scene->CalculateNormals(66);
    TMeshExportOptions options;
    options.CopyTextures = false;
    options.MaterialDirectory = "../Materials";
    QZOgreMeshExporterT exporter(*scene, options);
    exporter.Export(exported.Mesh);
    const TShortIndexSubMeshes binary = exporter.BinarySubMeshes();
    const TSubMeshView& pieces = binary.SubMeshes;
    ASSERT_EQ(exporter.GetSubMeshes().size(), 1u) << "the model keeps the polygon whole";
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_LE(pieces[0]->Vertices.size(), 65536u);
    EXPECT_LE(pieces[1]->Vertices.size(), 65536u);
    EXPECT_GE(pieces[0]->Vertices.size() + pieces[1]->Vertices.size(), corners + 0u);
    EXPECT_EQ(pieces[0]->Faces.size() + pieces[1]->Faces.size(), corners - 2u);
    EXPECT_EQ(pieces[0]->Material, pieces[1]->Material);
  }
  EXPECT_GT(TTempDir::Read(exported.Mesh).size(), 100000u);

  // The XML form has 32-bit indices and takes it whole: corners - 2 faces.
  exported.Mesh = exported.Dir.File("out/Meshes/A.mesh.xml");
  auto scene = ReadScene(document);
  ASSERT_EQ(scene->GetPrimitive(0).GetPolygon(0).VertexCount(), corners);
  exported.Run(*scene);
  const std::string xml = TTempDir::Read(exported.Mesh);
  EXPECT_NE(xml.find("<faces count=\"" + std::to_string(corners - 2) + "\">"), std::string::npos);
  EXPECT_NE(xml.find("use32bitindexes=\"true\""), std::string::npos);
}

TEST(HostileSizes, AMaterialWith1000LayersExportsEveryUnit) {
  std::string layers;
  for (int i = 0; i < 1000; ++i) layers += Layer("t" + std::to_string(i) + ".png", i == 0 ? "replace" : "add");
  TExport exported;
  auto scene = ReadScene(Scene(Material("Many", layers), 1000));
  ASSERT_EQ(scene->GetMaterial(0).LayerCount(), 1000);
  exported.Run(*scene);
  const std::string script = TTempDir::Read(exported.Dir.File("out/Materials/A.material"));
  std::size_t units = 0;
  for (std::size_t at = script.find("texture_unit"); at != std::string::npos; at = script.find("texture_unit", at + 1))
    ++units;
  EXPECT_EQ(units, 1000u);
  EXPECT_NE(script.find("tex_coord_set 999\r\n"), std::string::npos);
  EXPECT_EQ(exported.Warnings.size(), 1000u);  // no texture files exist: each is reported, none stops the export
  EXPECT_GT(fs::file_size(exported.Mesh), 3 * 1000 * 8u);  // three vertices of 1000 UV pairs each
}

TEST(HostileSizes, MegabyteAttributeValuesAreCarriedThrough) {
  const std::string huge(4 * 1024 * 1024, 'n');
  TExport exported;
  auto scene = ReadScene("<scene><settings name=\"" + huge + "\" author=\"" + huge + "\" comments=\"\" "
                         "shadowOpacity=\"1\" />" + Scene(Material(huge, Layer(huge + ".png"))).substr(7));
  EXPECT_EQ(scene->Name.size(), huge.size());
  EXPECT_EQ(scene->GetMaterial(0).Name, huge);
  exported.Run(*scene);
  // A 4 MB texture name is no file name any file system takes: a warning, and nothing placed.
  ASSERT_EQ(exported.Warnings.size(), 1u);
  EXPECT_EQ(FilesBelow(exported.Dir.File("out")), (std::vector<std::string>{"Materials/A.material", "Meshes/A.mesh"}));
  EXPECT_GT(fs::file_size(exported.Mesh), huge.size());
}

TEST(HostileNumbers, IntegersBeyond32BitsAreRefusedByName) {
  const std::string settings = "<scene><settings name=\"S\" author=\"\" comments=\"\" shadowOpacity=\"";
  EXPECT_EQ(ErrorOf([&] { ReadScene(settings + "4294967296\" /></scene>"); }),
            "'4294967296' is not a valid integer value");
  EXPECT_EQ(ErrorOf([&] { ReadScene(settings + "-2147483649\" /></scene>"); }),
            "'-2147483649' is not a valid integer value");
  const std::string ambient = "1\"><ambient r=\"99999999999\" g=\"0\" b=\"0\" /></settings></scene>";
  EXPECT_EQ(ErrorOf([&] { ReadScene(settings + ambient); }), "'99999999999' is not a valid integer value");
  EXPECT_EQ(ErrorOf([&] { ReadScene("<scene><t>&#4294967296;</t></scene>"); }),
            "'4294967296' is not a valid integer value");
  const std::string light = "<scene><lights><light id=\"l\" type=\"point\" name=\"L\" active=\"true\" intensity=\"1\" ";
  EXPECT_EQ(ErrorOf([&] { ReadScene(light + "range=\"2147483648\" /></lights></scene>"); }),
            "'2147483648' is not a valid integer value");
  // In range as written, out of range once scaled.
  EXPECT_EQ(ErrorOf([&] { ReadScene(light + "range=\"2147483647\" /></lights></scene>", 10); }),
            "The range of light \"L\" is out of range.");
}

TEST(HostileNumbers, NonFiniteCoordinatesRefuseTheSceneNamingTheVertex) {
  // Not numbers in our grammar at all, or beyond the float range as written.
  for (const char* x : {"NaN", "nan", "INF", "-INF", "Infinity", "1e39", "-3.5e38"})
    EXPECT_EQ(ErrorOf([&] { ReadScene(Scene(Material("M", Layer("t.png")), 1, x)); }),
              "'" + std::string(x) + "' is not a valid floating point value")
        << x;
  // Finite as written, infinite once scaled.
  EXPECT_EQ(ErrorOf([&] { ReadScene(Scene(Material("M", Layer("t.png")), 1, "3e38"), 10); }),
            "Vertex \"a\" of primitive \"P\" has a coordinate that is not a finite number.");
  EXPECT_EQ(ErrorOf([&] { ReadScene(Scene(Material("M", Layer("t.png")), 1, "-3e37"), 100); }),
            "Vertex \"a\" of primitive \"P\" has a coordinate that is not a finite number.");
  EXPECT_EQ(ReadScene(Scene(Material("M", Layer("t.png")), 1, "3e37"), 10)->GetPrimitive(0).GetVertex(0).X, 3e38f);
  const std::string light =
      "<lights><light id=\"l\" type=\"point\" name=\"Lamp\" range=\"1\" active=\"true\" intensity=\"1\">"
      "<position x=\"0\" y=\"3e38\" z=\"0\" /></light></lights>";
  EXPECT_EQ(ErrorOf([&] { ReadScene("<scene>" + light + "</scene>", 10); }),
            "Light \"Lamp\" has a coordinate that is not a finite number.");
}

TEST(HostileNames, MaterialNamesWithLineBreaksOrZeroBytesAreRefusedBeforeAnyFile) {
  for (const auto& [written, shown] : {std::pair{"Stone&#10;wall", "Stone\\nwall"}, std::pair{"A&#13;", "A\\r"},
                                       std::pair{"&#13;&#10;", "\\r\\n"}, std::pair{"zero&#0;byte", "zero\\0byte"}}) {
    TExport exported;
    TTempDir::Write(exported.Mesh, "earlier");
    EXPECT_EQ(exported.Error(Scene(Material(written, Layer("t.png")))),
              "Material \"" + std::string(shown) + "\" has a line break or a zero byte in its name.");
    EXPECT_EQ(TTempDir::Read(exported.Mesh), "earlier");
    EXPECT_EQ(FilesBelow(exported.Dir.File("out")), std::vector<std::string>{"Meshes/A.mesh"});
  }
  // Blanks and tabs stay: the material reader takes the rest of the line.
  TExport exported;
  auto scene = ReadScene(Scene(Material("Stone wall&#9;2", Layer("t.png"))));
  exported.Run(*scene);
  EXPECT_NE(TTempDir::Read(exported.Dir.File("out/Materials/A.material")).find("material Stone wall\t2\r\n"),
            std::string::npos);
  // An unused material never reaches a file, so its name does not matter.
  TExport unused;
  scene = ReadScene(Scene(Material("M", Layer("t.png")) + Material("Bad&#10;", Layer("u.png"), "u")));
  EXPECT_NO_THROW(unused.Run(*scene));
}

TEST(HostileNames, TextureNamesThatWouldCorruptTheScriptOrOpenADeviceAreRefused) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a&#10;b.png", "Texture file \"a\\nb.png\" has a line break or a zero byte in its name."},
      {"a.png&#0;.jpg", "Texture file \"a.png\\0.jpg\" has a line break or a zero byte in its name."},
      {"walls/", "Texture file \"walls/\" has no file name."},
      {"..", "Texture file \"..\" has no file name."},
      {"a\\..", "Texture file \"a\\..\" has no file name."},
      {"C:", "Texture file \"C:\" has no file name."},
      {"CON", "Texture file \"CON\" has a name reserved for a device."},
      {"nul.png", "Texture file \"nul.png\" has a name reserved for a device."},
      {"x/Com1.tar.gz", "Texture file \"x/Com1.tar.gz\" has a name reserved for a device."},
      {"LPT9", "Texture file \"LPT9\" has a name reserved for a device."},
      {"C:\\aux.", "Texture file \"C:\\aux.\" has a name reserved for a device."},
      {"conout$.bmp", "Texture file \"conout$.bmp\" has a name reserved for a device."},
      // Superscript digits, which Windows reads as digits here, in UTF-8 and in Latin-1.
      {"COM\xC2\xB9.png", "Texture file \"COM\xC2\xB9.png\" has a name reserved for a device."},
      {"x\\lpt\xC2\xB2", "Texture file \"x\\lpt\xC2\xB2\" has a name reserved for a device."},
      {"Com\xC2\xB3.tar.dds", "Texture file \"Com\xC2\xB3.tar.dds\" has a name reserved for a device."},
      {"LPT\xB9.png", "Texture file \"LPT\xB9.png\" has a name reserved for a device."},
      // Characters that Windows refuses in a file name; a colon ends the folder part.
      {"wood&quot;s.png", "Texture file \"wood\"s.png\" has a character that Windows does not allow in file names "
                          "(\" < > | ? * or a tab)."},
      {"a&lt;b.png", "Texture file \"a<b.png\" has a character that Windows does not allow in file names (\" < > | "
                     "? * or a tab)."},
      {"a&gt;b.png", "Texture file \"a>b.png\" has a character that Windows does not allow in file names (\" < > | "
                     "? * or a tab)."},
      {"a|b.png", "Texture file \"a|b.png\" has a character that Windows does not allow in file names (\" < > | ? * "
                  "or a tab)."},
      {"what?.png", "Texture file \"what?.png\" has a character that Windows does not allow in file names (\" < > | "
                    "? * or a tab)."},
      {"dir\\*.png", "Texture file \"dir\\*.png\" has a character that Windows does not allow in file names (\" < > "
                      "| ? * or a tab)."},
      {"tab&#9;bed.png", "Texture file \"tab\tbed.png\" has a character that Windows does not allow in file names "
                         "(\" < > | ? * or a tab)."},
  };
  for (const auto& [file, message] : cases) {
    TExport exported;
    EXPECT_EQ(exported.Error(Scene(Material("M", Layer(file)))), message) << file;
    EXPECT_EQ(FilesBelow(exported.Dir.File("out")), std::vector<std::string>{}) << file;
  }
  // Names that only resemble devices are files like any other.
  for (const char* file : {"console.png", "nul_map.png", "com10.png", "lpt.png", "CON_.png", "aux-1.jpg",
                           "COM\xC2\xB9" "0.png", "LPT\xC2\xB4.png", "com\xB2\xB3.png", "odd?\\folder.png"}) {
    TExport exported;
    auto scene = ReadScene(Scene(Material("M", Layer(file))));
    EXPECT_NO_THROW(exported.Run(*scene)) << file;
  }
}

// A texture name is read only inside the editor's texture folder: names that
// lead out of it (on every platform, as the scene may come from Windows) are
// warned about and not read, and the names inside are copied flat.
#ifndef _WIN32
TEST(HostilePaths, TexturesAreReadOnlyInsideTheTextureFolderAndCopiedFlat) {
  TExport exported;
  // Sources placed where each path leads from the editor's texture folder.
  const fs::path editor = exported.Sources;
  const std::vector<std::pair<std::string, fs::path>> textures = {
      {"../../up.png", editor / "../../up.png"},
      {"..\\..\\back.png", editor / "../../back.png"},
      {"/abs/root.png", editor / "abs/root.png"},
      {"C:\\Windows\\drive.png", editor / "C:/Windows/drive.png"},
      {"D:relative.png", editor / "D:relative.png"},
      {"\\\\server\\share\\unc.png", editor / "server/share/unc.png"},
      {"sub/.../dots.png", editor / "sub/.../dots.png"},
      {"sub/inside.png", editor / "sub/inside.png"},
      {"sub\\deeper\\windows.png", editor / "sub/deeper/windows.png"},
  };
  std::string layers;
  for (const auto& [file, source] : textures) {
    layers += Layer(file, layers.empty() ? "replace" : "add");
    fs::create_directories(source.parent_path());
    TTempDir::Write(source.string(), "from " + file);
  }
  const auto before = FilesBelow(exported.Dir.Path());
  auto scene = ReadScene(Scene(Material("M", layers), static_cast<int>(textures.size())));
  exported.Run(*scene);
  auto after = FilesBelow(exported.Dir.Path());
  std::vector<std::string> added;
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
  EXPECT_EQ(added, (std::vector<std::string>{"out/Materials/A.material", "out/Meshes/A.mesh", "out/Textures/inside.png",
                                             "out/Textures/windows.png"}));
  EXPECT_EQ(TTempDir::Read(exported.Dir.File("out/Textures/windows.png")), "from sub\\deeper\\windows.png");
  ASSERT_EQ(exported.Warnings.size(), 7u);
  for (std::size_t i = 0; i < 7; ++i)
    EXPECT_EQ(exported.Warnings[i],
              "Texture file \"" + textures[i].first + "\" is not read: its name leads out of the texture folder.");
}

TEST(HostilePaths, NoLinkInTheTextureFolderIsFollowed) {
  TExport exported;
  TTempDir outside;
  TTempDir::Write(outside.File("secret.png"), "secret");
  TTempDir::Write(outside.File("inner.png"), "secret");
  fs::create_symlink(outside.File("secret.png"), exported.Sources + "secret.png");
  fs::create_directory_symlink(outside.Path(), exported.Sources + "linked");
  // A link that stays inside is refused as well, at the file and at a folder
  // on the way: following it safely would mean resolving it ourselves.
  TTempDir::Write(exported.Sources + "real.png", "real");
  fs::create_directories(exported.Sources + "sub");
  TTempDir::Write(exported.Sources + "sub/deep.png", "deep");
  fs::create_symlink(exported.Sources + "real.png", exported.Sources + "alias.png");
  fs::create_directory_symlink(exported.Sources + "sub", exported.Sources + "same");
  fs::create_symlink(exported.Sources + "nowhere.png", exported.Sources + "dangling.png");
  auto scene = ReadScene(Scene(Material("M", Layer("secret.png") + Layer("linked/inner.png", "add") +
                                                 Layer("alias.png", "add") + Layer("same/deep.png", "add") +
                                                 Layer("dangling.png", "add") + Layer("real.png", "add")),
                               6));
  exported.Run(*scene);
  const std::string notFollowed = "\" is not read: it is a link, and links in the texture folder are not followed.";
  EXPECT_EQ(exported.Warnings,
            (std::vector<std::string>{
                "Texture file \"secret.png\" is not read: a link leads it out of the texture folder.",
                "Texture file \"linked/inner.png\" is not read: a link leads it out of the texture folder.",
                "Texture file \"alias.png" + notFollowed, "Texture file \"same/deep.png" + notFollowed,
                "Texture file \"" + exported.Sources + "dangling.png\" not found."}));
  EXPECT_EQ(FilesBelow(exported.Dir.File("out")),
            (std::vector<std::string>{"Materials/A.material", "Meshes/A.mesh", "Textures/real.png"}));
  EXPECT_EQ(TTempDir::Read(exported.Dir.File("out/Textures/real.png")), "real");
}

// The folder is checked on what is opened, not on the name before: a name
// swapped between a picture and a link leading out while exports run never
// copies what the link leads to, whether the link stands for the file or
// for a folder on the way to it.
TEST(HostilePaths, ANameSwappedWithALinkWhileExportsRunNeverCopiesWhatItLeadsTo) {
  TExport exported;
  TTempDir outside;
  TTempDir::Write(outside.File("secret.txt"), "secret");
  TTempDir::Write(outside.File("lid.png"), "secret");
  fs::create_directories(exported.Sources + "sub");
  TTempDir::Write(exported.Sources + "crate wood.png", "wood");
  TTempDir::Write(exported.Sources + "sub/lid.png", "lid");
  fs::create_symlink(outside.File("secret.txt"), exported.Sources + "swap.png");
  fs::create_directory_symlink(outside.Path(), exported.Sources + "swap-sub");
  // Each exchange of two names is one step (renameat2), so both names always exist.
  std::atomic<bool> stop = false;
  std::thread swapper([&] {
    const std::string file = exported.Sources + "crate wood.png", fileLink = exported.Sources + "swap.png";
    const std::string folder = exported.Sources + "sub", folderLink = exported.Sources + "swap-sub";
    while (!stop) {
      renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, fileLink.c_str(), RENAME_EXCHANGE);
      renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, folderLink.c_str(), RENAME_EXCHANGE);
    }
  });
  auto scene = ReadScene(Scene(Material("M", Layer("crate wood.png") + Layer("sub\\lid.png", "add")), 2));
  // Blanks become underscores in the repository.
  const std::string wood = exported.Dir.File("out/Textures/crate_wood.png");
  const std::string lid = exported.Dir.File("out/Textures/lid.png");
  int exports = 0, woodCopied = 0, lidCopied = 0, secretsCopied = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (std::chrono::steady_clock::now() < end) {
    fs::remove(wood);
    fs::remove(lid);
    exported.Run(*scene);
    ++exports;
    const std::string copiedWood = TTempDir::Read(wood), copiedLid = TTempDir::Read(lid);
    woodCopied += copiedWood == "wood";
    lidCopied += copiedLid == "lid";
    secretsCopied += (copiedWood == "secret") + (copiedLid == "secret");
  }
  stop = true;
  swapper.join();
  EXPECT_EQ(secretsCopied, 0) << "of " << exports << " exports";
  // The race was run: the genuine files were copied when they stood there.
  EXPECT_GT(woodCopied, 0);
  EXPECT_GT(lidCopied, 0);
}
#endif

// Named pipes and /dev/zero are POSIX; Windows device names have tests of their own.
#ifndef _WIN32
TEST(HostilePaths, OnlyRegularFilesAreCopiedSoNoDeviceOrPipeStopsTheExport) {
  TExport exported;
  ASSERT_EQ(mkfifo((exported.Sources + "pipe.png").c_str(), 0600), 0);
  fs::create_directories(exported.Sources + "folder.png");
  // /dev/zero would never end; a pipe without a writer would block at its opening.
  const std::string zero = "../../../../../../../../../../../../../../dev/zero";
  auto scene = ReadScene(Scene(Material("M", Layer("pipe.png") + Layer("folder.png", "add") + Layer(zero, "add")), 3));
  exported.Run(*scene);
  EXPECT_EQ(exported.Warnings,
            (std::vector<std::string>{"Texture file \"" + exported.Sources + "pipe.png\" is not a regular file.",
                                      "Texture file \"" + exported.Sources + "folder.png\" is not a regular file.",
                                      "Texture file \"" + zero + "\" is not read: its name leads out of the texture folder."}));
  EXPECT_EQ(FilesBelow(exported.Dir.File("out")), (std::vector<std::string>{"Materials/A.material", "Meshes/A.mesh"}));
}
#endif
