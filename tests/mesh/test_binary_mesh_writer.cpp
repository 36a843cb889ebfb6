#include <gtest/gtest.h>

#include "../support/ErrorOf.h"

#include <array>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../support/MeshModelBuilder.h"
#include "../support/TempDir.h"
#include "base/Parallel.h"
#include "mesh/QZOgreBinaryMeshWriter.h"
#include "mesh/QZOgreMeshModelCl.h"

namespace {

// Expected file contents, put together by hand, little-endian byte by byte.
class TBytes {
public:
  TBytes& U8(unsigned value) {
    Bytes.push_back(static_cast<char>(value & 0xFF));
    return *this;
  }
  TBytes& U16(unsigned value) { return U8(value).U8(value >> 8); }
  TBytes& U32(uint32_t value) { return U16(value & 0xFFFF).U16(value >> 16); }
  TBytes& F32(float value) { return U32(std::bit_cast<uint32_t>(value)); }
  TBytes& Raw(std::string_view bytes) {
    Bytes += bytes;
    return *this;
  }
  TBytes& Text(std::string_view text) { return Raw(text).U8(0x0A); }
  // A chunk whose length is taken from the bytes of its content as given here.
  TBytes& Chunk(unsigned id, const TBytes& content) {
    return U16(id).U32(static_cast<uint32_t>(6 + content.Bytes.size())).Raw(content.Bytes);
  }

  std::string Bytes;
};

const std::string kFileStart = std::string("\x00\x10", 2) + "[MeshSerializer_v1.30]\n";

// Three corners with values whose bit patterns are easy to tell apart,
// including a negative zero, and two coordinate sets each.
const std::vector<TVertexValues> kTriangle = {
    {1.0f, 2.0f, 3.0f, 0.0f, 0.0f, 1.0f, {{0.25f, 0.75f}, {0.5f, 0.125f}}},
    {-4.5f, 0.0f, 0.001f, 0.0f, 1.0f, 0.0f, {{1.0f, 0.0f}, {0.0625f, 1.0f}}},
    {100000.0f, -0.0f, 7.0f, 0.6f, 0.8f, 0.0f, {{0.5f, -2.0f}, {3.0f, 4.0f}}},
};

const TMeshBounds kBounds{-4.5f, -0.0f, 0.001f, 100000.0f, 2.0f, 7.0f, 50000.5f};

TBytes BoundsChunk(const TMeshBounds& b) {
  TBytes content;
  content.F32(b.MinX).F32(b.MinY).F32(b.MinZ).F32(b.MaxX).F32(b.MaxY).F32(b.MaxZ).F32(b.Radius);
  return TBytes().Chunk(0x9000, content);
}

// One sub-mesh chunk as the layout describes it, from the values the test put
// into the model (not from the model classes); with `operation`, closed by the
// operation chunk of the later formats.
TBytes SubMeshChunk(std::string_view material, const std::vector<std::array<uint16_t, 3>>& faces,
                    const std::vector<TVertexValues>& vertices, bool normals, int sets, bool operation = false) {
  TBytes declaration;
  declaration.Chunk(0x5110, TBytes().U16(0).U16(2).U16(1).U16(0).U16(0));
  unsigned offset = 12;
  if (normals) {
    declaration.Chunk(0x5110, TBytes().U16(0).U16(2).U16(4).U16(12).U16(0));
    offset += 12;
  }
  for (int k = 0; k < sets; ++k, offset += 8)
    declaration.Chunk(0x5110, TBytes().U16(0).U16(1).U16(7).U16(offset).U16(static_cast<unsigned>(k)));

  TBytes data;
  for (const TVertexValues& v : vertices) {
    data.F32(v.X).F32(v.Y).F32(v.Z);
    if (normals) data.F32(v.NX).F32(v.NY).F32(v.NZ);
    for (int k = 0; k < sets; ++k) {
      const auto& [u, vv] = v.Sets[static_cast<std::size_t>(k)];
      data.F32(u).F32(vv);
    }
  }
  TBytes buffer;
  buffer.U16(0).U16(offset).Chunk(0x5210, data);

  TBytes geometry;
  geometry.U32(static_cast<uint32_t>(vertices.size())).Chunk(0x5100, declaration).Chunk(0x5200, buffer);

  TBytes content;
  content.Text(material).U8(0).U32(static_cast<uint32_t>(faces.size() * 3)).U8(0);
  for (const auto& face : faces) content.U16(face[0]).U16(face[1]).U16(face[2]);
  content.Chunk(0x5000, geometry);
  if (operation) content.Chunk(0x4010, TBytes().U16(4));  // triangle list
  return TBytes().Chunk(0x4000, content);
}

std::string FileWith(std::initializer_list<TBytes> subMeshChunks, const TMeshBounds& bounds) {
  TBytes mesh;
  mesh.U8(0);
  for (const TBytes& chunk : subMeshChunks) mesh.Raw(chunk.Bytes);
  mesh.Raw(BoundsChunk(bounds).Bytes);
  return TBytes().Raw(kFileStart).Chunk(0x3000, mesh).Bytes;
}

std::string Write(const TTempDir& dir, const TModel& model, bool normals, bool lightmaps,
                  const TMeshBounds& bounds = kBounds, TMeshFormat format = TMeshFormat::V1_30) {
  const std::string name = dir.File("out.mesh");
  WriteBinaryMesh(name, model.SubMeshes, bounds, normals, lightmaps, nullptr, format);
  return TTempDir::Read(name);
}

std::string Hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    text += digits[b >> 4];
    text += digits[b & 15];
    text += ' ';
  }
  return text;
}

// Byte strings compared as hex, so that a failure shows where they part.
#define EXPECT_BYTES(actual, expected) EXPECT_EQ(Hex(actual), Hex(expected))

}  // namespace

// --- The two worked size examples, every byte ---

TEST(BinaryMeshLayout, OneTriangleWithNormalsAndOneSetIs266BytesFieldByField) {
  TTempDir dir;
  TModel model;
  model.SubMesh(&model.Material("Stone", 1), kTriangle, {{2, 1, 0}});
  const std::string file = Write(dir, model, true, true);

  TBytes expected;
  expected.Raw(kFileStart);
  expected.U16(0x3000).U32(241).U8(0);                       // mesh: 7 + 200 + 34
  expected.U16(0x4000).U32(200).Raw("Stone\n").U8(0);        // sub-mesh: 6 + 6 + 1 + 4 + 1 + 6 + 176
  expected.U32(3).U8(0).U16(2).U16(1).U16(0);                // three 16-bit indices
  expected.U16(0x5000).U32(176).U32(3);                      // geometry: 10 + 54 + 112
  expected.U16(0x5100).U32(54);                              // declaration: 6 + 3 x 16
  expected.U16(0x5110).U32(16).U16(0).U16(2).U16(1).U16(0).U16(0);
  expected.U16(0x5110).U32(16).U16(0).U16(2).U16(4).U16(12).U16(0);
  expected.U16(0x5110).U32(16).U16(0).U16(1).U16(7).U16(24).U16(0);
  expected.U16(0x5200).U32(112).U16(0).U16(32);              // buffer: 16 + 3 x 32
  expected.U16(0x5210).U32(102);                             // data: 6 + 3 x 32
  expected.F32(1.0f).F32(2.0f).F32(3.0f).F32(0.0f).F32(0.0f).F32(1.0f).F32(0.25f).F32(0.75f);
  expected.F32(-4.5f).F32(0.0f).F32(0.001f).F32(0.0f).F32(1.0f).F32(0.0f).F32(1.0f).F32(0.0f);
  expected.F32(100000.0f).F32(-0.0f).F32(7.0f).F32(0.6f).F32(0.8f).F32(0.0f).F32(0.5f).F32(-2.0f);
  expected.U16(0x9000).U32(34);
  expected.F32(-4.5f).F32(-0.0f).F32(0.001f).F32(100000.0f).F32(2.0f).F32(7.0f).F32(50000.5f);

  ASSERT_EQ(file.size(), 266u);
  EXPECT_BYTES(file, expected.Bytes);
  // The float bits spelled out: position (1, 2, 3) opens the vertex data, and
  // the third vertex's Y is a negative zero, sign bit and all.
  EXPECT_BYTES(file.substr(136, 12), std::string("\x00\x00\x80\x3F\x00\x00\x00\x40\x00\x00\x40\x40", 12));
  EXPECT_BYTES(file.substr(136 + 2 * 32 + 4, 4), std::string("\x00\x00\x00\x80", 4));
}

TEST(BinaryMeshLayout, ModelWithoutSubMeshesIsHeaderSkeletonFlagAndBounds66Bytes) {
  TTempDir dir;
  const TMeshBounds bounds{1.0f, -2.0f, 0.5f, -0.0f, 3.0f, 0.1f, 10.0f};
  const std::string file = Write(dir, TModel(), true, true, bounds);
  const std::string expected = kFileStart +
                               std::string("\x00\x30\x29\x00\x00\x00"  // mesh chunk, 41 bytes
                                           "\x00"                      // no skeleton
                                           "\x00\x90\x22\x00\x00\x00"  // bounds chunk, 34 bytes
                                           "\x00\x00\x80\x3F"          // 1
                                           "\x00\x00\x00\xC0"          // -2
                                           "\x00\x00\x00\x3F"          // 0.5
                                           "\x00\x00\x00\x80"          // -0
                                           "\x00\x00\x40\x40"          // 3
                                           "\xCD\xCC\xCC\x3D"          // 0.1f
                                           "\x00\x00\x20\x41",         // 10
                                           41);
  ASSERT_EQ(file.size(), 66u);
  EXPECT_BYTES(file, expected);
}

TEST(BinaryMeshLayout, VersionEndsInOneLineFeedAndTheMeshChunkFollowsAtOnce) {
  TTempDir dir;
  const std::string file = Write(dir, TModel(), false, false);
  EXPECT_EQ(file.substr(0, 2), std::string("\x00\x10", 2));
  EXPECT_EQ(file.substr(2, 23), "[MeshSerializer_v1.30]\n");
  // No terminating zero: byte 25 starts the mesh chunk (0x3000, low byte first)
  // and its length sits right behind it.
  EXPECT_BYTES(file.substr(25, 6), std::string("\x00\x30\x29\x00\x00\x00", 6));
}

TEST(BinaryMeshLayout, SubMeshesFollowInOrderAndTheMeshLengthCoversThemAll) {
  TTempDir dir;
  TModel model;
  model.SubMesh(&model.Material("first", 2), kTriangle, {{0, 1, 2}, {2, 1, 0}});
  model.SubMesh(nullptr, {kTriangle[2], kTriangle[0]}, {{1, 0, 1}});  // no material: empty name, no sets
  model.SubMesh(&model.Material("third", 0), {}, {});
  const std::string file = Write(dir, model, true, true);
  EXPECT_BYTES(file, FileWith({SubMeshChunk("first", {{0, 1, 2}, {2, 1, 0}}, kTriangle, true, 2),
                               SubMeshChunk("", {{1, 0, 1}}, {kTriangle[2], kTriangle[0]}, true, 0),
                               SubMeshChunk("third", {}, {}, true, 0)},
                              kBounds));
}

// --- The formats of later OGREs ---

struct TLaterFormat {
  TMeshFormat Format;
  std::string_view Version;
};
const TLaterFormat kLaterFormats[] = {{TMeshFormat::V1_8, "[MeshSerializer_v1.8]"},
                                      {TMeshFormat::V1_100, "[MeshSerializer_v1.100]"}};

TEST(BinaryMeshFormats, LaterFormatsCloseEverySubMeshWithItsOperationAndTheMeshWithAnEmptyNameTable) {
  TTempDir dir;
  TModel model;
  model.SubMesh(&model.Material("first", 2), kTriangle, {{0, 1, 2}, {2, 1, 0}});
  model.SubMesh(&model.Material("empty", 0), {}, {});
  for (const TLaterFormat& later : kLaterFormats) {
    SCOPED_TRACE(later.Version);
    TBytes mesh;
    mesh.U8(0)
        .Raw(SubMeshChunk("first", {{0, 1, 2}, {2, 1, 0}}, kTriangle, true, 2, true).Bytes)
        .Raw(SubMeshChunk("empty", {}, {}, true, 0, true).Bytes)
        .Raw(BoundsChunk(kBounds).Bytes)
        .Chunk(0xA000, TBytes());
    const std::string expected = TBytes().U16(0x1000).Text(later.Version).Chunk(0x3000, mesh).Bytes;
    EXPECT_BYTES(Write(dir, model, true, true, kBounds, later.Format), expected);
  }
}

TEST(BinaryMeshFormats, EmptyModelInALaterFormatIsHeaderMeshBoundsAndNameTable) {
  TTempDir dir;
  for (const TLaterFormat& later : kLaterFormats) {
    SCOPED_TRACE(later.Version);
    const std::string file = Write(dir, TModel(), false, false, kBounds, later.Format);
    const std::size_t header = 2 + later.Version.size() + 1;
    ASSERT_EQ(file.size(), header + 47);
    EXPECT_EQ(file.substr(2, header - 2), std::string(later.Version) + "\n");
    // mesh chunk: 6 + 1 + bounds 34 + name table 6, the table last and empty
    EXPECT_BYTES(file.substr(header, 6), std::string("\x00\x30\x2F\x00\x00\x00", 6));
    EXPECT_BYTES(file.substr(header + 41), std::string("\x00\xA0\x06\x00\x00\x00", 6));
  }
}

TEST(BinaryMeshFormats, WithoutAFormatTheFileIsInTheOldestOne) {
  TTempDir dir;
  TModel model;
  model.SubMesh(&model.Material("Stone", 1), kTriangle, {{2, 1, 0}});
  const std::string name = dir.File("default.mesh");
  WriteBinaryMesh(name, model.SubMeshes, kBounds, true, true);
  EXPECT_EQ(TTempDir::Read(name), Write(dir, model, true, true, kBounds, TMeshFormat::V1_30));
  EXPECT_EQ(TTempDir::Read(name).size(), 266u) << "no operation chunk, no name table";
}

// --- Levels of detail ---

// Two sub-meshes and two levels beyond the full mesh: the first level keeps
// one triangle of each, the second one of the first and none of the second.
struct TTwoLevels {
  TModel Model;
  std::vector<TDetailLevel> Levels = {{250.0f, {{0, 1, 2}, {2, 1, 0}}}, {500.0f, {{2, 1, 0}, {}}}};
  TTwoLevels() {
    Model.SubMesh(&Model.Material("first", 0), kTriangle, {{0, 1, 2}, {2, 1, 0}});
    Model.SubMesh(&Model.Material("second", 0), kTriangle, {{2, 1, 0}});
  }
};

std::string WriteWithLevels(const TTempDir& dir, const TModel& model, TMeshFormat format,
                            const std::vector<TDetailLevel>& levels) {
  const std::string name = dir.File("levels.mesh");
  WriteBinaryMesh(name, model.SubMeshes, kBounds, false, true, nullptr, format, levels);
  return TTempDir::Read(name);
}

// The older formats' generated chunk of one sub-mesh's level: u32 index
// count, bool 32-bit, the indices.
TBytes Generated(std::initializer_list<unsigned> indices) {
  TBytes list;
  list.U32(static_cast<uint32_t>(indices.size())).U8(0);
  for (const unsigned index : indices) list.U16(index);
  return TBytes().Chunk(0x8120, list);
}

// The mesh chunk's content up to the levels: the skeleton flag and both sub-meshes.
TBytes TwoLevelsSubMeshes(bool operation) {
  TBytes mesh;
  mesh.U8(0)
      .Raw(SubMeshChunk("first", {{0, 1, 2}, {2, 1, 0}}, kTriangle, false, 0, operation).Bytes)
      .Raw(SubMeshChunk("second", {{2, 1, 0}}, kTriangle, false, 0, operation).Bytes);
  return mesh;
}

TEST(BinaryMeshLevelsOfDetail, TheOldestFormatHasAUsageChunkPerLevelWithTheSquaredDistance) {
  TTempDir dir;
  const TTwoLevels two;
  TBytes levels;
  levels.U16(3).U8(0);  // three levels with the full mesh, generated ones
  levels.Chunk(0x8100, TBytes().F32(62500.0f).Raw(Generated({0, 1, 2}).Bytes).Raw(Generated({2, 1, 0}).Bytes));
  levels.Chunk(0x8100, TBytes().F32(250000.0f).Raw(Generated({2, 1, 0}).Bytes).Raw(Generated({}).Bytes));
  TBytes mesh = TwoLevelsSubMeshes(false);
  const std::size_t at = kFileStart.size() + 6 + mesh.Bytes.size();
  mesh.Chunk(0x8000, levels).Raw(BoundsChunk(kBounds).Bytes);
  const std::string file = WriteWithLevels(dir, two.Model, TMeshFormat::V1_30, two.Levels);
  EXPECT_BYTES(file, TBytes().Raw(kFileStart).Chunk(0x3000, mesh).Bytes);
  // Worked out by hand: 6 + 3, then 6 + 4 + 17 + 17 and 6 + 4 + 17 + 11.
  EXPECT_BYTES(file.substr(at, 6), TBytes().U16(0x8000).U32(91).Bytes);
}

TEST(BinaryMeshLevelsOfDetail, TheOlderFormatNamesItsStrategyAndStoresTheDistance) {
  TTempDir dir;
  const TTwoLevels two;
  TBytes levels;
  levels.Text("Distance").U16(3).U8(0);
  levels.Chunk(0x8100, TBytes().F32(250.0f).Raw(Generated({0, 1, 2}).Bytes).Raw(Generated({2, 1, 0}).Bytes));
  levels.Chunk(0x8100, TBytes().F32(500.0f).Raw(Generated({2, 1, 0}).Bytes).Raw(Generated({}).Bytes));
  TBytes mesh = TwoLevelsSubMeshes(true);
  mesh.Chunk(0x8000, levels).Raw(BoundsChunk(kBounds).Bytes).Chunk(0xA000, TBytes());
  EXPECT_BYTES(WriteWithLevels(dir, two.Model, TMeshFormat::V1_8, two.Levels),
               TBytes().U16(0x1000).Text("[MeshSerializer_v1.8]").Chunk(0x3000, mesh).Bytes);
}

TEST(BinaryMeshLevelsOfDetail, TheNewestFormatHasOneGeneratedChunkPerLevelAndABufferRecordPerSubMesh) {
  TTempDir dir;
  const TTwoLevels two;
  // u32 count, u32 first index, u32 buffer (its own), bool 32-bit, u32 buffer count, the indices.
  const auto record = [](std::initializer_list<unsigned> indices) {
    const auto count = static_cast<uint32_t>(indices.size());
    TBytes list;
    list.U32(count).U32(0).U32(0xFFFFFFFF).U8(0).U32(count);
    for (const unsigned index : indices) list.U16(index);
    return list;
  };
  TBytes levels;
  levels.Text("distance_sphere").U16(3);  // no manual flag
  levels.Chunk(0x8120, TBytes().F32(250.0f).Raw(record({0, 1, 2}).Bytes).Raw(record({2, 1, 0}).Bytes));
  levels.Chunk(0x8120, TBytes().F32(500.0f).Raw(record({2, 1, 0}).Bytes).Raw(record({}).Bytes));
  TBytes mesh = TwoLevelsSubMeshes(true);
  mesh.Chunk(0x8000, levels).Raw(BoundsChunk(kBounds).Bytes).Chunk(0xA000, TBytes());
  EXPECT_BYTES(WriteWithLevels(dir, two.Model, TMeshFormat::V1_100, two.Levels),
               TBytes().U16(0x1000).Text("[MeshSerializer_v1.100]").Chunk(0x3000, mesh).Bytes);
}

TEST(BinaryMeshLevelsOfDetail, AnIndexBeyondSixteenBitsOrAMissingListIsRefusedWithoutAFile) {
  TTempDir dir;
  TTwoLevels two;
  const std::string name = dir.File("levels.mesh");
  std::vector<TDetailLevel> wide = two.Levels;
  wide[1].Indices[0] = {0, 65536, 1};
  EXPECT_EQ(ErrorOf([&] { WriteWithLevels(dir, two.Model, TMeshFormat::V1_100, wide); }),
            "Submeshes containing > 65536 vertices not supported.");
  EXPECT_FALSE(std::filesystem::exists(name));
  std::vector<TDetailLevel> missing = two.Levels;
  missing[0].Indices.pop_back();
  EXPECT_EQ(ErrorOf([&] { WriteWithLevels(dir, two.Model, TMeshFormat::V1_30, missing); }),
            "Internal error: a level of detail has 1 index lists for 2 sub-meshes.");
  EXPECT_FALSE(std::filesystem::exists(name));
}

// --- What goes into a vertex ---

TEST(BinaryMeshVertexFormat, WithoutNormalsTheFirstSetSitsAtOffsetTwelve) {
  TTempDir dir;
  TModel model;
  model.SubMesh(&model.Material("M", 2), kTriangle, {{2, 1, 0}});
  const std::string file = Write(dir, model, false, true);
  EXPECT_BYTES(file, FileWith({SubMeshChunk("M", {{2, 1, 0}}, kTriangle, false, 2)}, kBounds));

  // Spelled out: W = 12 + 8 x 2 = 28; elements position, set 0 at 12, set 1 at 20.
  // Offsets: 25 header, 7 mesh, 6 + 2 ("M\n") + 6 + 6 indices, 6 + 4 geometry.
  const std::size_t declaration = 25 + 7 + 6 + 2 + 6 + 6 + 6 + 4;
  TBytes elements;
  elements.U16(0x5100).U32(6 + 3 * 16);
  elements.U16(0x5110).U32(16).U16(0).U16(2).U16(1).U16(0).U16(0);
  elements.U16(0x5110).U32(16).U16(0).U16(1).U16(7).U16(12).U16(0);
  elements.U16(0x5110).U32(16).U16(0).U16(1).U16(7).U16(20).U16(1);
  elements.U16(0x5200).U32(16 + 3 * 28).U16(0).U16(28);
  EXPECT_BYTES(file.substr(declaration, elements.Bytes.size()), elements.Bytes);
}

TEST(BinaryMeshVertexFormat, LeftOutLightmapDropsItsElementAndItsCoordinates) {
  TTempDir dir;
  TModel model;
  model.SubMesh(&model.Material("LightMapped0", 2, true), kTriangle, {{2, 1, 0}});
  EXPECT_BYTES(Write(dir, model, true, false),
               FileWith({SubMeshChunk("LightMapped0", {{2, 1, 0}}, kTriangle, true, 1)}, kBounds));
  EXPECT_BYTES(Write(dir, model, true, true),
               FileWith({SubMeshChunk("LightMapped0", {{2, 1, 0}}, kTriangle, true, 2)}, kBounds));
}

TEST(BinaryMeshVertexFormat, OnlyAMarkedLightmapIsLeftOut) {
  TTempDir dir;
  TModel model;
  model.SubMesh(&model.Material("plain", 2, false), kTriangle, {{2, 1, 0}});
  EXPECT_BYTES(Write(dir, model, true, false),
               FileWith({SubMeshChunk("plain", {{2, 1, 0}}, kTriangle, true, 2)}, kBounds));
}

TEST(BinaryMeshVertexFormat, VertexLackingASetOfItsMaterialFailsWithoutFile) {
  TTempDir dir;
  TModel model;
  TVertexValues bare = kTriangle[0];
  bare.Sets.resize(1);
  model.SubMesh(&model.Material("M", 2), {kTriangle[0], bare}, {{0, 1, 0}});
  EXPECT_EQ(ErrorOf([&] { Write(dir, model, true, true); }), "List index out of bounds (1)");
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.mesh")));
}

// --- Material names ---

TEST(BinaryMeshMaterialName, NonAsciiNameIsWrittenAsItsBytesAndCountedInBytes) {
  TTempDir dir;
  TModel model;
  const std::string latin1 = "Gr\xFCn";           // 4 bytes, 8-bit text
  const std::string utf8 = "Gr\xC3\xBCn\xE2\x82\xAC";  // 8 bytes
  model.SubMesh(&model.Material(latin1, 0), {kTriangle[0]}, {{0, 0, 0}});
  model.SubMesh(&model.Material(utf8, 0), {kTriangle[0]}, {{0, 0, 0}});
  const std::string file = Write(dir, model, false, true);
  EXPECT_BYTES(file, FileWith({SubMeshChunk(latin1, {{0, 0, 0}}, {kTriangle[0]}, false, 0),
                               SubMeshChunk(utf8, {{0, 0, 0}}, {kTriangle[0]}, false, 0)},
                              kBounds));
  // Sub-mesh chunk: 6 + (4 + 1) + 1 + 4 + 1 + 6 + geometry (10 + 22 + 28 = 60) = 83.
  EXPECT_BYTES(file.substr(32, 11), std::string("\x00\x40\x53\x00\x00\x00Gr\xFCn\n", 11));
  EXPECT_BYTES(file.substr(32 + 83, 15), std::string("\x00\x40\x57\x00\x00\x00Gr\xC3\xBCn\xE2\x82\xAC\n", 15));
}

// --- The 16-bit index limit ---

namespace {
// A strip of `vertices` vertices whose last face uses the highest index.
void AddStrip(TModel& model, int vertices) {
  QZOgreSubMeshT& subMesh = model.SubMesh(&model.Material("strip", 0), {}, {});
  for (int i = 0; i < vertices; ++i) subMesh.AddVertex(QZOgreVertexT(static_cast<float>(i), 0, 0));
  subMesh.AddFace(0, 1, 2, subMesh.Material);
  subMesh.AddFace(vertices - 1, vertices - 2, 0, subMesh.Material);
}
}  // namespace

TEST(BinaryMeshIndices, SubMeshWith65536VerticesIsWritten) {
  TTempDir dir;
  TModel model;
  AddStrip(model, 65536);
  const std::string file = Write(dir, model, false, true);
  // 25 + 7 + sub-mesh (6 + 6 + 6 + 12 + geometry (10 + 22 + 16 + 12 x 65536)) + 34
  ASSERT_EQ(file.size(), 25u + 7 + 6 + 6 + 6 + 12 + 10 + 22 + 16 + 12u * 65536 + 34);
  EXPECT_BYTES(file.substr(50, 12), std::string("\x00\x00\x01\x00\x02\x00\xFF\xFF\xFE\xFF\x00\x00", 12));
  EXPECT_BYTES(file.substr(file.size() - 34 - 12, 12), TBytes().F32(65535.0f).F32(0).F32(0).Bytes);
}

TEST(BinaryMeshIndices, Index65536FailsAndLeavesNoFile) {
  TTempDir dir;
  TModel model;
  AddStrip(model, 65537);
  const std::string name = dir.File("out.mesh");
  EXPECT_EQ(ErrorOf([&] { WriteBinaryMesh(name, model.SubMeshes, kBounds, true, true); }),
            "Submeshes containing > 65536 vertices not supported.");
  EXPECT_FALSE(std::filesystem::exists(name));
  EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));
}

TEST(BinaryMeshIndices, FailureKeepsAnEarlierFileIntact) {
  TTempDir dir;
  const std::string name = dir.File("out.mesh");
  TTempDir::Write(name, "earlier contents");
  TModel model;
  model.SubMesh(&model.Material("good", 0), {kTriangle[0]}, {{0, 0, 0}});
  model.SubMesh(&model.Material("bad", 0), {kTriangle[0]}, {{0, 0, 0}, {0, 65536, 0}});
  EXPECT_EQ(ErrorOf([&] { WriteBinaryMesh(name, model.SubMeshes, kBounds, true, true); }),
            "Submeshes containing > 65536 vertices not supported.");
  EXPECT_EQ(TTempDir::Read(name), "earlier contents");
  EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));
}

TEST(BinaryMeshIndices, NegativeIndexIsRefusedRatherThanWrapped) {
  TTempDir dir;
  TModel model;
  model.SubMesh(&model.Material("broken", 0), {kTriangle[0]}, {{0, -1, 0}});
  EXPECT_EQ(ErrorOf([&] { Write(dir, model, true, true); }), "Submeshes containing > 65536 vertices not supported.");
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.mesh")));
}

// --- The file ---

TEST(BinaryMeshFile, ReplacesAnEarlierFileWhenComplete) {
  TTempDir dir;
  const std::string name = dir.File("out.mesh");
  TTempDir::Write(name, std::string(500, 'x'));
  WriteBinaryMesh(name, TSubMeshView{}, kBounds, true, true);
  EXPECT_EQ(TTempDir::Read(name), FileWith({}, kBounds));
  EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));
}

TEST(BinaryMeshFile, MissingDirectoryGivesTheCreateError) {
  TTempDir dir;
  const std::string name = dir.File("missing/out.mesh");
  EXPECT_EQ(ErrorOf([&] { WriteBinaryMesh(name, TSubMeshView{}, kBounds, true, true); }), "Cannot create file " + name);
}

TEST(BinaryMeshFile, MillionCornersAcrossManyBufferFillsComeOutWhole) {
  // 333334 faces (1000002 corners) over 65536 vertices of 32 bytes: the file
  // is many times the size of every buffer on the way.
  TTempDir dir;
  TModel model;
  QZOgreSubMeshT& subMesh = model.SubMesh(&model.Material("big", 1), {}, {});
  for (int i = 0; i < 65536; ++i) {
    QZOgreVertexT vertex(static_cast<float>(i), 0.5f, -1.0f);
    vertex.Normal.Z = 1;
    vertex.AddTextureCoordinates(static_cast<float>(i) / 65536.0f, 1);
    subMesh.AddVertex(std::move(vertex));
  }
  for (int f = 0; f < 333334; ++f)
    subMesh.AddFace((3 * f) % 65536, (3 * f + 1) % 65536, (3 * f + 2) % 65536, subMesh.Material);
  const std::string file = Write(dir, model, true, true);

  const std::size_t indices = 3u * 333334;
  const std::size_t dataStart = 25 + 7 + 6 + 4 + 1 + 4 + 1 + 2 * indices + 6 + 4 + 54 + 6 + 4 + 6;
  ASSERT_EQ(file.size(), dataStart + 32u * 65536 + 34);
  EXPECT_BYTES(file.substr(25, 6), TBytes().U16(0x3000).U32(static_cast<uint32_t>(file.size() - 25)).Bytes);
  // The last face, corners 999999 to 1000001, wraps to 16959, 16960, 16961;
  // the geometry's 80 bytes of headers and declaration lie between it and the data.
  EXPECT_BYTES(file.substr(dataStart - 80 - 6, 6), TBytes().U16(16959).U16(16960).U16(16961).Bytes);
  for (const int i : {0, 2047, 2048, 65535}) {
    TBytes vertex;
    vertex.F32(static_cast<float>(i)).F32(0.5f).F32(-1.0f).F32(0).F32(0).F32(1);
    vertex.F32(static_cast<float>(i) / 65536.0f).F32(1);
    EXPECT_BYTES(file.substr(dataStart + 32u * static_cast<std::size_t>(i), 32), vertex.Bytes) << i;
  }
}

// --- Many sub-meshes, packed on several threads ---

namespace {
// 120 sub-meshes of 1,000 vertices and 500 faces each, about 5 MB in all:
// several blocks of sub-meshes packed apart and joined in order.
void AddManySubMeshes(TModel& model) {
  QZOgreMaterialT& material = model.Material("many", 2);
  for (int s = 0; s < 120; ++s) {
    QZOgreSubMeshT& subMesh = model.SubMesh(&material, {}, {});
    for (int i = 0; i < 1000; ++i) {
      QZOgreVertexT vertex(static_cast<float>(s), static_cast<float>(i), -0.0f);
      vertex.AddTextureCoordinates(static_cast<float>(i), 0.5f);
      vertex.AddTextureCoordinates(0.25f, static_cast<float>(s));
      subMesh.AddVertex(std::move(vertex));
    }
    for (int f = 0; f < 500; ++f) subMesh.AddFace(f, 999 - f, (f * 7) % 1000, subMesh.Material);
  }
}

std::string WrittenWithThreads(const TTempDir& dir, const TModel& model, unsigned threads) {
  SetWorkerCount(threads);
  std::string file;
  const std::string error = ErrorOf([&] { file = Write(dir, model, true, true); });
  SetWorkerCount(0);
  return error == "no error" ? file : "error: " + error;
}
}  // namespace

TEST(BinaryMeshFile, SubMeshesPackedOnSeveralThreadsGiveTheBytesOfOneThread) {
  TTempDir dir;
  TModel model;
  AddManySubMeshes(model);
  const std::string alone = WrittenWithThreads(dir, model, 1);
  ASSERT_GT(alone.size(), 5'000'000u);
  for (const unsigned threads : {2u, 3u, 8u}) EXPECT_TRUE(WrittenWithThreads(dir, model, threads) == alone) << threads;

  // Two broken sub-meshes far apart: the error is the first one's, as one
  // thread meets it, either way round, and the file written before stays.
  for (const bool indexFirst : {true, false}) {
    TModel broken;
    AddManySubMeshes(broken);
    broken.SubMeshes[indexFirst ? 30 : 100]->Faces[300].Indices[1] = 70000;
    broken.SubMeshes[indexFirst ? 100 : 30]->Vertices[700].ClearTextureCoordinates();
    const std::string expected = indexFirst ? "error: Submeshes containing > 65536 vertices not supported."
                                            : "error: List index out of bounds (0)";
    for (const unsigned threads : {1u, 2u, 3u}) EXPECT_EQ(WrittenWithThreads(dir, broken, threads), expected) << threads;
    EXPECT_TRUE(TTempDir::Read(dir.File("out.mesh")) == alone);
  }
}
