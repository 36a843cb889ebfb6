#include <gtest/gtest.h>

#include "../support/ErrorOf.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "mesh/QZOgreMeshModelCl.h"
#include "mesh/QZOgreVertexListCl.h"

namespace {

using TCoordinates = std::vector<QZOgreTextureCoordinatesT>;

uint32_t Bits(float value) { return std::bit_cast<uint32_t>(value); }
float FromBits(uint32_t bits) { return std::bit_cast<float>(bits); }

const float NaN = std::numeric_limits<float>::quiet_NaN();

QZOgreNormalT Normal(float x, float y, float z) {
  QZOgreNormalT normal;
  normal.X = x, normal.Y = y, normal.Z = z;
  return normal;
}

QZOgreVertexT Vertex(float x, float y, float z, QZOgreNormalT normal = {}, const TCoordinates& coordinates = {}) {
  QZOgreVertexT vertex(x, y, z);
  vertex.Normal = normal;
  for (const QZOgreTextureCoordinatesT& pair : coordinates) vertex.AddTextureCoordinates(pair.U, pair.V);
  return vertex;
}

// Every field as its bit pattern, so that two vertices print the same exactly
// when they are the same bit for bit (-0.0 and NaN payloads included).
std::string Describe(const QZOgreVertexT& vertex) {
  char buffer[64];
  std::string text;
  std::snprintf(buffer, sizeof buffer, "pos %08x %08x %08x", Bits(vertex.X), Bits(vertex.Y), Bits(vertex.Z));
  text += buffer;
  std::snprintf(buffer, sizeof buffer, " normal %08x %08x %08x", Bits(vertex.Normal.X), Bits(vertex.Normal.Y),
                Bits(vertex.Normal.Z));
  text += buffer;
  text += " uv";
  for (const QZOgreTextureCoordinatesT& pair : vertex.TextureCoordinates) {
    std::snprintf(buffer, sizeof buffer, " (%08x %08x)", Bits(pair.U), Bits(pair.V));
    text += buffer;
  }
  return text;
}

// ---------------------------------------------------------------------------
// Mesh model

TEST(MeshModelSameAs, CoordinatesMatchOnlyWhenExactlyEqual) {
  const float direct = 0.1f;
  const float computed = 0.3f - 0.2f;
  ASSERT_NE(Bits(direct), Bits(computed)) << "the two ways of computing 0.1 must differ in the last bit";
  const QZOgreTextureCoordinatesT pair{direct, 0.5f};

  EXPECT_TRUE(pair.SameAs({direct, 0.5f}));
  EXPECT_FALSE(pair.SameAs({computed, 0.5f}));
  EXPECT_FALSE(pair.SameAs({0.5f, direct}));
  EXPECT_FALSE((QZOgreTextureCoordinatesT{0.5f, direct}.SameAs({0.5f, computed})));
}

TEST(MeshModelSameAs, NormalsMatchOnlyWhenExactlyEqual) {
  const float direct = 0.1f;
  const float computed = 0.3f - 0.2f;
  const QZOgreNormalT normal = Normal(direct, 0.2f, 0.3f);

  EXPECT_TRUE(normal.SameAs(Normal(direct, 0.2f, 0.3f)));
  EXPECT_FALSE(normal.SameAs(Normal(computed, 0.2f, 0.3f)));
  EXPECT_FALSE(normal.SameAs(Normal(direct, 0.3f, 0.3f)));
  EXPECT_FALSE(normal.SameAs(Normal(direct, 0.2f, 0.2f)));
}

TEST(MeshModelSameAs, ComparesAsNumbersSoSignedZerosMatchAndNaNNeverDoes) {
  EXPECT_TRUE((QZOgreTextureCoordinatesT{0.0f, 1.0f}.SameAs({-0.0f, 1.0f})));
  EXPECT_TRUE(Normal(0, 1, 0).SameAs(Normal(-0.0f, 1, -0.0f)));
  EXPECT_FALSE((QZOgreTextureCoordinatesT{NaN, 1.0f}.SameAs({NaN, 1.0f})));
  EXPECT_FALSE(Normal(0, NaN, 0).SameAs(Normal(0, NaN, 0)));
}

TEST(MeshModelNormal, HasNormalOnlyWhenAComponentIsNotZero) {
  EXPECT_FALSE(Vertex(1, 2, 3).HasNormal());
  EXPECT_FALSE(Vertex(1, 2, 3, Normal(-0.0f, 0, 0)).HasNormal());
  EXPECT_FALSE(Vertex(1, 2, 3, Normal(0, -0.0f, -0.0f)).HasNormal());
  EXPECT_TRUE(Vertex(1, 2, 3, Normal(0, 0, std::numeric_limits<float>::denorm_min())).HasNormal());
  EXPECT_TRUE(Vertex(1, 2, 3, Normal(0, -1, 0)).HasNormal());
  EXPECT_TRUE(Vertex(1, 2, 3, Normal(NaN, 0, 0)).HasNormal());
}

TEST(MeshModelNormal, AssignCopiesTheComponentsBitForBit) {
  QZOgreNormalT target = Normal(1, 2, 3);
  target.Assign(Normal(-0.0f, 0.5f, -4));
  EXPECT_EQ(Bits(target.X), Bits(-0.0f));
  EXPECT_EQ(target.Y, 0.5f);
  EXPECT_EQ(target.Z, -4.0f);
}

TEST(MeshModelVertex, ConstructionTakesXYZInOrderWithNoCoordinatesAndNoNormal) {
  const QZOgreVertexT vertex(1.5f, -2.5f, 3.25f);
  EXPECT_EQ(vertex.X, 1.5f);
  EXPECT_EQ(vertex.Y, -2.5f);
  EXPECT_EQ(vertex.Z, 3.25f);
  EXPECT_EQ(vertex.TextureCoordinateCount(), 0);
  EXPECT_FALSE(vertex.HasTextureCoordinates());
  EXPECT_EQ(Describe(vertex), "pos 3fc00000 c0200000 40500000 normal 00000000 00000000 00000000 uv");
}

TEST(MeshModelVertex, AssignFromTwoPairsOntoThreeLeavesExactlyTheSourceTwo) {
  QZOgreVertexT target = Vertex(9, 9, 9, Normal(0, 0, 1), {{1, 1}, {2, 2}, {3, 3}});
  const QZOgreVertexT source = Vertex(1, 2, 3, Normal(0, 1, 0), {{0.25f, 0.5f}, {0.75f, 1}});
  target.Assign(source);
  EXPECT_EQ(target.TextureCoordinateCount(), 2);
  EXPECT_EQ(Describe(target), Describe(source));
}

TEST(MeshModelVertex, AssignFromAVertexWithoutCoordinatesClearsThem) {
  QZOgreVertexT target = Vertex(9, 9, 9, Normal(0, 0, 1), {{1, 1}});
  target.Assign(Vertex(1, 2, 3));
  EXPECT_FALSE(target.HasTextureCoordinates());
  EXPECT_FALSE(target.HasNormal());
}

TEST(MeshModelVertex, CoordinatesAreKeptInOrderAndCleared) {
  QZOgreVertexT vertex(0, 0, 0);
  vertex.AddTextureCoordinates(0.25f, 0.5f);
  vertex.AddTextureCoordinates(0.75f, 1);
  ASSERT_EQ(vertex.TextureCoordinateCount(), 2);
  EXPECT_EQ(vertex.GetTextureCoordinates(0).U, 0.25f);
  EXPECT_EQ(vertex.GetTextureCoordinates(0).V, 0.5f);
  EXPECT_EQ(vertex.GetTextureCoordinates(1).U, 0.75f);
  EXPECT_EQ(vertex.GetTextureCoordinates(1).V, 1.0f);
  vertex.ClearTextureCoordinates();
  EXPECT_FALSE(vertex.HasTextureCoordinates());
}

TEST(MeshModelVertex, CoordinateIndexOutsideTheListRaisesTheListError) {
  const QZOgreVertexT vertex = Vertex(0, 0, 0, {}, {{1, 1}, {2, 2}});
  EXPECT_EQ(ErrorOf([&] { vertex.GetTextureCoordinates(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { vertex.GetTextureCoordinates(-1); }), "List index out of bounds (-1)");
}

TEST(MeshModelSubMesh, AddFaceKeepsIndexOrderAndMaterialAndAddFaceCopyDropsTheMaterial) {
  QZOgreMaterialT material;
  QZOgreSubMeshT subMesh;
  subMesh.AddFace(4, 7, 2, &material);
  subMesh.AddFaceCopy(subMesh.GetFace(0));

  ASSERT_EQ(subMesh.FaceCount(), 2);
  const QZOgreFaceInfoT& original = subMesh.GetFace(0);
  const QZOgreFaceInfoT& copy = subMesh.GetFace(1);
  EXPECT_EQ(original.Material, &material);
  EXPECT_EQ(copy.Material, nullptr);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(copy.GetIndex(i), original.GetIndex(i)) << i;
  EXPECT_EQ(original.GetIndex(0), 4);
  EXPECT_EQ(original.GetIndex(1), 7);
  EXPECT_EQ(original.GetIndex(2), 2);
}

TEST(MeshModelSubMesh, VerticesAreAppendedAtTheReturnedIndex) {
  QZOgreSubMeshT subMesh;
  EXPECT_EQ(subMesh.AddVertex(Vertex(1, 0, 0)), 0);
  EXPECT_EQ(subMesh.AddVertex(Vertex(2, 0, 0)), 1);
  EXPECT_EQ(subMesh.VertexCount(), 2);
  EXPECT_EQ(subMesh.GetVertex(1).X, 2.0f);
  EXPECT_EQ(ErrorOf([&] { subMesh.GetVertex(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { subMesh.GetFace(0); }), "List index out of bounds (0)");
}

TEST(MeshModelSubMesh, SortFacesGroupsByCreationOrderKeepingFaceOrderAndPutsNoMaterialFirst) {
  // Created in the order third, first, second element, so that the address
  // order of the array disagrees with the creation order.
  std::array<QZOgreMaterialT, 3> materials;
  materials[0].CreationOrder = 1;
  materials[1].CreationOrder = 2;
  materials[2].CreationOrder = 0;
  QZOgreSubMeshT subMesh;
  const std::array<QZOgreMaterialT*, 8> faceMaterials = {&materials[1], nullptr,       &materials[0], &materials[2],
                                                         &materials[1], &materials[2], nullptr,       &materials[0]};
  for (int32_t i = 0; i < static_cast<int32_t>(faceMaterials.size()); ++i)
    subMesh.AddFace(i, i, i, faceMaterials[static_cast<std::size_t>(i)]);

  subMesh.SortFaces();

  std::vector<int32_t> order;
  for (int i = 0; i < subMesh.FaceCount(); ++i) order.push_back(subMesh.GetFace(i).GetIndex(0));
  EXPECT_EQ(order, (std::vector<int32_t>{1, 6, 3, 5, 2, 7, 0, 4}));
  for (int i = 0; i < subMesh.FaceCount(); ++i)
    EXPECT_EQ(subMesh.GetFace(i).Material, faceMaterials[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])]);
}

TEST(MeshModelSubMesh, ExportedSetCountLeavesOutTheLightmapUnlessItIsExported) {
  QZOgreTextureT texture("t.png");
  QZOgreMaterialT material;
  for (int32_t set = 0; set < 3; ++set) material.AddTextureUnit(&texture, "modulate", set);
  QZOgreSubMeshT subMesh;
  EXPECT_EQ(subMesh.ExportedSetCount(true), 0) << "no material, no sets";

  subMesh.Material = &material;
  EXPECT_EQ(subMesh.ExportedSetCount(false), 3);
  EXPECT_EQ(subMesh.ExportedSetCount(true), 3);
  material.Lightmapped = true;
  EXPECT_EQ(subMesh.ExportedSetCount(false), 2);
  EXPECT_EQ(subMesh.ExportedSetCount(true), 3);
}

TEST(MeshModelMaterial, UnitsKeepTextureBlendAndSetInOrder) {
  QZOgreTextureT first("a.png");
  QZOgreTextureT second("b.png");
  QZOgreMaterialT material;
  EXPECT_FALSE(material.Used);
  EXPECT_FALSE(material.Lightmapped);
  material.AddTextureUnit(&first, "modulate", 0);
  material.AddTextureUnit(&second, "add", 1);
  ASSERT_EQ(material.TextureUnitCount(), 2);
  EXPECT_EQ(material.GetTextureUnit(1).Texture, &second);
  EXPECT_EQ(material.GetTextureUnit(1).Blend, "add");
  EXPECT_EQ(material.GetTextureUnit(1).TexCoordSet, 1);
  EXPECT_EQ(ErrorOf([&] { material.GetTextureUnit(2); }), "List index out of bounds (2)");
}

TEST(MeshModelBlendNames, IndexedByBlendOperationWithIgnoreEmpty) {
  EXPECT_EQ(OgreBlendNames[boIgnore], "");
  EXPECT_EQ(OgreBlendNames[boReplace], "replace");
  EXPECT_EQ(OgreBlendNames[boAdd], "add");
  EXPECT_EQ(OgreBlendNames[boModulate], "modulate");
  EXPECT_EQ(OgreBlendNames[boAlphaBlend], "alpha_blend");
}

// ---------------------------------------------------------------------------
// Vertex list: finding and merging

TEST(VertexListLookup, EmptyListFindsNothing) {
  const QZOgreVertexListT list;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.IndexOfItem(Vertex(0, 0, 0)), -1);
  EXPECT_EQ(list.IndexOfItem(Vertex(1, 2, 3, Normal(0, 1, 0), {{0, 0}})), -1);
}

TEST(VertexListLookup, IdenticalCornersShareOneVertex) {
  QZOgreVertexListT list;
  const QZOgreVertexT corner = Vertex(1, 2, 3, Normal(0, 1, 0), {{0.5f, 0.25f}});
  EXPECT_EQ(list.AddOrMerge(Vertex(7, 7, 7)), 0);
  EXPECT_EQ(list.AddOrMerge(corner), 1);
  EXPECT_EQ(list.AddOrMerge(corner), 1);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(Describe(list.GetVertex(1)), Describe(corner));
}

TEST(VertexListLookup, DifferentPositionsStaySeparate) {
  QZOgreVertexListT list;
  const float x = 0.1f;
  EXPECT_EQ(list.AddOrMerge(Vertex(x, 2, 3)), 0);
  EXPECT_EQ(list.AddOrMerge(Vertex(0.3f - 0.2f, 2, 3)), 1);
  EXPECT_EQ(list.AddOrMerge(Vertex(x, 2.5f, 3)), 2);
  EXPECT_EQ(list.AddOrMerge(Vertex(x, 2, 3.5f)), 3);
  EXPECT_EQ(list.IndexOfItem(Vertex(x, 2, 3)), 0);
}

TEST(VertexListLookup, DifferentNonZeroNormalsStaySeparate) {
  QZOgreVertexListT list;
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3, Normal(0, 1, 0))), 0);
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3, Normal(1, 0, 0))), 1);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.IndexOfItem(Vertex(1, 2, 3, Normal(0, 1, 0))), 0);
  EXPECT_EQ(list.IndexOfItem(Vertex(1, 2, 3, Normal(1, 0, 0))), 1);
}

TEST(VertexListLookup, IndexOfItemChangesNothing) {
  QZOgreVertexListT list;
  list.AddOrMerge(Vertex(1, 2, 3));
  EXPECT_EQ(list.IndexOfItem(Vertex(1, 2, 3, Normal(0, 1, 0), {{1, 1}})), 0);
  EXPECT_EQ(Describe(list.GetVertex(0)), Describe(Vertex(1, 2, 3)));
}

TEST(VertexListLookup, GetVertexOutsideTheListRaisesTheListError) {
  QZOgreVertexListT list;
  EXPECT_EQ(ErrorOf([&] { list.GetVertex(0); }), "List index out of bounds (0)");
  list.AddOrMerge(Vertex(1, 2, 3));
  EXPECT_EQ(ErrorOf([&] { list.GetVertex(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorOf([&] { list.GetVertex(-1); }), "List index out of bounds (-1)");
}

TEST(VertexListOneSided, StoredZeroNormalMatchesAndTakesOverTheLaterNormal) {
  QZOgreVertexListT list;
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3)), 0);
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3, Normal(0, 1, 0))), 0);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_TRUE(list.GetVertex(0).Normal.SameAs(Normal(0, 1, 0)));
  // Now that it has a normal, a different one no longer matches.
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3, Normal(1, 0, 0))), 1);
}

TEST(VertexListOneSided, StoredNormalRejectsALaterZeroNormal) {
  QZOgreVertexListT list;
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3, Normal(0, 1, 0))), 0);
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3)), 1);
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3, Normal(-0.0f, 0, 0))), 1) << "-0.0 makes no normal either";
  EXPECT_EQ(list.Count(), 2);
}

TEST(VertexListOneSided, StoredVertexWithoutCoordinatesTakesOverTheLaterOnes) {
  QZOgreVertexListT list;
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3)), 0);
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3, {}, {{0.5f, 0.5f}, {1, 0}})), 0);
  EXPECT_EQ(Describe(list.GetVertex(0)), Describe(Vertex(1, 2, 3, {}, {{0.5f, 0.5f}, {1, 0}})));
  // With coordinates of its own it now only matches those.
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3, {}, {{0.5f, 0.5f}, {1, 0}})), 0);
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3, {}, {{0.5f, 0.5f}, {0, 1}})), 1);
}

TEST(VertexListOneSided, DifferentCoordinateCountsNeverMatchAStoredVertexWithCoordinates) {
  QZOgreVertexListT list;
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3, {}, {{0, 0}, {1, 1}})), 0);
  EXPECT_EQ(list.IndexOfItem(Vertex(1, 2, 3, {}, {{0, 0}})), -1);
  EXPECT_EQ(list.IndexOfItem(Vertex(1, 2, 3, {}, {{0, 0}, {1, 1}, {2, 2}})), -1);
  EXPECT_EQ(list.IndexOfItem(Vertex(1, 2, 3)), -1);
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3, {}, {{0, 0}})), 1);
  EXPECT_EQ(list.Count(), 2);
}

TEST(VertexListOneSided, EveryCoordinatePairMustMatch) {
  QZOgreVertexListT list;
  list.AddOrMerge(Vertex(1, 2, 3, {}, {{0, 0}, {1, 1}}));
  EXPECT_EQ(list.IndexOfItem(Vertex(1, 2, 3, {}, {{0, 0}, {1, 0.5f}})), -1);
  EXPECT_EQ(list.IndexOfItem(Vertex(1, 2, 3, {}, {{0.5f, 0}, {1, 1}})), -1);
  EXPECT_EQ(list.IndexOfItem(Vertex(1, 2, 3, {}, {{0, 0}, {1, 1}})), 0);
}

TEST(VertexListMerge, TheMostRecentlyAddedEqualVertexIsFoundAndChanged) {
  QZOgreVertexListT list;
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3, Normal(0, 1, 0))), 0);
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3)), 1);
  // Both stored vertices accept this corner; the newer one takes it.
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3, Normal(0, 1, 0))), 1);
  EXPECT_TRUE(list.GetVertex(1).Normal.SameAs(Normal(0, 1, 0)));
  EXPECT_EQ(list.Count(), 2);
}

TEST(VertexListMerge, TheStoredVertexTakesOverSignedZerosOfCoordinatesAndNormal) {
  QZOgreVertexListT list;
  list.AddOrMerge(Vertex(1, 2, 3, Normal(0, 1, 0), {{0, 0.5f}}));
  const QZOgreVertexT corner = Vertex(1, 2, 3, Normal(-0.0f, 1, -0.0f), {{-0.0f, 0.5f}});
  EXPECT_EQ(list.AddOrMerge(corner), 0);
  EXPECT_EQ(Describe(list.GetVertex(0)), Describe(corner));
}

TEST(VertexListMerge, PositionsDifferingOnlyInTheSignOfAZeroAreNeverMerged) {
  QZOgreVertexListT list;
  std::vector<QZOgreVertexT> variants;
  for (int signs = 0; signs < 8; ++signs)
    variants.push_back(Vertex(signs & 1 ? -0.0f : 0.0f, signs & 2 ? -0.0f : 0.0f, signs & 4 ? -0.0f : 0.0f));
  for (std::size_t i = 0; i < variants.size(); ++i) EXPECT_EQ(list.AddOrMerge(variants[i]), static_cast<int32_t>(i));
  for (std::size_t i = 0; i < variants.size(); ++i) {
    EXPECT_EQ(list.AddOrMerge(variants[i]), static_cast<int32_t>(i));
    EXPECT_EQ(Describe(list.GetVertex(static_cast<int>(i))), Describe(variants[i]));
  }
  EXPECT_EQ(list.Count(), 8);
  EXPECT_EQ(list.AddOrMerge(Vertex(-0.0f, 5, 0)), 8);
  EXPECT_EQ(list.AddOrMerge(Vertex(0, 5, 0)), 9);
}

TEST(VertexListMerge, APositionWithANaNIsNeverFound) {
  QZOgreVertexListT list;
  const QZOgreVertexT corner = Vertex(1, NaN, 3);
  EXPECT_EQ(list.AddOrMerge(corner), 0);
  EXPECT_EQ(list.AddOrMerge(corner), 1);
  EXPECT_EQ(list.IndexOfItem(corner), -1);
  EXPECT_EQ(list.AddOrMerge(Vertex(1, 2, 3)), 2) << "nor does it match a number";
  EXPECT_EQ(Describe(list.GetVertex(1)), Describe(corner));
}

TEST(VertexListMerge, ManyPositionsAreEachFoundAtTheirOwnIndex) {
  // Enough distinct positions to make the index grow many times over.
  QZOgreVertexListT list;
  const int size = 60;
  const auto position = [](int i) { return Vertex(static_cast<float>(i % size) * 0.1f, 0.5f,
                                                   static_cast<float>(i / size) * 0.1f, Normal(0, 1, 0)); };
  for (int i = 0; i < size * size; ++i) ASSERT_EQ(list.AddOrMerge(position(i)), i);
  for (int i = 0; i < size * size; ++i) ASSERT_EQ(list.AddOrMerge(position(i)), i);
  EXPECT_EQ(list.Count(), size * size);
}

TEST(VertexListTakeOver, TakeVerticesHandsThemOverInListOrderAndEmptiesTheList) {
  QZOgreVertexListT list;
  list.AddOrMerge(Vertex(3, 0, 0));
  list.AddOrMerge(Vertex(1, 0, 0));
  list.AddOrMerge(Vertex(3, 0, 0, Normal(0, 0, 1)));
  list.AddOrMerge(Vertex(2, 0, 0));

  const std::vector<QZOgreVertexT> vertices = list.TakeVertices();
  ASSERT_EQ(vertices.size(), 3u);
  EXPECT_EQ(Describe(vertices[0]), Describe(Vertex(3, 0, 0, Normal(0, 0, 1))));
  EXPECT_EQ(vertices[1].X, 1.0f);
  EXPECT_EQ(vertices[2].X, 2.0f);

  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.IndexOfItem(Vertex(1, 0, 0)), -1);
  EXPECT_EQ(list.AddOrMerge(Vertex(2, 0, 0)), 0) << "the list starts afresh";
  EXPECT_EQ(list.AddOrMerge(Vertex(2, 0, 0)), 0);
}

// ---------------------------------------------------------------------------
// Equivalence with the literal scheme: 2047 chained buckets keyed on the top
// ten bits of each coordinate, new nodes at the head, the first equal node
// from the head wins, a clone on add and Assign on a merge. Written out here
// on its own, with its own equality, so that the list's behaviour is checked
// against it rather than against itself.

class TLiteralVertexList {
public:
  static constexpr int32_t BucketCount = 2047;

  TLiteralVertexList() { FHeads.fill(-1); }

  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  const QZOgreVertexT& Item(int32_t index) const { return FItems[static_cast<std::size_t>(index)]; }

  static int32_t Hash(const QZOgreVertexT& vertex) {
    const uint32_t h = (Bits(vertex.X) >> 22) + ((Bits(vertex.Y) >> 22) << 10) + ((Bits(vertex.Z) >> 22) << 20);
    return static_cast<int32_t>(h % BucketCount);
  }

  static bool Compare(const QZOgreVertexT& vertex, const QZOgreVertexT& stored) {
    bool equal = vertex.X == stored.X && vertex.Y == stored.Y && vertex.Z == stored.Z;
    if (equal && stored.TextureCoordinateCount() > 0) {
      if (vertex.TextureCoordinateCount() != stored.TextureCoordinateCount()) {
        equal = false;
      } else {
        for (int i = 0; i < stored.TextureCoordinateCount(); ++i) {
          const QZOgreTextureCoordinatesT& a = vertex.GetTextureCoordinates(i);
          const QZOgreTextureCoordinatesT& b = stored.GetTextureCoordinates(i);
          if (!(a.U == b.U && a.V == b.V)) equal = false;
        }
      }
    }
    const bool storedHasNormal = stored.Normal.X != 0 || stored.Normal.Y != 0 || stored.Normal.Z != 0;
    if (equal && storedHasNormal)
      equal = vertex.Normal.X == stored.Normal.X && vertex.Normal.Y == stored.Normal.Y &&
              vertex.Normal.Z == stored.Normal.Z;
    return equal;
  }

  int32_t IndexOfItem(const QZOgreVertexT& vertex) {
    const std::array<uint32_t, 3> position = {Bits(vertex.X), Bits(vertex.Y), Bits(vertex.Z)};
    for (int32_t node = FHeads[static_cast<std::size_t>(Hash(vertex))]; node >= 0; node = Next(node)) {
      const QZOgreVertexT& stored = Item(node);
      if (position != std::array<uint32_t, 3>{Bits(stored.X), Bits(stored.Y), Bits(stored.Z)})
        ++ComparedWithOtherPositions;
      if (Compare(vertex, stored)) return node;  // one node per item: the node's Index is its own
    }
    return -1;
  }

  int32_t AddOrMerge(const QZOgreVertexT& vertex) {
    const int32_t i = IndexOfItem(vertex);
    if (i >= 0) {
      FItems[static_cast<std::size_t>(i)].Assign(vertex);
      return i;
    }
    FItems.push_back(vertex.Clone());
    const std::size_t bucket = static_cast<std::size_t>(Hash(vertex));
    FNext.push_back(FHeads[bucket]);
    FHeads[bucket] = Count() - 1;
    return Count() - 1;
  }

  int64_t ComparedWithOtherPositions = 0;  // shows that buckets really were shared

private:
  int32_t Next(int32_t node) const { return FNext[static_cast<std::size_t>(node)]; }

  std::vector<QZOgreVertexT> FItems;
  std::vector<int32_t> FNext;
  std::array<int32_t, BucketCount> FHeads;
};

// What a stream did, so that each run can show it exercised what it is for.
struct TStreamCoverage {
  int64_t Merges = 0;
  int64_t ChangingMerges = 0;          // the stored vertex changed bits
  int64_t Appends = 0;
  int64_t SignedZeroTwinLookups = 0;   // the list held the position with a zero's sign flipped
  int64_t NaNPositions = 0;
  int64_t SharedBucketCompares = 0;
};

struct TCornerPools {
  std::vector<std::array<float, 3>> Positions;
  std::vector<QZOgreNormalT> Normals;
  std::vector<TCoordinates> CoordinateSets;
};

using TPosition = std::array<uint32_t, 3>;

TPosition PositionBits(const QZOgreVertexT& vertex) { return {Bits(vertex.X), Bits(vertex.Y), Bits(vertex.Z)}; }

bool HasSignedZeroTwin(const QZOgreVertexT& vertex, const std::set<TPosition>& stored) {
  const TPosition position = PositionBits(vertex);
  for (int flips = 1; flips < 8; ++flips) {
    TPosition twin = position;
    bool valid = true;
    for (std::size_t axis = 0; axis < 3; ++axis) {
      if (!(flips & (1 << axis))) continue;
      if ((twin[axis] & 0x7FFFFFFFu) != 0) valid = false;
      twin[axis] ^= 0x80000000u;
    }
    if (valid && stored.count(twin)) return true;
  }
  return false;
}

// Runs `operations` corners drawn from the pools through both lists; about one
// in eight is only looked up. Every returned index and the vertex it names
// must agree bit for bit, and so must the final lists.
void RunSideBySide(const TCornerPools& pools, uint32_t seed, int operations, TStreamCoverage& coverage) {
  std::mt19937 random(seed);
  const auto pick = [&](std::size_t size) {
    return static_cast<std::size_t>(std::uniform_int_distribution<std::size_t>(0, size - 1)(random));
  };
  QZOgreVertexListT list;
  TLiteralVertexList literal;
  std::set<TPosition> storedPositions;

  for (int operation = 0; operation < operations; ++operation) {
    const std::array<float, 3>& position = pools.Positions[pick(pools.Positions.size())];
    const QZOgreVertexT corner = Vertex(position[0], position[1], position[2], pools.Normals[pick(pools.Normals.size())],
                                        pools.CoordinateSets[pick(pools.CoordinateSets.size())]);
    SCOPED_TRACE("seed " + std::to_string(seed) + ", operation " + std::to_string(operation) + ": " +
                 Describe(corner));
    if (HasSignedZeroTwin(corner, storedPositions)) ++coverage.SignedZeroTwinLookups;
    if (corner.X != corner.X || corner.Y != corner.Y || corner.Z != corner.Z) ++coverage.NaNPositions;

    if (pick(8) == 0) {
      ASSERT_EQ(list.IndexOfItem(corner), literal.IndexOfItem(corner));
      continue;
    }
    const int32_t countBefore = literal.Count();
    const int32_t expected = literal.AddOrMerge(corner);
    const std::string before = expected < countBefore ? Describe(list.GetVertex(expected)) : "";
    ASSERT_EQ(list.AddOrMerge(corner), expected);
    ASSERT_EQ(list.Count(), literal.Count());
    ASSERT_EQ(Describe(list.GetVertex(expected)), Describe(literal.Item(expected)));
    if (expected < countBefore) {
      ++coverage.Merges;
      if (before != Describe(literal.Item(expected))) ++coverage.ChangingMerges;
    } else {
      ++coverage.Appends;
      storedPositions.insert(PositionBits(corner));
    }
  }

  coverage.SharedBucketCompares = literal.ComparedWithOtherPositions;
  const std::vector<QZOgreVertexT> vertices = list.TakeVertices();
  ASSERT_EQ(vertices.size(), static_cast<std::size_t>(literal.Count()));
  for (std::size_t i = 0; i < vertices.size(); ++i)
    ASSERT_EQ(Describe(vertices[i]), Describe(literal.Item(static_cast<int32_t>(i)))) << "vertex " << i;
}

std::vector<QZOgreNormalT> PlainNormals() {
  return {Normal(0, 0, 0), Normal(0, 1, 0), Normal(0, -1, 0), Normal(1, 0, 0), Normal(0.6f, 0.8f, 0), Normal(0, 0, 1)};
}

std::vector<TCoordinates> PlainCoordinateSets() {
  return {{}, {{0, 0}}, {{1, 0}}, {{0.5f, 0.5f}}, {{0, 0}, {1, 1}}, {{0, 0}, {0.5f, 1}}, {{1, 0}, {1, 1}, {0, 0}}};
}

TEST(VertexListEquivalence, RandomStreamsFromASmallPoolAgreeWithTheLiteralScheme) {
  const std::array<float, 10> values = {-2, -1, -0.5f, 0, 0.25f, 0.5f, 1, 1.5f, 2, 3.75f};
  for (uint32_t seed : {1u, 2u, 3u}) {
    std::mt19937 random(seed * 7919u);
    TCornerPools pools{{}, PlainNormals(), PlainCoordinateSets()};
    for (int i = 0; i < 40; ++i) {
      std::array<float, 3> position{};
      for (float& component : position) component = values[random() % values.size()];
      pools.Positions.push_back(position);
    }
    TStreamCoverage coverage;
    RunSideBySide(pools, seed, 20000, coverage);
    if (HasFatalFailure()) return;
    EXPECT_GT(coverage.Merges, 5000);
    EXPECT_GT(coverage.ChangingMerges, 1000);
    EXPECT_GT(coverage.Appends, 1000);
    EXPECT_GT(coverage.SharedBucketCompares, 1000);
  }
}

TEST(VertexListEquivalence, RandomStreamsOverManyPositionsAgreeWithTheLiteralScheme) {
  // Thousands of positions spread over a few octaves: long lists, an index
  // that grows many times and buckets of the literal scheme that fill up.
  std::mt19937 random(2024);
  std::uniform_real_distribution<float> coordinate(-100, 100);
  TCornerPools pools{{}, PlainNormals(), PlainCoordinateSets()};
  for (int i = 0; i < 3000; ++i) pools.Positions.push_back({coordinate(random), coordinate(random), coordinate(random)});
  TStreamCoverage coverage;
  RunSideBySide(pools, 11, 30000, coverage);
  if (HasFatalFailure()) return;
  EXPECT_GT(coverage.Merges, 3000);
  EXPECT_GT(coverage.Appends, 15000);
  EXPECT_GT(coverage.SharedBucketCompares, 100000);
}

// Components that stress exact comparison: signed zeros, NaNs of either sign
// and with a payload, denormals, infinities, and neighbours that share the
// literal hash's top ten bits.
std::vector<float> AdversarialComponents() {
  return {0.0f,
          -0.0f,
          NaN,
          -NaN,
          FromBits(0x7FC00123u),
          FromBits(0x00000001u),
          FromBits(0x80000001u),
          FromBits(0x007FFFFFu),
          std::numeric_limits<float>::min(),
          std::numeric_limits<float>::infinity(),
          -std::numeric_limits<float>::infinity(),
          1.0f,
          FromBits(0x3F800001u),
          1.25f,
          1.5f,
          2.0f,
          -1.0f};
}

std::vector<QZOgreNormalT> AdversarialNormals() {
  const float denormal = std::numeric_limits<float>::denorm_min();
  return {Normal(0, 0, 0),     Normal(-0.0f, 0, 0), Normal(0, -0.0f, -0.0f), Normal(0, 1, 0),
          Normal(-0.0f, 1, 0), Normal(0, 1, -0.0f), Normal(NaN, 0, 0),       Normal(0, 0, denormal),
          Normal(1, 0, 0)};
}

std::vector<TCoordinates> AdversarialCoordinateSets() {
  const float denormal = std::numeric_limits<float>::denorm_min();
  return {{},
          {{0, 0}},
          {{-0.0f, 0}},
          {{0, -0.0f}},
          {{NaN, 0}},
          {{denormal, 0}},
          {{1, 1}},
          {{0, 0}, {0, 0}},
          {{0, 0}, {-0.0f, -0.0f}},
          {{0, 0}, {1, 1}, {0, 0}}};
}

TEST(VertexListEquivalence, AdversarialStreamsAgreeWithTheLiteralScheme) {
  const std::vector<float> components = AdversarialComponents();
  for (uint32_t seed : {5u, 6u, 7u}) {
    std::mt19937 random(seed);
    TCornerPools pools{{}, AdversarialNormals(), AdversarialCoordinateSets()};
    for (int signs = 0; signs < 8; ++signs)
      pools.Positions.push_back({signs & 1 ? -0.0f : 0.0f, signs & 2 ? -0.0f : 0.0f, signs & 4 ? -0.0f : 0.0f});
    for (int i = 0; i < 24; ++i) {
      std::array<float, 3> position{};
      for (float& component : position) component = components[random() % components.size()];
      pools.Positions.push_back(position);
    }
    pools.Positions.push_back({NaN, 1, 1});  // a NaN position offered over and over
    TStreamCoverage coverage;
    RunSideBySide(pools, seed, 20000, coverage);
    if (HasFatalFailure()) return;
    EXPECT_GT(coverage.Merges, 3000);
    EXPECT_GT(coverage.ChangingMerges, 1000);
    EXPECT_GT(coverage.SignedZeroTwinLookups, 1000);
    EXPECT_GT(coverage.NaNPositions, 500);
  }
}

TEST(VertexListEquivalence, PositionsThatShareALiteralBucketAgreeWithTheLiteralScheme) {
  // Distinct positions gathered into a handful of literal buckets: both by
  // sharing the top ten bits of every coordinate and by sums that meet modulo
  // 2047, and with signed-zero twins among them.
  std::vector<float> values = AdversarialComponents();
  for (int k = -40; k <= 40; ++k) values.push_back(static_cast<float>(k) * 0.37f);
  const std::array<int32_t, 3> targets = {TLiteralVertexList::Hash(Vertex(1, 1, 1)),
                                          TLiteralVertexList::Hash(Vertex(0, 0, 0)),
                                          TLiteralVertexList::Hash(Vertex(-0.0f, 0, 0))};
  std::vector<std::array<float, 3>> candidates;
  std::set<uint32_t> topBits;  // distinct top-ten-bit triples that reached a target bucket
  for (float x : values)
    for (float y : values)
      for (float z : values) {
        const int32_t bucket = TLiteralVertexList::Hash(Vertex(x, y, z));
        if (bucket != targets[0] && bucket != targets[1] && bucket != targets[2]) continue;
        topBits.insert((Bits(x) >> 22) | (Bits(y) >> 22) << 10 | (Bits(z) >> 22) << 20);
        candidates.push_back({x, y, z});
      }
  ASSERT_GT(topBits.size(), 3u) << "buckets must also be shared through the modulo";
  ASSERT_GE(candidates.size(), 60u);
  std::shuffle(candidates.begin(), candidates.end(), std::mt19937(17));

  TCornerPools pools{{candidates.begin(), candidates.begin() + 60}, AdversarialNormals(), AdversarialCoordinateSets()};
  for (int signs = 0; signs < 8; ++signs)
    pools.Positions.push_back({signs & 1 ? -0.0f : 0.0f, signs & 2 ? -0.0f : 0.0f, signs & 4 ? -0.0f : 0.0f});

  TStreamCoverage coverage;
  RunSideBySide(pools, 99, 20000, coverage);
  if (HasFatalFailure()) return;
  EXPECT_GT(coverage.Merges, 3000);
  EXPECT_GT(coverage.ChangingMerges, 1000);
  EXPECT_GT(coverage.SignedZeroTwinLookups, 1000);
  EXPECT_GT(coverage.SharedBucketCompares, 1000000);
}

}  // namespace
