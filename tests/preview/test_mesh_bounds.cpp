// The check of a mesh's bounding boxes before OGRE reads them, on meshes
// built byte by byte: the boxes OGRE would assert on or no camera could
// frame, chunk lengths that do not add up, and either byte order.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "preview/uMeshBounds.h"

namespace {

class TMeshBytes {
public:
  explicit TMeshBytes(bool bigEndian = false) : FBigEndian(bigEndian) {}
  TMeshBytes& U8(std::uint8_t value) {
    FBytes += static_cast<char>(value);
    return *this;
  }
  TMeshBytes& U16(std::uint16_t value) { return Put(value, 2); }
  TMeshBytes& U32(std::uint32_t value) { return Put(value, 4); }
  TMeshBytes& F32(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return U32(bits);
  }
  TMeshBytes& Text(const std::string& text) {
    FBytes += text + "\n";
    return *this;
  }
  // A chunk with the id, the length given (or the true one) and the body.
  TMeshBytes& Chunk(std::uint16_t id, const TMeshBytes& body, std::uint32_t length = 0) {
    return U16(id).U32(length ? length : static_cast<std::uint32_t>(body.FBytes.size() + 6)).Raw(body.FBytes);
  }
  TMeshBytes& Raw(const std::string& bytes) {
    FBytes += bytes;
    return *this;
  }
  TMeshBytes Empty() const { return TMeshBytes(FBigEndian); }
  const std::string& Bytes() const { return FBytes; }

private:
  TMeshBytes& Put(std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
      FBytes += static_cast<char>(value >> (8 * (FBigEndian ? size - 1 - i : i)) & 0xFF);
    return *this;
  }
  bool FBigEndian;
  std::string FBytes;
};

using TBox = std::array<float, 6>;

TMeshBytes BoundsChunk(const TMeshBytes& in, const TBox& box) {
  TMeshBytes body = in.Empty();
  for (const float value : box) body.F32(value);
  body.F32(1);  // the radius
  return in.Empty().Chunk(0x9000, body);
}

// A mesh file: the header, and one mesh chunk holding a sub-mesh chunk of a
// few bytes and the given chunks.
std::string Mesh(const std::string& chunks, bool bigEndian = false) {
  TMeshBytes file(bigEndian);
  TMeshBytes subMesh = file.Empty().Raw("abcd");
  TMeshBytes mesh = file.Empty().U8(0).Chunk(0x4000, subMesh).Raw(chunks);
  return file.U16(0x1000).Text("[MeshSerializer_v1.30]").Chunk(0x3000, mesh).Bytes();
}

std::string Box(const TBox& box, bool bigEndian = false) {
  return Mesh(BoundsChunk(TMeshBytes(bigEndian), box).Bytes(), bigEndian);
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInfinity = std::numeric_limits<float>::infinity();

}  // namespace

TEST(MeshBounds, BoxesOgreAssertsOnOrNoCameraFramesAreRefusedInEitherByteOrder) {
  for (const bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
    EXPECT_EQ(MeshBoundsProblem(Box({-1, 0, -1, 1, 2, 1}, bigEndian), "M"), "");
    // A point, and the largest coordinates framed.
    EXPECT_EQ(MeshBoundsProblem(Box({5, 5, 5, 5, 5, 5}, bigEndian), "M"), "");
    EXPECT_EQ(MeshBoundsProblem(Box({-1e9f, -1e9f, -1e9f, 1e9f, 1e9f, 1e9f}, bigEndian), "M"), "");
    EXPECT_EQ(MeshBoundsProblem(Box({0, 0, 1, 1, 1, 0.5f}, bigEndian), "M"),
              "The mesh M has a bounding box whose minimum exceeds its maximum.");
    for (const TBox& box : {TBox{kNaN, 0, 0, 1, 1, 1}, TBox{0, 0, 0, 1, 1, kNaN}, TBox{-kInfinity, 0, 0, 1, 1, 1},
                            TBox{0, 0, 0, 1, kInfinity, 1}})
      EXPECT_EQ(MeshBoundsProblem(Box(box, bigEndian), "M"),
                "The mesh M has a bounding box with a corner that is no finite number.");
    for (const TBox& box : {TBox{0, 0, 0, 1e19f, 1, 1}, TBox{-1.5e9f, 0, 0, 0, 1, 1}})
      EXPECT_EQ(MeshBoundsProblem(Box(box, bigEndian), "M"),
                "The mesh M is too large to frame: its bounding box reaches beyond 1000000000 units from the origin.");
  }
}

TEST(MeshBounds, EveryBoxOfTheMeshCountsAndAMeshNeedsOne) {
  const TMeshBytes in;
  const std::string good = BoundsChunk(in, {0, 0, 0, 1, 1, 1}).Bytes();
  const std::string bad = BoundsChunk(in, {0, 0, 0, -1, 1, 1}).Bytes();
  EXPECT_EQ(MeshBoundsProblem(Mesh(good + good), "M"), "");
  EXPECT_NE(MeshBoundsProblem(Mesh(good + bad), "M"), "");
  EXPECT_EQ(MeshBoundsProblem(Mesh(""), "M"), "The mesh M has no bounding box to frame.");
  // A box-shaped chunk outside the mesh chunk is no box of the mesh.
  EXPECT_EQ(MeshBoundsProblem(Box({0, 0, 0, 1, 1, 1}) + bad, "M"), "");
}

TEST(MeshBounds, ChunkLengthsThatDoNotAddUpAreRefusedAndOtherFilesLeftToOgre) {
  const std::string damaged = "The mesh M is damaged: its chunks do not add up.";
  const std::string mesh = Box({0, 0, 0, 1, 1, 1});
  // The mesh chunk claims a byte more than the file holds, and fewer than its header.
  for (const std::uint32_t length : {static_cast<std::uint32_t>(mesh.size()), 5u}) {
    TMeshBytes file;
    file.U16(0x1000).Text("[MeshSerializer_v1.30]").U16(0x3000).U32(length).Raw(mesh.substr(file.Bytes().size() + 6));
    EXPECT_EQ(MeshBoundsProblem(file.Bytes(), "M"), damaged) << length;
  }
  // A chunk inside the mesh reaching past it, and a file that ends in a chunk's header.
  TMeshBytes inside;
  inside.U8(0).U16(0x4000).U32(1000);
  EXPECT_EQ(MeshBoundsProblem(TMeshBytes().U16(0x1000).Text("v").Chunk(0x3000, inside).Bytes(), "M"), damaged);
  EXPECT_EQ(MeshBoundsProblem(mesh + "\x01", "M"), damaged);
  EXPECT_EQ(MeshBoundsProblem(mesh.substr(0, mesh.size() - 3), "M"), damaged);
  // No mesh file at all: OGRE refuses it with a message of its own.
  EXPECT_EQ(MeshBoundsProblem("not a mesh", "M"), "");
  EXPECT_EQ(MeshBoundsProblem("", "M"), "");
}
