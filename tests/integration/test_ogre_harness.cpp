// Proves the OGRE harness on hand-made inputs: the XML converter's dumps hold
// exactly the values we put in, a binary mesh laid out byte by byte in
// OGRE's 1.30 format loads with its bounds, and material_check describes a
// good script and refuses broken ones.

#include <gtest/gtest.h>

#include <cstdint>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "OgreTools.h"

namespace {

using TVec3 = std::array<float, 3>;
using TFace = std::array<uint32_t, 3>;
using TUv = std::vector<float>;

const std::string OldFormatWarning =
    "conversion uses an old format [MeshSerializer_v1.30]; upgrade with the OgreMeshUpgrader tool";

// What a test expects of one vertex; the helper compares member by member so
// that a failure names the value that differs.
void ExpectVertex(const TOgreVertex& actual, const TVec3& position, const TVec3& normal, const std::vector<TUv>& uvs,
                  const std::string& where) {
  SCOPED_TRACE(where);
  EXPECT_EQ(actual.Position, position);
  ASSERT_TRUE(actual.Normal.has_value());
  EXPECT_EQ(*actual.Normal, normal);
  EXPECT_EQ(actual.TexCoords, uvs);
}

void ExpectBuffer(const TOgreVertexBuffer& buffer, bool positions, bool normals, const std::vector<int>& dimensions) {
  EXPECT_EQ(buffer.Positions, positions);
  EXPECT_EQ(buffer.Normals, normals);
  EXPECT_EQ(buffer.TexCoordDimensions, dimensions);
}

// ---- Running programs ----

TEST(OgreHarnessTest, RunCommandSeparatesOutputsAndReportsTheExitStatus) {
  const TCommandResult result = RunCommand({"sh", "-c", "printf out; printf err >&2; exit 3"});
  EXPECT_EQ(result.ExitStatus, 3);
  EXPECT_EQ(result.Out, "out");
  EXPECT_EQ(result.Err, "err");
}

TEST(OgreHarnessTest, RunCommandReportsASignalAs128Plus) {
  EXPECT_EQ(RunCommand({"sh", "-c", "kill -TERM $$"}).ExitStatus, 128 + 15);
}

TEST(OgreHarnessTest, RunCommandDrainsLargeOutputOnBothStreams) {
  // More than a pipe holds on each stream: reading only one at a time would hang.
  const TCommandResult result =
      RunCommand({"sh", "-c", "head -c 300000 /dev/zero; head -c 200000 /dev/zero >&2"});
  EXPECT_EQ(result.ExitStatus, 0);
  EXPECT_EQ(result.Out.size(), 300000u);
  EXPECT_EQ(result.Err.size(), 200000u);
}

TEST(OgreHarnessTest, RunCommandThrowsForAMissingProgram) {
  EXPECT_THROW(RunCommand({"veldara-no-such-program"}), std::runtime_error);
}

// ---- A hand-written XML mesh through OgreXMLConverter ----

// Two sub-meshes with their own materials. The first has one buffer holding
// positions, normals and two texture coordinate sets; the second keeps its
// texture coordinates in a buffer of their own, 32-bit indices, and a value
// with more digits than the XML form keeps.
const char* const HandXmlMesh = R"(<mesh>
  <submeshes>
    <submesh material="Harness/Wall" usesharedvertices="false" use32bitindexes="false" operationtype="triangle_list">
      <faces count="2">
        <face v1="0" v2="1" v3="2" />
        <face v1="2" v2="1" v3="3" />
      </faces>
      <geometry vertexcount="4">
        <vertexbuffer positions="true" normals="true" texture_coords="2" texture_coord_dimensions_0="2" texture_coord_dimensions_1="2">
          <vertex><position x="0" y="0" z="0" /><normal x="0" y="0" z="1" /><texcoord u="0" v="1" /><texcoord u="0.25" v="0.75" /></vertex>
          <vertex><position x="2" y="0" z="0" /><normal x="0" y="0" z="1" /><texcoord u="1" v="1" /><texcoord u="0.5" v="0.75" /></vertex>
          <vertex><position x="0" y="3" z="0" /><normal x="0" y="0.6" z="0.8" /><texcoord u="0" v="0" /><texcoord u="0.25" v="0.125" /></vertex>
          <vertex><position x="2" y="3" z="-1.5" /><normal x="-0.6" y="0" z="0.8" /><texcoord u="1" v="0" /><texcoord u="0.5" v="0.125" /></vertex>
        </vertexbuffer>
      </geometry>
    </submesh>
    <submesh material="Harness/Floor" usesharedvertices="false" use32bitindexes="true" operationtype="triangle_list">
      <faces count="1">
        <face v1="2" v2="0" v3="1" />
      </faces>
      <geometry vertexcount="3">
        <vertexbuffer positions="true" normals="true">
          <vertex><position x="-4" y="0" z="0.1" /><normal x="0" y="1" z="0" /></vertex>
          <vertex><position x="4" y="0" z="0.1" /><normal x="0" y="1" z="0" /></vertex>
          <vertex><position x="0" y="0" z="-4" /><normal x="0" y="1" z="0" /></vertex>
        </vertexbuffer>
        <vertexbuffer texture_coords="1" texture_coord_dimensions_0="float2">
          <vertex><texcoord u="0.5019608" v="-2" /></vertex>
          <vertex><texcoord u="1e-05" v="12.5" /></vertex>
          <vertex><texcoord u="0" v="0" /></vertex>
        </vertexbuffer>
      </geometry>
    </submesh>
  </submeshes>
</mesh>
)";

void ExpectHandXmlMesh(const TOgreMesh& mesh) {
  EXPECT_FALSE(mesh.SharedGeometry.has_value());
  ASSERT_EQ(mesh.SubMeshes.size(), 2u);

  const TOgreSubMesh& wall = mesh.SubMeshes[0];
  EXPECT_EQ(wall.Material, "Harness/Wall");
  EXPECT_EQ(wall.OperationType, "triangle_list");
  EXPECT_FALSE(wall.UsesSharedVertices);
  EXPECT_FALSE(wall.Use32BitIndexes);
  EXPECT_EQ(wall.Faces, (std::vector<TFace>{{0, 1, 2}, {2, 1, 3}}));
  ASSERT_EQ(wall.Geometry.Buffers.size(), 1u);
  ExpectBuffer(wall.Geometry.Buffers[0], true, true, {2, 2});
  ASSERT_EQ(wall.Geometry.Vertices.size(), 4u);
  ExpectVertex(wall.Geometry.Vertices[0], {0, 0, 0}, {0, 0, 1}, {{0, 1}, {0.25f, 0.75f}}, "wall 0");
  ExpectVertex(wall.Geometry.Vertices[1], {2, 0, 0}, {0, 0, 1}, {{1, 1}, {0.5f, 0.75f}}, "wall 1");
  ExpectVertex(wall.Geometry.Vertices[2], {0, 3, 0}, {0, 0.6f, 0.8f}, {{0, 0}, {0.25f, 0.125f}}, "wall 2");
  ExpectVertex(wall.Geometry.Vertices[3], {2, 3, -1.5f}, {-0.6f, 0, 0.8f}, {{1, 0}, {0.5f, 0.125f}}, "wall 3");

  const TOgreSubMesh& floor = mesh.SubMeshes[1];
  EXPECT_EQ(floor.Material, "Harness/Floor");
  EXPECT_TRUE(floor.Use32BitIndexes);
  EXPECT_EQ(floor.Faces, (std::vector<TFace>{{2, 0, 1}}));
  ASSERT_EQ(floor.Geometry.Buffers.size(), 2u);
  ExpectBuffer(floor.Geometry.Buffers[0], true, true, {});
  ExpectBuffer(floor.Geometry.Buffers[1], false, false, {2});
  ASSERT_EQ(floor.Geometry.Vertices.size(), 3u);
  // 0.5019608 keeps six significant digits on its way through the XML form.
  ExpectVertex(floor.Geometry.Vertices[0], {-4, 0, 0.1f}, {0, 1, 0}, {{ThroughOgreXml(0.5019608f), -2}}, "floor 0");
  ExpectVertex(floor.Geometry.Vertices[1], {4, 0, 0.1f}, {0, 1, 0}, {{1e-05f, 12.5f}}, "floor 1");
  ExpectVertex(floor.Geometry.Vertices[2], {0, 0, -4}, {0, 1, 0}, {{0, 0}}, "floor 2");
}

TEST(OgreHarnessTest, ParsesAHandWrittenXmlMesh) {
  // The reader alone, on exactly what the converter is then given.
  const TOgreMesh mesh = ParseOgreMeshXml(HandXmlMesh);
  ASSERT_EQ(mesh.SubMeshes.size(), 2u);
  EXPECT_EQ(mesh.SubMeshes[1].Geometry.Vertices[0].TexCoords[0][0], 0.5019608f);  // not yet rounded
}

TEST(OgreHarnessTest, XmlMeshSurvivesTheConverterBothWays) {
  TTempDir directory;
  const std::string xmlFile = directory.File("hand.mesh.xml");
  TTempDir::Write(xmlFile, HandXmlMesh);

  const TOgreMeshDump dump = RoundTripXmlMesh(xmlFile);
  SCOPED_TRACE(dump.Xml);
  // The converter writes the current binary format, so nothing is old.
  EXPECT_EQ(dump.Warnings, std::vector<std::string>{});
  ExpectHandXmlMesh(dump.Mesh);
}

TEST(OgreHarnessTest, ConvertedBinaryLoadsInOgreWithComputedBounds) {
  TTempDir directory;
  const std::string xmlFile = directory.File("hand.mesh.xml");
  const std::string meshFile = directory.File("hand.mesh");
  const std::string scriptFile = directory.File("hand.material");
  TTempDir::Write(xmlFile, HandXmlMesh);
  TTempDir::Write(scriptFile, "material Harness/Wall\n{\n}\nmaterial Harness/Floor\n{\n}\n");
  EXPECT_EQ(ConvertXmlToBinary(xmlFile, meshFile), std::vector<std::string>{});

  const TOgreMeshLoad load = LoadMeshInOgre(meshFile, {scriptFile});
  EXPECT_EQ(load.Warnings, std::vector<std::string>{});
  ASSERT_TRUE(load.Bounds.has_value());
  // The XML form has no bounds: the converter takes the box of all positions
  // and the radius of the farthest one, (-4, 0, 0.1) or (4, 0, 0.1).
  EXPECT_EQ(load.Bounds->MinX, -4.0f);
  EXPECT_EQ(load.Bounds->MinY, 0.0f);
  EXPECT_EQ(load.Bounds->MinZ, -4.0f);
  EXPECT_EQ(load.Bounds->MaxX, 4.0f);
  EXPECT_EQ(load.Bounds->MaxY, 3.0f);
  EXPECT_EQ(load.Bounds->MaxZ, 0.1f);
  EXPECT_FLOAT_EQ(load.Bounds->Radius, 4.0012498f);
}

TEST(OgreHarnessTest, LoadingWithoutTheScriptsWarnsAboutEachMissingMaterial) {
  TTempDir directory;
  const std::string xmlFile = directory.File("hand.mesh.xml");
  const std::string meshFile = directory.File("hand.mesh");
  TTempDir::Write(xmlFile, HandXmlMesh);
  ConvertXmlToBinary(xmlFile, meshFile);

  const TOgreMeshLoad load = LoadMeshInOgre(meshFile);
  ASSERT_EQ(load.Warnings.size(), 2u);
  EXPECT_NE(load.Warnings[0].find("Can't assign material 'Harness/Wall'"), std::string::npos) << load.Warnings[0];
  EXPECT_NE(load.Warnings[1].find("Can't assign material 'Harness/Floor'"), std::string::npos) << load.Warnings[1];
}

TEST(OgreHarnessTest, ConverterRefusesTwoSubMeshesWithOneMaterial) {
  // OGRE 1.12's converter creates a material per sub-mesh and fails on the
  // second of the same name; the harness must pass that failure on.
  std::string xml = HandXmlMesh;
  xml.replace(xml.find("Harness/Floor"), std::strlen("Harness/Floor"), "Harness/Wall");
  TTempDir directory;
  const std::string xmlFile = directory.File("same.mesh.xml");
  TTempDir::Write(xmlFile, xml);
  try {
    ConvertXmlToBinary(xmlFile, directory.File("same.mesh"));
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("Material with the name Harness/Wall already exists."), std::string::npos)
        << e.what();
  }
}

TEST(OgreHarnessTest, XmlReaderRefusesWhatItDoesNotRepresent) {
  std::string xml = HandXmlMesh;
  xml.replace(xml.find("<normal x=\"0\" y=\"0\" z=\"1\" />"), 0, "<colour_diffuse value=\"1 1 1 1\" />");
  EXPECT_THROW(ParseOgreMeshXml(xml), std::runtime_error);

  std::string fewerFaces = HandXmlMesh;
  fewerFaces.replace(fewerFaces.find("<faces count=\"2\">"), std::strlen("<faces count=\"2\">"), "<faces count=\"3\">");
  EXPECT_THROW(ParseOgreMeshXml(fewerFaces), std::runtime_error);
}

// ---- Levels of detail ----

// The hand-written mesh with two generated levels: the wall down to one
// triangle, the floor keeping its one.
std::string HandXmlMeshWithLevels() {
  std::string xml = HandXmlMesh;
  xml.replace(xml.find("</mesh>"), std::strlen("</mesh>"), R"(  <levelofdetail strategy="distance_sphere" numlevels="3" manual="false">
    <lodgenerated value="12.5">
      <lodfacelist submeshindex="0" numfaces="1"><face v1="0" v2="1" v3="3" /></lodfacelist>
      <lodfacelist submeshindex="1" numfaces="1"><face v1="2" v2="0" v3="1" /></lodfacelist>
    </lodgenerated>
    <lodgenerated value="250000">
      <lodfacelist submeshindex="0" numfaces="1"><face v1="0" v2="3" v3="2" /></lodfacelist>
      <lodfacelist submeshindex="1" numfaces="1"><face v1="2" v2="0" v3="1" /></lodfacelist>
    </lodgenerated>
  </levelofdetail>
</mesh>)");
  return xml;
}

void ExpectHandLevels(const TOgreMesh& mesh) {
  ASSERT_TRUE(mesh.LevelsOfDetail.has_value());
  const TOgreLevelsOfDetail& levels = *mesh.LevelsOfDetail;
  EXPECT_EQ(levels.Strategy, "distance_sphere");
  EXPECT_EQ(levels.LevelCount, 3u);
  ASSERT_EQ(levels.Levels.size(), 2u);
  EXPECT_EQ(levels.Levels[0].Value, 12.5f);
  EXPECT_EQ(levels.Levels[1].Value, 250000.0f);
  EXPECT_EQ(levels.Levels[0].Faces, (std::vector<std::vector<TFace>>{{{0, 1, 3}}, {{2, 0, 1}}}));
  EXPECT_EQ(levels.Levels[1].Faces, (std::vector<std::vector<TFace>>{{{0, 3, 2}}, {{2, 0, 1}}}));
}

TEST(OgreHarnessTest, LevelsOfDetailGoThroughTheConverterAndLoadInOgre) {
  ExpectHandLevels(ParseOgreMeshXml(HandXmlMeshWithLevels()));
  EXPECT_FALSE(ParseOgreMeshXml(HandXmlMesh).LevelsOfDetail.has_value());
  TTempDir directory;
  const std::string xmlFile = directory.File("levels.mesh.xml");
  const std::string meshFile = directory.File("levels.mesh");
  const std::string scriptFile = directory.File("levels.material");
  TTempDir::Write(xmlFile, HandXmlMeshWithLevels());
  TTempDir::Write(scriptFile, "material Harness/Wall\n{\n}\nmaterial Harness/Floor\n{\n}\n");
  ExpectHandLevels(RoundTripXmlMesh(xmlFile).Mesh);

  ConvertXmlToBinary(xmlFile, meshFile);
  const TOgreMeshLoad load = LoadMeshInOgre(meshFile, {scriptFile});
  EXPECT_EQ(load.LodStrategy, "distance_sphere");
  ASSERT_EQ(load.Levels.size(), 3u);
  EXPECT_EQ(load.Levels[0].Value, 0.0f);
  EXPECT_EQ(load.Levels[0].Triangles, (std::vector<std::size_t>{2, 1}));
  EXPECT_EQ(load.Levels[1].Value, 12.5f);
  EXPECT_EQ(load.Levels[1].Triangles, (std::vector<std::size_t>{1, 1}));
  EXPECT_EQ(load.Levels[2].Value, 250000.0f);

  // Without levels, the full mesh is the only one.
  TTempDir::Write(xmlFile, HandXmlMesh);
  ConvertXmlToBinary(xmlFile, meshFile);
  const TOgreMeshLoad plain = LoadMeshInOgre(meshFile, {scriptFile});
  ASSERT_EQ(plain.Levels.size(), 1u);
  EXPECT_EQ(plain.Levels[0].Triangles, (std::vector<std::size_t>{2, 1}));
}

TEST(OgreHarnessTest, XmlReaderRefusesLevelsItDoesNotRepresentOrThatDoNotAddUp) {
  const auto changed = [](const std::string& from, const std::string& to) {
    std::string xml = HandXmlMeshWithLevels();
    xml.replace(xml.find(from), from.size(), to);
    return xml;
  };
  EXPECT_THROW(ParseOgreMeshXml(changed("manual=\"false\"", "manual=\"true\"")), std::runtime_error);
  EXPECT_THROW(ParseOgreMeshXml(changed("numlevels=\"3\"", "numlevels=\"4\"")), std::runtime_error);
  EXPECT_THROW(ParseOgreMeshXml(changed("submeshindex=\"0\" numfaces=\"1\"", "submeshindex=\"0\" numfaces=\"2\"")),
               std::runtime_error);
  EXPECT_THROW(ParseOgreMeshXml(changed("submeshindex=\"1\"", "submeshindex=\"0\"")), std::runtime_error);
  EXPECT_THROW(ParseOgreMeshXml(changed(R"(<lodfacelist submeshindex="1" numfaces="1"><face v1="2" v2="0" v3="1" /></lodfacelist>)", "")),
               std::runtime_error)
      << "a level without the floor's list";
}

// ---- A binary mesh built byte by byte ----

// Little-endian writer for OGRE's chunked binary format. A chunk is a u16 id
// and a u32 length that counts its own 6-byte header.
class TBinaryMesh {
public:
  void U16(uint16_t value) { Raw(&value, 2); }
  void U32(uint32_t value) { Raw(&value, 4); }
  void F32(float value) { Raw(&value, 4); }
  void Bool(bool value) { Bytes.push_back(value ? '\1' : '\0'); }
  void Line(const std::string& text) { Bytes += text + "\n"; }
  void Chunk(uint16_t id, const std::function<void()>& body) {
    U16(id);
    const std::size_t lengthAt = Bytes.size();
    U32(0);
    body();
    const auto length = static_cast<uint32_t>(Bytes.size() - lengthAt + 2);
    std::memcpy(&Bytes[lengthAt], &length, 4);
  }

  std::string Bytes;

private:
  void Raw(const void* data, std::size_t size) {
    static_assert(std::endian::native == std::endian::little, "the bytes are written in the machine's order");
    Bytes.append(static_cast<const char*>(data), size);
  }
};

enum : uint16_t {
  Header = 0x1000, MeshChunk = 0x3000, SubMeshChunk = 0x4000, Geometry = 0x5000, Declaration = 0x5100,
  Element = 0x5110, Buffer = 0x5200, BufferData = 0x5210, Bounds = 0x9000,
};
enum : uint16_t { Float2 = 1, Float3 = 2 };
enum : uint16_t { PositionSemantic = 1, NormalSemantic = 4, TexCoordSemantic = 7 };

struct TElement {
  uint16_t Source, Type, Semantic, Offset, Index;
};

void WriteGeometry(TBinaryMesh& out, uint32_t vertexCount, const std::vector<TElement>& elements,
                   const std::vector<std::vector<float>>& buffers) {
  out.Chunk(Geometry, [&] {
    out.U32(vertexCount);
    out.Chunk(Declaration, [&] {
      for (const auto& e : elements)
        out.Chunk(Element, [&] {
          out.U16(e.Source), out.U16(e.Type), out.U16(e.Semantic), out.U16(e.Offset), out.U16(e.Index);
        });
    });
    for (std::size_t source = 0; source < buffers.size(); ++source)
      out.Chunk(Buffer, [&] {
        out.U16(static_cast<uint16_t>(source));
        out.U16(static_cast<uint16_t>(buffers[source].size() / vertexCount * 4));  // vertex size in bytes
        out.Chunk(BufferData, [&] {
          for (float value : buffers[source]) out.F32(value);
        });
      });
  });
}

// Two sub-meshes: "Harness/Stone" with 16-bit indices and one interleaved
// buffer (position, normal, two texture coordinate sets), "Harness/Moss" with
// 32-bit indices and its texture coordinates in a second buffer.
std::string HandBinaryMesh(bool withBounds = true) {
  TBinaryMesh out;
  out.U16(Header);
  out.Line("[MeshSerializer_v1.30]");
  out.Chunk(MeshChunk, [&] {
    out.Bool(false);  // no skeleton
    out.Chunk(SubMeshChunk, [&] {
      out.Line("Harness/Stone");
      out.Bool(false);  // own vertices
      out.U32(6);
      out.Bool(false);  // 16-bit indices
      for (uint16_t index : std::array<uint16_t, 6>{0, 1, 2, 2, 1, 3}) out.U16(index);
      WriteGeometry(out, 4,
                    {{0, Float3, PositionSemantic, 0, 0}, {0, Float3, NormalSemantic, 12, 0},
                     {0, Float2, TexCoordSemantic, 24, 0}, {0, Float2, TexCoordSemantic, 32, 1}},
                    {{
                        -1, 0, 0.5f,  0, 0, 1,  0, 0,  0.5f, 0.5f,       //
                        1, 0, 0.5f,   0, 0, 1,  1, 0,  0.75f, 0.5f,      //
                        -1, 2, 0.5f,  0, 1, 0,  0, 1,  0.5f, 0.625f,     //
                        1, 2, -0.25f, 1, 0, 0,  1, 1,  0.5019608f, 1.0f,  //
                    }});
    });
    out.Chunk(SubMeshChunk, [&] {
      out.Line("Harness/Moss");
      out.Bool(false);
      out.U32(3);
      out.Bool(true);  // 32-bit indices
      for (uint32_t index : {2u, 1u, 0u}) out.U32(index);
      WriteGeometry(out, 3,
                    {{0, Float3, PositionSemantic, 0, 0}, {0, Float3, NormalSemantic, 12, 0},
                     {1, Float2, TexCoordSemantic, 0, 0}},
                    {{0, -1, 0, 0, -1, 0, 3, -1, 0, 0, -1, 0, 0, -1, 3, 0, -1, 0}, {0, 0, 2, 0, 0, 2}});
    });
    if (withBounds)
      out.Chunk(Bounds, [&] {
        for (float value : {-1.0f, -1.0f, -0.25f, 3.0f, 2.0f, 3.0f, 3.1622777f}) out.F32(value);
      });
  });
  return out.Bytes;
}

void ExpectHandBinaryMesh(const TOgreMesh& mesh) {
  ASSERT_EQ(mesh.SubMeshes.size(), 2u);
  const TOgreSubMesh& stone = mesh.SubMeshes[0];
  EXPECT_EQ(stone.Material, "Harness/Stone");
  EXPECT_EQ(stone.OperationType, "triangle_list");
  EXPECT_FALSE(stone.UsesSharedVertices);
  EXPECT_FALSE(stone.Use32BitIndexes);
  EXPECT_EQ(stone.Faces, (std::vector<TFace>{{0, 1, 2}, {2, 1, 3}}));
  ASSERT_EQ(stone.Geometry.Buffers.size(), 1u);
  ExpectBuffer(stone.Geometry.Buffers[0], true, true, {2, 2});
  ASSERT_EQ(stone.Geometry.Vertices.size(), 4u);
  ExpectVertex(stone.Geometry.Vertices[0], {-1, 0, 0.5f}, {0, 0, 1}, {{0, 0}, {0.5f, 0.5f}}, "stone 0");
  ExpectVertex(stone.Geometry.Vertices[1], {1, 0, 0.5f}, {0, 0, 1}, {{1, 0}, {0.75f, 0.5f}}, "stone 1");
  ExpectVertex(stone.Geometry.Vertices[2], {-1, 2, 0.5f}, {0, 1, 0}, {{0, 1}, {0.5f, 0.625f}}, "stone 2");
  ExpectVertex(stone.Geometry.Vertices[3], {1, 2, -0.25f}, {1, 0, 0}, {{1, 1}, {ThroughOgreXml(0.5019608f), 1}},
               "stone 3");

  const TOgreSubMesh& moss = mesh.SubMeshes[1];
  EXPECT_EQ(moss.Material, "Harness/Moss");
  EXPECT_TRUE(moss.Use32BitIndexes);
  EXPECT_EQ(moss.Faces, (std::vector<TFace>{{2, 1, 0}}));
  ASSERT_EQ(moss.Geometry.Buffers.size(), 2u);
  ExpectBuffer(moss.Geometry.Buffers[0], true, true, {});
  ExpectBuffer(moss.Geometry.Buffers[1], false, false, {2});
  ASSERT_EQ(moss.Geometry.Vertices.size(), 3u);
  ExpectVertex(moss.Geometry.Vertices[0], {0, -1, 0}, {0, -1, 0}, {{0, 0}}, "moss 0");
  ExpectVertex(moss.Geometry.Vertices[1], {3, -1, 0}, {0, -1, 0}, {{2, 0}}, "moss 1");
  ExpectVertex(moss.Geometry.Vertices[2], {0, -1, 3}, {0, -1, 0}, {{0, 2}}, "moss 2");
}

TEST(OgreHarnessTest, ByteBuiltBinaryMeshDumpsWithTheExactValues) {
  TTempDir directory;
  const std::string meshFile = directory.File("bytes.mesh");
  TTempDir::Write(meshFile, HandBinaryMesh());

  const TOgreMeshDump dump = DumpBinaryMesh(meshFile);
  SCOPED_TRACE(dump.Xml);
  EXPECT_EQ(dump.Warnings, std::vector<std::string>{OldFormatWarning});
  ExpectHandBinaryMesh(dump.Mesh);
}

TEST(OgreHarnessTest, ByteBuiltBinaryMeshLoadsInOgreWithItsBounds) {
  TTempDir directory;
  const std::string meshFile = directory.File("bytes.mesh");
  const std::string scriptFile = directory.File("bytes.material");
  TTempDir::Write(meshFile, HandBinaryMesh());
  TTempDir::Write(scriptFile, "material Harness/Stone\r\n{\r\n}\r\nmaterial Harness/Moss\r\n{\r\n}\r\n");

  const TOgreMeshLoad load = LoadMeshInOgre(meshFile, {scriptFile});
  EXPECT_EQ(load.Warnings, std::vector<std::string>{
                               "bytes.mesh uses an old format [MeshSerializer_v1.30]; upgrade with the "
                               "OgreMeshUpgrader tool"});
  ASSERT_TRUE(load.Bounds.has_value());
  // The bounds chunk as written, not recomputed: exact, all seven values.
  EXPECT_EQ(load.Bounds->MinX, -1.0f);
  EXPECT_EQ(load.Bounds->MinY, -1.0f);
  EXPECT_EQ(load.Bounds->MinZ, -0.25f);
  EXPECT_EQ(load.Bounds->MaxX, 3.0f);
  EXPECT_EQ(load.Bounds->MaxY, 2.0f);
  EXPECT_EQ(load.Bounds->MaxZ, 3.0f);
  EXPECT_EQ(load.Bounds->Radius, 3.1622777f);
}

TEST(OgreHarnessTest, MeshWithoutBoundsLoadsWithNone) {
  TTempDir directory;
  const std::string meshFile = directory.File("unbounded.mesh");
  TTempDir::Write(meshFile, HandBinaryMesh(false));
  EXPECT_FALSE(LoadMeshInOgre(meshFile).Bounds.has_value());
  // The converter does not notice either: the dump is complete.
  ExpectHandBinaryMesh(DumpBinaryMesh(meshFile).Mesh);
}

TEST(OgreHarnessTest, TruncatedBinaryMeshIsCaught) {
  // OGRE reads a mesh cut inside the first sub-mesh's vertex declaration
  // without a word (exit status 0, no error logged) and writes a geometry that
  // claims four vertices but has no buffer; the harness must not pass it.
  const std::string bytes = HandBinaryMesh();
  TTempDir directory;
  const std::string meshFile = directory.File("cut.mesh");
  TTempDir::Write(meshFile, bytes.substr(0, 120));
  EXPECT_THROW(DumpBinaryMesh(meshFile), std::runtime_error);
}

TEST(OgreHarnessTest, GarbageIsNoMesh) {
  TTempDir directory;
  const std::string meshFile = directory.File("garbage.mesh");
  TTempDir::Write(meshFile, "not a mesh at all");
  EXPECT_THROW(DumpBinaryMesh(meshFile), std::runtime_error);
  EXPECT_THROW(LoadMeshInOgre(meshFile), std::runtime_error);
}

// ---- Material scripts through OGRE's compiler ----

// A script in our exporter's style, with CR LF line ends.
std::string Crlf(std::string text) {
  std::string result;
  for (char c : text) {
    if (c == '\n') result += '\r';
    result += c;
  }
  return result;
}

const char* const GoodScript = R"(material A_LightMapped0
{
    technique
    {
        pass
        {
            scene_blend alpha_blend
            depth_write off
            texture_unit
            {
                colour_op_ex source1 src_manual src_current 1 0 0.5019608
                alpha_op_ex source1 src_manual src_current 0.5019608
                tex_coord_set 1
                filtering trilinear
            }
            texture_unit
            {
                texture lm.png
                colour_op modulate
                tex_coord_set 1
                tex_address_mode clamp
                filtering linear linear none
            }
        }
    }
}

material B_Plain
{
    technique
    {
        pass
        {
            texture_unit
            {
                texture wall.png
                colour_op_ex blend_manual src_texture src_current 0.25
            }
        }
    }
}
)";

TEST(OgreHarnessTest, GoodMaterialScriptIsDescribed) {
  TTempDir directory;
  const std::string scriptFile = directory.File("good.material");
  TTempDir::Write(scriptFile, Crlf(GoodScript));

  EXPECT_EQ(CheckMaterialScript(scriptFile),
            (std::vector<std::string>{
                "material A_LightMapped0",
                "technique 0",
                "pass 0 scene_blend=src_alpha,one_minus_src_alpha depth_write=off",
                "texture_unit 0 texture= tex_coord_set=1 colour_op=source1(src_manual,src_current) "
                "colour_arg1=1,0,0.5019608 alpha_op=source1(src_manual,src_current) alpha_arg1=0.5019608 "
                "colour_op_multipass_fallback=dest_colour,zero tex_address_mode=wrap,wrap,wrap "
                "filtering=linear,linear,linear",
                "texture_unit 1 texture=lm.png tex_coord_set=1 colour_op=modulate(src_texture,src_current) "
                "alpha_op=modulate(src_texture,src_current) colour_op_multipass_fallback=dest_colour,zero "
                "tex_address_mode=clamp,clamp,clamp filtering=linear,linear,none",
                "material B_Plain",
                "technique 0",
                "pass 0 scene_blend=one,zero depth_write=on",
                "texture_unit 0 texture=wall.png tex_coord_set=0 colour_op=blend_manual(src_texture,src_current) "
                "colour_factor=0.25 alpha_op=modulate(src_texture,src_current) "
                "colour_op_multipass_fallback=dest_colour,zero tex_address_mode=wrap,wrap,wrap "
                "filtering=linear,linear,point",
            }));
}

// The message of a script that material_check must refuse, or "accepted".
std::string RefusalOf(const std::string& script) {
  TTempDir directory;
  const std::string scriptFile = directory.File("broken.material");
  TTempDir::Write(scriptFile, Crlf(script));
  const TCommandResult result = RunMaterialCheck(scriptFile);
  if (result.ExitStatus == 0) return "accepted";
  EXPECT_EQ(result.Out, "");  // no description of a broken script
  return result.Err;
}

std::string WithLine(const std::string& from, const std::string& to) {
  std::string script = GoodScript;
  script.replace(script.find(from), from.size(), to);
  return script;
}

TEST(OgreHarnessTest, UnknownAttributeIsRefused) {
  const std::string message = RefusalOf(WithLine("depth_write off", "depth_writes off"));
  EXPECT_NE(message.find("broken.material(8)"), std::string::npos) << message;
  EXPECT_NE(message.find("depth_writes"), std::string::npos) << message;
}

TEST(OgreHarnessTest, MissingBraceIsRefused) {
  const std::string script = GoodScript;
  // Drop the last closing brace of the first material.
  const auto end = script.find("}\n\nmaterial B_Plain");
  const std::string message = RefusalOf(script.substr(0, end) + script.substr(end + 1));
  EXPECT_NE(message.find("bracket"), std::string::npos) << message;
}

TEST(OgreHarnessTest, BadValueIsRefused) {
  const std::string message = RefusalOf(WithLine("tex_address_mode clamp", "tex_address_mode clamped"));
  EXPECT_NE(message.find("clamped"), std::string::npos) << message;
}

TEST(OgreHarnessTest, MissingManualColourIsRefused) {
  const std::string message = RefusalOf(WithLine("src_current 1 0 0.5019608", "src_current 1 0"));
  EXPECT_NE(message.find("src_manual"), std::string::npos) << message;
}

TEST(OgreHarnessTest, DeprecatedKeywordIsRefused) {
  // Only a warning to OGRE, but a script we write must compile cleanly.
  const std::string message = RefusalOf(WithLine("texture lm.png", "texture_alias lm"));
  EXPECT_NE(message.find("deprecated"), std::string::npos) << message;
}

TEST(OgreHarnessTest, SecondMaterialOfTheSameNameIsRefused) {
  const std::string message = RefusalOf(WithLine("material B_Plain", "material A_LightMapped0"));
  EXPECT_NE(message.find("A_LightMapped0 already exists"), std::string::npos) << message;
}

TEST(OgreHarnessTest, ScriptWithoutMaterialIsRefused) {
  const std::string message = RefusalOf("// nothing here\n");
  EXPECT_NE(message.find("no material"), std::string::npos) << message;
}

TEST(OgreHarnessTest, CheckMaterialScriptThrowsForABrokenScript) {
  TTempDir directory;
  const std::string scriptFile = directory.File("broken.material");
  TTempDir::Write(scriptFile, WithLine("depth_write off", "depth_write perhaps"));
  EXPECT_THROW(CheckMaterialScript(scriptFile), std::runtime_error);
}

TEST(OgreHarnessTest, ABareMaterialNameWithABlankIsRefusedAndAQuotedOneReadWhole) {
  // OGRE 1.7 and later read "material A B" as the material "A": the platform
  // takes the whole rest of the line, so the two would not agree.
  const std::string message = RefusalOf("material Stone Wall\n{\n}\n");
  EXPECT_NE(message.find("broken.material(1): the material name \"Stone Wall\" would end at its first blank"),
            std::string::npos)
      << message;
  TTempDir directory;
  const std::string scriptFile = directory.File("quoted.material");
  TTempDir::Write(scriptFile, "material \"Stone Wall\"\n{\n}\n  material\tPlain \n{\n}\n");
  EXPECT_EQ(CheckMaterialScript(scriptFile), (std::vector<std::string>{"material Stone Wall", "material Plain"}));
}

TEST(OgreHarnessTest, LoadingWithScriptsThatMissAMaterialIsRefused) {
  TTempDir directory;
  const std::string xmlFile = directory.File("hand.mesh.xml");
  const std::string meshFile = directory.File("hand.mesh");
  const std::string scriptFile = directory.File("hand.material");
  TTempDir::Write(xmlFile, HandXmlMesh);
  TTempDir::Write(scriptFile, "material Harness/Wall\n{\n}\n");
  ConvertXmlToBinary(xmlFile, meshFile);
  try {
    LoadMeshInOgre(meshFile, {scriptFile});
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("Can't assign material 'Harness/Floor'"), std::string::npos) << e.what();
  }
}

}  // namespace
