#include <gtest/gtest.h>

#include "../support/ErrorOf.h"

#include <bit>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>

#include "scene/uScene.h"

namespace {

TVertex* AddVertex(TPrimitive& primitive, const std::string& id, float x, float y, float z) {
  auto vertex = std::make_unique<TVertex>(x, y, z);
  vertex->Id = id;
  TVertex* added = vertex.get();
  primitive.AddVertex(std::move(vertex));
  return added;
}

TPolygon& AddPolygon(TPrimitive& primitive, std::initializer_list<TVertex*> corners) {
  auto polygon = std::make_unique<TPolygon>();
  for (TVertex* corner : corners) polygon->AddVertex(corner);
  TPolygon& added = *polygon;
  primitive.AddPolygon(std::move(polygon));
  return added;
}

// For positions and normals alike.
template <typename Point>
void ExpectXYZ(const Point& actual, double x, double y, double z, double tolerance = 0) {
  EXPECT_NEAR(actual.X, x, tolerance);
  EXPECT_NEAR(actual.Y, y, tolerance);
  EXPECT_NEAR(actual.Z, z, tolerance);
}

void ExpectNormals(const TPolygon& polygon, std::initializer_list<int> corners, double x, double y, double z,
                   double tolerance = 0) {
  for (int corner : corners) {
    SCOPED_TRACE("corner " + std::to_string(corner));
    ExpectXYZ(polygon.GetNormal(corner), x, y, z, tolerance);
  }
}

std::unique_ptr<TMaterial> NewMaterial(const std::string& id, const std::string& category) {
  auto material = std::make_unique<TMaterial>();
  material->Id = id;
  material->Category = category;
  return material;
}

// Two faces hinged along the X axis from (0,0,0) to (1,0,0). The first is the
// unit square in the plane z = 0, whose corners run so that its normal is
// (0, 0, -1). The second leaves the hinge towards -Y and rises: its far edge
// lies at y = -c, z = s, so its normal is (0, -s, -c) / |(s, c)| and the angle
// between the two normals is atan2(s, c).
struct THinge {
  TPolygon* Flat;
  TPolygon* Raised;
  TVertex* FarLeft;  // corner (0, -c, s) of the raised face
  TVertex* FarRight;
};

THinge BuildHinge(TPrimitive& flatPrimitive, TPrimitive& raisedPrimitive, float c, float s, bool shareHinge) {
  TVertex* a0 = AddVertex(flatPrimitive, "a0", 0, 0, 0);
  TVertex* a1 = AddVertex(flatPrimitive, "a1", 1, 0, 0);
  TVertex* a2 = AddVertex(flatPrimitive, "a2", 1, 1, 0);
  TVertex* a3 = AddVertex(flatPrimitive, "a3", 0, 1, 0);
  TVertex* b0 = shareHinge ? a0 : AddVertex(raisedPrimitive, "b0", 0, 0, 0);
  TVertex* b1 = shareHinge ? a1 : AddVertex(raisedPrimitive, "b1", 1, 0, 0);
  TVertex* b2 = AddVertex(raisedPrimitive, "b2", 0, -c, s);
  TVertex* b3 = AddVertex(raisedPrimitive, "b3", 1, -c, s);
  TPolygon& flat = AddPolygon(flatPrimitive, {a0, a1, a2, a3});
  TPolygon& raised = AddPolygon(raisedPrimitive, {b1, b0, b2, b3});
  return {&flat, &raised, b2, b3};
}

THinge BuildHinge(TPrimitive& primitive, float c, float s, bool shareHinge = true) {
  return BuildHinge(primitive, primitive, c, s, shareHinge);
}

const float kCos30 = 0.866025403784438646763723f;
// The raised face's normal at 30 degrees and, at the hinge, the normalised sum
// of both normals, which lies halfway: (0, -sin 15, -cos 15).
const double kRaised30Y = -0.5, kRaised30Z = -0.8660254037844386;
const double kHalfway30Y = -0.25881904510252074, kHalfway30Z = -0.9659258262890683;

}  // namespace

// ---- defaults and stored forms ----

TEST(SceneDefaults, SceneAndLightStartWithTheirDocumentedValues) {
  const TScene scene;
  EXPECT_EQ(scene.Name, "Tarnix Scene");
  EXPECT_EQ(scene.Author, "");
  EXPECT_EQ(scene.Comments, "");
  EXPECT_EQ(scene.AmbientColor, 0xFFFFFFFFu);
  EXPECT_EQ(scene.ShadowOpacity, 75);
  EXPECT_EQ(scene.MaterialCount(), 0);
  EXPECT_EQ(scene.PrimitiveCount(), 0);
  EXPECT_EQ(scene.LightCount(), 0);
  EXPECT_EQ(scene.CategoryCount(), 0);

  const TLight light;
  EXPECT_EQ(light.LightType, ltPoint);
  ExpectXYZ(light.Position, 0, 0, 0);
  ExpectXYZ(light.Direction, 0, 0, 0);
  EXPECT_EQ(light.DiffuseColor, 0u);
  EXPECT_EQ(light.SpecularColor, 0u);
  EXPECT_TRUE(light.Active);
  EXPECT_EQ(light.Intensity, 100);
  EXPECT_EQ(light.ConstantAttenuation, 1.0f);
  EXPECT_EQ(light.LinearAttenuation, 0.0f);
  EXPECT_EQ(std::bit_cast<uint32_t>(light.QuadraticAttenuation), 0x3649539Cu);
  EXPECT_EQ(light.Range, 1000);
  EXPECT_EQ(light.ConeInner, 0);
  EXPECT_EQ(light.ConeOuter, 0);
  EXPECT_EQ(light.ConeFalloff, 0);
}

TEST(SceneDefaults, MaterialsPrimitivesPolygonsAndVerticesStartEmpty) {
  const TMaterial material;
  EXPECT_EQ(material.Id + material.Name + material.Tag + material.Category, "");
  EXPECT_FALSE(material.Used);
  EXPECT_EQ(material.LayerCount(), 0);
  EXPECT_FALSE(material.HasLightmap());

  const TMaterialLayer layer;
  EXPECT_FALSE(layer.IsLightmap);
  EXPECT_EQ(layer.Blend, boReplace);
  EXPECT_EQ(layer.LayerType, lyTexture);
  EXPECT_EQ(layer.TextureFile, "");
  EXPECT_EQ(layer.Color, 0u);

  TPrimitive primitive;
  EXPECT_EQ(primitive.PrimitiveType, ptUserDefined);
  EXPECT_TRUE(primitive.Visible);
  EXPECT_EQ(primitive.SnapMethod, smNone);
  EXPECT_FALSE(primitive.AutoUV);
  EXPECT_EQ(primitive.VertexCount(), 0);
  EXPECT_EQ(primitive.PolygonCount(), 0);
  EXPECT_EQ(primitive.GetMainMaterial(), nullptr);
  EXPECT_EQ(primitive.FindVertex(""), nullptr);
  EXPECT_EQ(primitive.Properties().Count(), 0);

  const TPolygon polygon;
  EXPECT_EQ(polygon.Material, nullptr);
  EXPECT_EQ(polygon.VertexCount(), 0);
  EXPECT_EQ(polygon.UVSetCount(), 0);
  EXPECT_FALSE(polygon.HasNormals());
  ExpectXYZ(polygon.FaceNormal, 0, 0, 0);

  const TVertex vertex;
  ExpectXYZ(vertex, 0, 0, 0);
  EXPECT_EQ(vertex.Id, "");
  const TVertex placed(1.5f, -2, 3);
  ExpectXYZ(placed, 1.5, -2, 3);
  const TUVCoordinate coordinate;
  EXPECT_EQ(coordinate.U, 0.0f);
  EXPECT_EQ(coordinate.V, 0.0f);
}

TEST(SceneDefaults, EnumerationsAreOneByteOrdinals) {
  static_assert(sizeof(TPrimitiveType) == 1 && sizeof(TLayerType) == 1 && sizeof(TBlendOperation) == 1 &&
                sizeof(TSnapMethod) == 1 && sizeof(TLightType) == 1);
  EXPECT_EQ(static_cast<int>(ptRectangle), 0);
  EXPECT_EQ(static_cast<int>(ptVertice), 5);
  EXPECT_EQ(static_cast<int>(ptUserDefined), 9);
  EXPECT_EQ(static_cast<int>(ptPointLight), 13);
  EXPECT_EQ(static_cast<int>(ptText), 19);
  EXPECT_EQ(static_cast<int>(lyColor), 1);
  EXPECT_EQ(static_cast<int>(boIgnore), 0);
  EXPECT_EQ(static_cast<int>(boAlphaBlend), 4);
  EXPECT_EQ(static_cast<int>(smLocation), 3);
  EXPECT_EQ(static_cast<int>(ltSpot), 2);
}

// ---- properties parsed from a tag ----

TEST(Properties, EntriesSeparatedByBarsGiveNameValuePairs) {
  const TProperties properties("type box|shape sphere");
  ASSERT_EQ(properties.Count(), 2);
  EXPECT_EQ(properties.GetName(0), "type");
  EXPECT_EQ(properties.GetValueAt(0), "box");
  EXPECT_EQ(properties.GetName(1), "shape");
  EXPECT_EQ(properties.GetValueAt(1), "sphere");

  // A trailing bar adds nothing more.
  const TProperties trailing("a 1|b 2|");
  ASSERT_EQ(trailing.Count(), 2);
  EXPECT_EQ(trailing.Names, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(trailing.Values, (std::vector<std::string>{"1", "2"}));
}

TEST(Properties, EmptyTagLoneNameAndLoneBar) {
  EXPECT_EQ(TProperties("").Count(), 0);

  const TProperties solid("solid");
  ASSERT_EQ(solid.Count(), 1);
  EXPECT_EQ(solid.GetName(0), "solid");
  EXPECT_EQ(solid.GetValueAt(0), "");

  const TProperties bar("|");
  ASSERT_EQ(bar.Count(), 1);
  EXPECT_EQ(bar.GetName(0), "");
  EXPECT_EQ(bar.GetValueAt(0), "");

  EXPECT_EQ(TProperties("||").Count(), 2);
}

TEST(Properties, OnlyTheFirstBlankSeparatesAndValuesKeepTheirBlanks) {
  const TProperties twoBlanks("type  box");
  ASSERT_EQ(twoBlanks.Count(), 1);
  EXPECT_EQ(twoBlanks.GetValueAt(0), " box");

  const TProperties sentence("note two  words |x");
  ASSERT_EQ(sentence.Count(), 2);
  EXPECT_EQ(sentence.GetName(0), "note");
  EXPECT_EQ(sentence.GetValueAt(0), "two  words ");
  EXPECT_EQ(sentence.GetName(1), "x");
}

TEST(Properties, BlankAtTheStartOfAnEntryLeavesTheNameEmpty) {
  // The last entry has no name and no closing bar, so it is dropped.
  const TProperties properties("type box| shape sphere");
  ASSERT_EQ(properties.Count(), 1);
  EXPECT_EQ(properties.GetName(0), "type");
  EXPECT_EQ(properties.GetValueAt(0), "box");

  // With a closing bar it is kept, with an empty name.
  const TProperties closed(" x|");
  ASSERT_EQ(closed.Count(), 1);
  EXPECT_EQ(closed.GetName(0), "");
  EXPECT_EQ(closed.GetValueAt(0), "x");
}

TEST(Properties, NamesLoseSurroundingControlCharactersButOnlyABlankSeparates) {
  const TProperties properties("\tkind\x01 solid|a\tb c");
  ASSERT_EQ(properties.Count(), 2);
  EXPECT_EQ(properties.GetName(0), "kind");
  EXPECT_EQ(properties.GetValueAt(0), "solid");
  EXPECT_EQ(properties.GetName(1), "a\tb");
  EXPECT_EQ(properties.GetValueAt(1), "c");
}

TEST(Properties, GetValueMatchesTheFirstNameIgnoringCase) {
  TProperties properties("Type box|TYPE sphere|shape capsule");
  EXPECT_EQ(properties.GetValue("type"), "box");
  EXPECT_EQ(properties.GetValue("SHAPE"), "capsule");
  EXPECT_EQ(properties.GetValue("size"), "");
  EXPECT_EQ(properties.GetValue("typ"), "");

  properties.Add("size", "3");
  properties.Parse("extra 1");
  ASSERT_EQ(properties.Count(), 5);
  EXPECT_EQ(properties.GetName(3), "size");
  EXPECT_EQ(properties.GetValue("Size"), "3");
  EXPECT_EQ(properties.GetValue("extra"), "1");
}

TEST(Properties, IndexOutsideTheListFails) {
  const TProperties properties("a 1");
  EXPECT_EQ(ErrorOf([&] { properties.GetName(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorOf([&] { properties.GetValueAt(-1); }), "List index out of bounds (-1)");
}

// ---- UV sets and coordinates, created on demand ----

TEST(UVCoordinates, EnsureCoordinateAppendsZerosUpToTheIndex) {
  TUVCoordinates coordinates;
  TUVCoordinate& fourth = coordinates.EnsureCoordinate(3);
  EXPECT_EQ(coordinates.Count(), 4);
  EXPECT_EQ(fourth.U, 0.0f);
  EXPECT_EQ(fourth.V, 0.0f);
  fourth.U = 0.25f;
  EXPECT_EQ(coordinates.EnsureCoordinate(3).U, 0.25f);
  EXPECT_EQ(coordinates.EnsureCoordinate(0).U, 0.0f);
  EXPECT_EQ(coordinates.Count(), 4);

  coordinates.Add(0.5f, 0.75f);
  EXPECT_EQ(coordinates.Count(), 5);
  EXPECT_EQ(coordinates.EnsureCoordinate(4).U, 0.5f);
  EXPECT_EQ(coordinates.EnsureCoordinate(4).V, 0.75f);
}

TEST(UVCoordinates, NegativeIndexFailsAndAddsNothing) {
  TUVCoordinates coordinates;
  EXPECT_EQ(ErrorOf([&] { coordinates.EnsureCoordinate(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(coordinates.Count(), 0);
}

TEST(UVCoordinates, PolygonCreatesMissingSetsUpToTheLayer) {
  TPolygon polygon;
  TUVCoordinates& third = polygon.EnsureUVCoordinates(2);
  EXPECT_EQ(polygon.UVSetCount(), 3);
  EXPECT_EQ(third.Count(), 0);
  third.Add(1, 2);
  EXPECT_EQ(polygon.EnsureUVCoordinates(2).Count(), 1);
  EXPECT_EQ(polygon.EnsureUVCoordinates(0).Count(), 0);
  EXPECT_EQ(polygon.UVSetCount(), 3);
  EXPECT_EQ(ErrorOf([&] { polygon.EnsureUVCoordinates(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(polygon.UVSetCount(), 3);
}

TEST(UVCoordinates, ReadingWithoutGrowingGivesZerosWhereNothingIsStored) {
  TPolygon polygon;
  polygon.EnsureUVCoordinates(0).Add(0.25f, 0.75f);
  const TPolygon& reader = polygon;
  EXPECT_EQ(reader.GetUVCoordinate(0, 0).U, 0.25f);
  EXPECT_EQ(reader.GetUVCoordinate(0, 0).V, 0.75f);
  for (const auto& [layer, corner] : {std::pair{0, 1}, std::pair{0, 500}, std::pair{1, 0}, std::pair{7, 3}}) {
    const TUVCoordinate missing = reader.GetUVCoordinate(layer, corner);
    EXPECT_EQ(missing.U, 0) << layer << "," << corner;
    EXPECT_EQ(missing.V, 0) << layer << "," << corner;
  }
  EXPECT_EQ(polygon.UVSetCount(), 1) << "no set was added by reading";
  EXPECT_EQ(polygon.EnsureUVCoordinates(0).Count(), 1) << "no coordinate was added by reading";
  EXPECT_EQ(ErrorOf([&] { reader.GetUVCoordinate(-1, 0); }), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf([&] { reader.GetUVCoordinate(0, -2); }), "List index out of bounds (-2)");
  EXPECT_EQ(ErrorOf([&] { reader.GetUVCoordinate(3, -1); }), "List index out of bounds (-1)");
}

// ---- polygon corners, face normal and stored normals ----

TEST(PolygonCorners, AddedInOrderAndIndexed) {
  TVertex a, b;
  TPolygon polygon;
  EXPECT_EQ(polygon.AddVertex(&a), 0);
  EXPECT_EQ(polygon.AddVertex(&b), 1);
  EXPECT_EQ(polygon.AddVertex(&a), 2);
  EXPECT_EQ(polygon.VertexCount(), 3);
  EXPECT_EQ(polygon.GetVertex(1), &b);
  EXPECT_EQ(polygon.GetVertex(2), &a);
  EXPECT_EQ(ErrorOf([&] { polygon.GetVertex(3); }), "List index out of bounds (3)");
  EXPECT_EQ(ErrorOf([&] { polygon.GetVertex(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf([&] { polygon.AddVertex(nullptr); }), "Cannot add a missing object.");
  EXPECT_EQ(polygon.VertexCount(), 3);
}

TEST(FaceNormal, PointsToTheSideFromWhichTheCornersRunClockwise) {
  TVertex origin(0, 0, 0), x(1, 0, 0), y(0, 1, 0), z(0, 0, 1);
  TPolygon triangle;
  for (TVertex* corner : {&origin, &x, &y}) triangle.AddVertex(corner);
  const TNormal& normal = triangle.CalculateNormal();
  EXPECT_EQ(&normal, &triangle.FaceNormal);
  ExpectXYZ(normal, 0, 0, -1);

  TPolygon reversed;
  for (TVertex* corner : {&origin, &y, &x}) reversed.AddVertex(corner);
  ExpectXYZ(reversed.CalculateNormal(), 0, 0, 1);

  // Against the cross product of the first two edges: (-1, 1, 0) x (-1, 0, 1) = (1, 1, 1).
  TPolygon slanted;
  for (TVertex* corner : {&x, &y, &z}) slanted.AddVertex(corner);
  const double third = -1 / std::sqrt(3.0);
  ExpectXYZ(slanted.CalculateNormal(), third, third, third, 1e-7);
}

TEST(FaceNormal, SizeDoesNotMatterAboveTheMinimumLength) {
  TVertex a(0, 0, 0), b(0, 20, 0), c(0, 20, 20), d(0, 0, 20);
  TPolygon square;
  for (TVertex* corner : {&a, &b, &c, &d}) square.AddVertex(corner);
  ExpectXYZ(square.CalculateNormal(), -1, 0, 0);
}

TEST(FaceNormal, TinyPolygonIsDividedByTheMinimumLength) {
  // Twice the area is 1e-4, below 0.001: the normal comes out a tenth long.
  TVertex a(0, 0, 0), b(0.01f, 0, 0), c(0, 0.01f, 0);
  TPolygon triangle;
  for (TVertex* corner : {&a, &b, &c}) triangle.AddVertex(corner);
  ExpectXYZ(triangle.CalculateNormal(), 0, 0, -0.1, 1e-7);
}

TEST(FaceNormal, CoincidentCornersGiveTheZeroVector) {
  TVertex a(2, 3, 4), b(2, 3, 4), c(2, 3, 4);
  TPolygon polygon;
  for (TVertex* corner : {&a, &b, &c}) polygon.AddVertex(corner);
  ExpectXYZ(polygon.CalculateNormal(), 0, 0, 0);
}

TEST(FaceNormal, EachCallOverwritesTheStoredNormal) {
  TVertex a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
  TPolygon triangle;
  for (TVertex* corner : {&a, &b, &c}) triangle.AddVertex(corner);
  triangle.CalculateNormal();
  c = TVertex(0, 0, 1);
  ExpectXYZ(triangle.CalculateNormal(), 0, 1, 0);
  ExpectXYZ(triangle.FaceNormal, 0, 1, 0);
}

TEST(FaceNormal, PolygonWithoutCornersFailsOnItsLastCorner) {
  TPolygon polygon;
  polygon.FaceNormal = {1, 2, 3};
  EXPECT_EQ(ErrorOf([&] { polygon.CalculateNormal(); }), "List index out of bounds (-1)");
  ExpectXYZ(polygon.FaceNormal, 1, 2, 3);
}

TEST(PolygonNormals, UnavailableUntilTheFirstIsAdded) {
  TPolygon polygon;
  EXPECT_EQ(ErrorOf([&] { polygon.GetNormal(0); }), "Normals have not been calculated yet.");
  EXPECT_FALSE(polygon.HasNormals());

  polygon.AddNormal(0.5f, -1, 2);
  polygon.AddNormal(3, 4, 5);
  EXPECT_TRUE(polygon.HasNormals());
  EXPECT_EQ(polygon.NormalCount(), 2);
  ExpectXYZ(polygon.GetNormal(0), 0.5, -1, 2);
  ExpectXYZ(polygon.GetNormal(1), 3, 4, 5);
  EXPECT_EQ(ErrorOf([&] { polygon.GetNormal(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { polygon.GetNormal(-1); }), "List index out of bounds (-1)");
}

// ---- materials and categories ----

TEST(Material, LayersAreOwnedAndIndexed) {
  TMaterial material;
  auto texture = std::make_unique<TMaterialLayer>();
  const TMaterialLayer* textureAddress = texture.get();
  EXPECT_EQ(material.AddLayer(std::move(texture)), 0);
  EXPECT_FALSE(material.HasLightmap());

  auto lightmap = std::make_unique<TMaterialLayer>();
  lightmap->IsLightmap = true;
  EXPECT_EQ(material.AddLayer(std::move(lightmap)), 1);
  EXPECT_TRUE(material.HasLightmap());
  EXPECT_EQ(material.LayerCount(), 2);
  EXPECT_EQ(&material.GetLayer(0), textureAddress);
  EXPECT_TRUE(material.GetLayer(1).IsLightmap);

  EXPECT_EQ(ErrorOf([&] { material.GetLayer(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { material.GetLayer(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf([&] { material.AddLayer(nullptr); }), "Cannot add a missing object.");
  EXPECT_EQ(material.LayerCount(), 2);
}

TEST(Material, CategoryOnlyRefersToItsMaterials) {
  TMaterial first, second;
  {
    TMaterialCategory category;
    category.AddMaterial(&first);
    category.AddMaterial(&second);
    EXPECT_EQ(category.MaterialCount(), 2);
    EXPECT_EQ(category.GetMaterial(0), &first);
    EXPECT_EQ(category.GetMaterial(1), &second);
    EXPECT_EQ(ErrorOf([&] { category.GetMaterial(2); }), "List index out of bounds (2)");
  }
  // Freeing the category must leave the materials alone: the address
  // sanitizer reports any attempt to free these stack objects.
}

TEST(SceneMaterials, CategoriesMatchIgnoringCaseAndKeepTheFirstSpelling) {
  TScene scene;
  scene.AddMaterial(NewMaterial("m0", "Walls"));
  scene.AddMaterial(NewMaterial("m1", "walls"));
  scene.AddMaterial(NewMaterial("m2", "Floors"));
  scene.AddMaterial(NewMaterial("m3", "WALLS"));
  scene.AddMaterial(NewMaterial("m4", ""));

  EXPECT_EQ(scene.MaterialCount(), 5);
  ASSERT_EQ(scene.CategoryCount(), 3);
  const TMaterialCategory& walls = scene.GetCategory(0);
  EXPECT_EQ(walls.Name, "Walls");
  ASSERT_EQ(walls.MaterialCount(), 3);
  EXPECT_EQ(walls.GetMaterial(0), &scene.GetMaterial(0));
  EXPECT_EQ(walls.GetMaterial(1), &scene.GetMaterial(1));
  EXPECT_EQ(walls.GetMaterial(2), &scene.GetMaterial(3));
  EXPECT_EQ(scene.GetCategory(1).Name, "Floors");
  ASSERT_EQ(scene.GetCategory(1).MaterialCount(), 1);
  EXPECT_EQ(scene.GetCategory(1).GetMaterial(0), &scene.GetMaterial(2));
  EXPECT_EQ(scene.GetCategory(2).Name, "");
  EXPECT_EQ(scene.GetCategory(2).GetMaterial(0)->Id, "m4");
  EXPECT_EQ(ErrorOf([&] { scene.GetCategory(3); }), "List index out of bounds (3)");
}

TEST(SceneMaterials, FindMaterialComparesIdentifiersExactly) {
  TScene scene;
  scene.AddMaterial(NewMaterial("wall", "c"));
  scene.AddMaterial(NewMaterial("floor", "c"));
  scene.AddMaterial(NewMaterial("wall", "c"));
  EXPECT_EQ(scene.FindMaterial("Wall"), nullptr);
  EXPECT_EQ(scene.FindMaterial("wall"), &scene.GetMaterial(0));
  EXPECT_EQ(scene.FindMaterial("floor"), &scene.GetMaterial(1));
  EXPECT_EQ(scene.FindMaterial("wal"), nullptr);
  EXPECT_EQ(scene.FindMaterial(""), nullptr);

  // Identifiers are read after the material is filed; the search sees them.
  scene.GetMaterial(1).Id = "ceiling";
  EXPECT_EQ(scene.FindMaterial("ceiling"), &scene.GetMaterial(1));
  EXPECT_EQ(scene.FindMaterial("floor"), nullptr);
}

TEST(SceneMaterials, IndexOfMaterialIsByIdentity) {
  TScene scene;
  scene.AddMaterial(NewMaterial("a", "c"));
  scene.AddMaterial(NewMaterial("a", "c"));
  EXPECT_EQ(scene.IndexOfMaterial(&scene.GetMaterial(0)), 0);
  EXPECT_EQ(scene.IndexOfMaterial(&scene.GetMaterial(1)), 1);
  const TMaterial lookalike;
  EXPECT_EQ(scene.IndexOfMaterial(&lookalike), -1);
  EXPECT_EQ(scene.IndexOfMaterial(nullptr), -1);
}

// ---- ownership and indexed access ----

TEST(SceneOwnership, ObjectsHandedOverKeepTheirAddresses) {
  TScene scene;
  auto material = NewMaterial("m", "c");
  const TMaterial* materialAddress = material.get();
  scene.AddMaterial(std::move(material));

  auto primitive = std::make_unique<TPrimitive>();
  TVertex* corner = AddVertex(*primitive, "v", 1, 2, 3);
  TPolygon& polygon = AddPolygon(*primitive, {corner});
  polygon.Material = &scene.GetMaterial(0);
  polygon.EnsureUVCoordinates(1).Add(0.5f, 0.5f);
  polygon.AddNormal(0, 0, 1);
  primitive->Tag = "type box";
  primitive->Properties();
  const TPrimitive* primitiveAddress = primitive.get();
  EXPECT_EQ(scene.AddPrimitive(std::move(primitive)), 0);

  auto light = std::make_unique<TLight>();
  const TLight* lightAddress = light.get();
  EXPECT_EQ(scene.AddLight(std::move(light)), 0);
  EXPECT_EQ(scene.AddLight(std::make_unique<TLight>()), 1);

  // Growing the lists moves nothing that was handed over.
  for (int i = 0; i < 100; ++i) {
    scene.AddMaterial(NewMaterial("x", "c"));
    scene.AddPrimitive(std::make_unique<TPrimitive>());
  }
  EXPECT_EQ(&scene.GetMaterial(0), materialAddress);
  EXPECT_EQ(&scene.GetPrimitive(0), primitiveAddress);
  EXPECT_EQ(&scene.GetLight(0), lightAddress);
  EXPECT_EQ(scene.GetPrimitive(0).GetPolygon(0).GetVertex(0), corner);
  EXPECT_EQ(scene.GetPrimitive(0).GetMainMaterial(), materialAddress);
  EXPECT_EQ(scene.PrimitiveCount(), 101);
  EXPECT_EQ(scene.LightCount(), 2);
}

TEST(SceneOwnership, IndexOutsideAnyListFails) {
  TScene scene;
  scene.AddMaterial(NewMaterial("m", "c"));
  auto primitive = std::make_unique<TPrimitive>();
  TVertex* corner = AddVertex(*primitive, "v", 0, 0, 0);
  AddPolygon(*primitive, {corner});
  scene.AddPrimitive(std::move(primitive));
  scene.AddLight(std::make_unique<TLight>());
  const TPrimitive& stored = scene.GetPrimitive(0);

  EXPECT_EQ(ErrorOf([&] { scene.GetMaterial(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorOf([&] { scene.GetMaterial(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf([&] { scene.GetPrimitive(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorOf([&] { scene.GetLight(-5); }), "List index out of bounds (-5)");
  EXPECT_EQ(ErrorOf([&] { scene.GetLight(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorOf([&] { stored.GetVertex(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorOf([&] { stored.GetPolygon(1); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorOf([&] { stored.GetPolygon(-1); }), "List index out of bounds (-1)");
}

TEST(SceneOwnership, MissingObjectsAreRefused) {
  TScene scene;
  TPrimitive primitive;
  EXPECT_EQ(ErrorOf([&] { scene.AddMaterial(nullptr); }), "Cannot add a missing object.");
  EXPECT_EQ(ErrorOf([&] { scene.AddPrimitive(nullptr); }), "Cannot add a missing object.");
  EXPECT_EQ(ErrorOf([&] { scene.AddLight(nullptr); }), "Cannot add a missing object.");
  EXPECT_EQ(ErrorOf([&] { primitive.AddVertex(nullptr); }), "Cannot add a missing object.");
  EXPECT_EQ(ErrorOf([&] { primitive.AddPolygon(nullptr); }), "Cannot add a missing object.");
  EXPECT_EQ(scene.MaterialCount() + scene.CategoryCount() + scene.PrimitiveCount() + scene.LightCount(), 0);
  EXPECT_EQ(primitive.VertexCount() + primitive.PolygonCount(), 0);
}

// ---- primitives ----

TEST(PrimitiveVertices, FoundByIdentifierIgnoringCase) {
  TPrimitive primitive;
  TVertex* corner = AddVertex(primitive, "Corner1", 1, 2, 3);
  TVertex* other = AddVertex(primitive, "corner2", 4, 5, 6);
  EXPECT_EQ(primitive.FindVertex("Corner1"), corner);
  EXPECT_EQ(primitive.FindVertex("CORNER1"), corner);
  EXPECT_EQ(primitive.FindVertex("cOrNeR2"), other);
  EXPECT_EQ(primitive.FindVertex("corner3"), nullptr);
  EXPECT_EQ(primitive.FindVertex("corner"), nullptr);
  EXPECT_EQ(primitive.FindVertex(""), nullptr);
  EXPECT_EQ(primitive.VertexCount(), 2);
  EXPECT_EQ(&primitive.GetVertex(0), corner);
  EXPECT_EQ(&primitive.GetVertex(1), other);
}

TEST(PrimitiveVertices, FirstVertexOfAnIdentifierWins) {
  TPrimitive primitive;
  TVertex* first = AddVertex(primitive, "v", 0, 0, 0);
  TVertex* second = AddVertex(primitive, "V", 1, 1, 1);
  TVertex* third = AddVertex(primitive, "v", 2, 2, 2);
  EXPECT_EQ(primitive.FindVertex("v"), first);
  EXPECT_EQ(primitive.FindVertex("V"), first);
  // All three are kept, in insertion order.
  EXPECT_EQ(primitive.VertexCount(), 3);
  EXPECT_EQ(&primitive.GetVertex(1), second);
  EXPECT_EQ(&primitive.GetVertex(2), third);

  // Still so after the index has grown many times.
  for (int i = 0; i < 1000; ++i) AddVertex(primitive, "w" + std::to_string(i), 0, 0, 0);
  EXPECT_EQ(primitive.FindVertex("V"), first);
}

TEST(PrimitiveVertices, ManyIdentifiersAllFound) {
  TPrimitive primitive;
  std::vector<TVertex*> added;
  for (int i = 0; i < 5000; ++i) added.push_back(AddVertex(primitive, "Vtx" + std::to_string(i), 0, 0, 0));
  for (int i = 0; i < 5000; ++i) {
    ASSERT_EQ(primitive.FindVertex("vtx" + std::to_string(i)), added[static_cast<std::size_t>(i)]) << i;
    ASSERT_EQ(&primitive.GetVertex(i), added[static_cast<std::size_t>(i)]) << i;
  }
  EXPECT_EQ(primitive.FindVertex("vtx5000"), nullptr);
  EXPECT_EQ(primitive.FindVertex("vtx-1"), nullptr);
}

// Identifiers of every length up to three words, in every case: only the 26
// ASCII letters fold; the characters beside them ('@' and '`', '[' and '{')
// and bytes from 0x80 on, which differ by the same bit, stay apart, in every
// place of the identifier.
TEST(PrimitiveVertices, OnlyAsciiLettersFoldAtEveryLengthAndPlace) {
  const auto flipCase = [](std::string text) {
    for (char& c : text)
      if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) c = static_cast<char>(c ^ 0x20);
    return text;
  };
  for (std::size_t length = 1; length <= 24; ++length) {
    TPrimitive primitive;
    std::vector<std::string> ids;
    for (std::size_t place = 0; place < length; ++place) {
      std::string id;
      for (std::size_t i = 0; i < length; ++i) id += static_cast<char>("kQ7zA_m"[(i + place) % 7]);
      ids.push_back(id);
      for (const auto& [kept, apart] : {std::pair{'@', '`'}, std::pair{'[', '{'}, std::pair{'\xC1', '\xE1'}}) {
        std::string with = id, without = id;
        with[place] = kept;
        without[place] = apart;
        ids.push_back(with);
        ids.push_back(without);
      }
    }
    std::vector<TVertex*> added;
    for (const std::string& id : ids) added.push_back(AddVertex(primitive, id, 0, 0, 0));
    const auto lower = [](std::string text) {
      for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
      return text;
    };
    for (std::size_t i = 0; i < ids.size(); ++i) {
      // The first identifier equal to it but for letter case wins.
      const TVertex* expected = added[i];
      for (std::size_t j = i; j-- > 0;)
        if (lower(ids[j]) == lower(ids[i])) expected = added[j];
      ASSERT_EQ(primitive.FindVertex(ids[i]), expected) << length << ": " << ids[i];
      ASSERT_EQ(primitive.FindVertex(flipCase(ids[i])), expected) << length << ": " << ids[i];
    }
    EXPECT_EQ(primitive.FindVertex(ids.front() + "x"), nullptr) << length;
    EXPECT_EQ(primitive.FindVertex(ids.front().substr(1)), nullptr) << length;
  }
}

TEST(Primitive, PolygonsAndMainMaterial) {
  TPrimitive primitive;
  TMaterial first, second;
  TVertex* corner = AddVertex(primitive, "v", 0, 0, 0);
  auto polygon = std::make_unique<TPolygon>();
  polygon->AddVertex(corner);
  polygon->Material = &first;
  const TPolygon* polygonAddress = polygon.get();
  EXPECT_EQ(primitive.AddPolygon(std::move(polygon)), 0);
  auto next = std::make_unique<TPolygon>();
  next->Material = &second;
  EXPECT_EQ(primitive.AddPolygon(std::move(next)), 1);
  EXPECT_EQ(primitive.PolygonCount(), 2);
  EXPECT_EQ(&primitive.GetPolygon(0), polygonAddress);
  EXPECT_EQ(primitive.GetMainMaterial(), &first);

  // The first polygon decides, even without a material.
  primitive.GetPolygon(0).Material = nullptr;
  EXPECT_EQ(primitive.GetMainMaterial(), nullptr);
}

TEST(Primitive, VerticesAndPolygonsItMakesItselfMixWithThoseHandedOverInOneOrder) {
  TPrimitive primitive;
  primitive.ReserveVertices(2);
  TVertex& made = primitive.MakeVertex("Made");
  TVertex* adopted = AddVertex(primitive, "adopted", 1, 2, 3);
  TVertex& later = primitive.MakeVertex("later");  // beyond the reserved room
  later.X = 7;
  for (int i = 0; i < 3000; ++i) primitive.MakeVertex("m" + std::to_string(i));
  EXPECT_EQ(primitive.VertexCount(), 3003);
  EXPECT_EQ(&primitive.GetVertex(0), &made);
  EXPECT_EQ(&primitive.GetVertex(1), adopted);
  EXPECT_EQ(&primitive.GetVertex(2), &later);
  EXPECT_EQ(primitive.GetVertex(2).X, 7) << "made vertices keep their address as more are made";
  EXPECT_EQ(primitive.FindVertex("made"), &made);
  EXPECT_EQ(primitive.FindVertex("M2999"), &primitive.GetVertex(3002));
  EXPECT_EQ(made.Index, 0);
  EXPECT_EQ(later.Index, 2);

  primitive.ReservePolygons(1);
  TPolygon& first = primitive.MakePolygon();
  for (TVertex* corner : {&made, adopted, &later}) first.AddVertex(corner);
  EXPECT_EQ(primitive.AddPolygon(std::make_unique<TPolygon>()), 1);
  TPolygon& third = primitive.MakePolygon();
  third.AddVertex(&later);
  EXPECT_EQ(primitive.PolygonCount(), 3);
  EXPECT_EQ(&primitive.GetPolygon(0), &first);
  EXPECT_EQ(&primitive.GetPolygon(2), &third);
  EXPECT_EQ(primitive.GetPolygon(0).GetVertex(1), adopted);
}

TEST(Primitive, PropertiesAreParsedFromTheTagOnFirstUseAndKept) {
  TPrimitive primitive;
  primitive.Tag = "type box|shape sphere";
  TProperties& properties = primitive.Properties();
  EXPECT_EQ(properties.GetValue("shape"), "sphere");
  primitive.Tag = "type capsule";
  EXPECT_EQ(&primitive.Properties(), &properties);
  EXPECT_EQ(primitive.Properties().GetValue("type"), "box");
  EXPECT_EQ(primitive.Properties().Count(), 2);
}

// ---- smoothed corner normals ----

TEST(SmoothedNormals, CoplanarSquaresSharingAnEdgeKeepTheFaceNormal) {
  TPrimitive primitive;
  THinge hinge = BuildHinge(primitive, 1, 0);  // the second square lies flat beside the first
  primitive.CalculateNormals(66);
  for (const TPolygon* face : {hinge.Flat, hinge.Raised}) {
    ASSERT_EQ(face->NormalCount(), 4);
    ExpectNormals(*face, {0, 1, 2, 3}, 0, 0, -1);
  }
}

TEST(SmoothedNormals, FacesAtRightAnglesStaySharpAt66Degrees) {
  TPrimitive primitive;
  THinge hinge = BuildHinge(primitive, 0, 1);
  primitive.CalculateNormals(66);
  ExpectNormals(*hinge.Flat, {0, 1, 2, 3}, 0, 0, -1);
  ExpectNormals(*hinge.Raised, {0, 1, 2, 3}, 0, -1, 0);
}

TEST(SmoothedNormals, FacesAtRightAnglesBlendAboveNinetyDegrees) {
  TPrimitive primitive;
  THinge hinge = BuildHinge(primitive, 0, 1);
  primitive.CalculateNormals(91);
  const double half = -std::sqrt(0.5);
  // Corners 0 and 1 of each face lie on the hinge.
  ExpectNormals(*hinge.Flat, {0, 1}, 0, half, half, 1e-7);
  ExpectNormals(*hinge.Raised, {0, 1}, 0, half, half, 1e-7);
  ExpectNormals(*hinge.Flat, {2, 3}, 0, 0, -1);
  ExpectNormals(*hinge.Raised, {2, 3}, 0, -1, 0);
}

TEST(SmoothedNormals, NeighbourExactlyAtTheThresholdAngleDoesNotContribute) {
  // c = cot 66 degrees rounded to single, s = 1: the raised face's normal has
  // the z component -cos 66 degrees rounded to single, so its dot product with
  // (0, 0, -1) equals the threshold exactly. One single step more in c makes
  // the angle about 3e-8 radians smaller and puts the dot product above it.
  const float cosine66 = 0x1.a07f92p-2f;
  {
    TPrimitive primitive;
    THinge hinge = BuildHinge(primitive, 0x1.c7ea08p-2f, 1);
    primitive.CalculateNormals(66);
    ASSERT_EQ(hinge.Raised->FaceNormal.Z, -cosine66);
    ExpectNormals(*hinge.Flat, {0, 1, 2, 3}, 0, 0, -1);
    ExpectNormals(*hinge.Raised, {0, 1}, 0, -0.9135454297065735, -0.4067366421222687, 1e-7);
  }
  {
    TPrimitive primitive;
    THinge hinge = BuildHinge(primitive, 0x1.c7ea0ap-2f, 1);
    primitive.CalculateNormals(66);
    ASSERT_GT(-hinge.Raised->FaceNormal.Z, cosine66);
    // Halfway between the faces: 33 degrees from each.
    ExpectNormals(*hinge.Flat, {0, 1}, 0, -0.5446390350150271, -0.838670567945424, 1e-6);
    ExpectNormals(*hinge.Raised, {0, 1}, 0, -0.5446390350150271, -0.838670567945424, 1e-6);
    ExpectNormals(*hinge.Flat, {2, 3}, 0, 0, -1);
  }
}

TEST(SmoothedNormals, FacesAt30DegreesSharingVerticesBlendAtThoseCorners) {
  TPrimitive primitive;
  THinge hinge = BuildHinge(primitive, kCos30, 0.5f);
  primitive.CalculateNormals(66);
  ExpectNormals(*hinge.Flat, {0, 1}, 0, kHalfway30Y, kHalfway30Z, 1e-6);
  ExpectNormals(*hinge.Raised, {0, 1}, 0, kHalfway30Y, kHalfway30Z, 1e-6);
  ExpectNormals(*hinge.Flat, {2, 3}, 0, 0, -1);
  ExpectNormals(*hinge.Raised, {2, 3}, 0, kRaised30Y, kRaised30Z, 1e-6);
}

TEST(SmoothedNormals, FacesAt30DegreesThroughSeparateVerticesStaySharp) {
  // Same positions, other identifiers: touching is not sharing.
  TPrimitive primitive;
  THinge hinge = BuildHinge(primitive, kCos30, 0.5f, false);
  primitive.CalculateNormals(66);
  ExpectNormals(*hinge.Flat, {0, 1, 2, 3}, 0, 0, -1);
  ExpectNormals(*hinge.Raised, {0, 1, 2, 3}, 0, kRaised30Y, kRaised30Z, 1e-6);
}

TEST(SmoothedNormals, FacesAt30DegreesInDifferentPrimitivesStaySharp) {
  TScene scene;
  auto flat = std::make_unique<TPrimitive>();
  auto raised = std::make_unique<TPrimitive>();
  THinge hinge = BuildHinge(*flat, *raised, kCos30, 0.5f, false);
  // The same identifiers in both primitives make no difference.
  hinge.Raised->GetVertex(0)->Id = "a1";
  hinge.Raised->GetVertex(1)->Id = "a0";
  scene.AddPrimitive(std::move(flat));
  scene.AddPrimitive(std::move(raised));
  scene.CalculateNormals(66);
  ExpectNormals(*hinge.Flat, {0, 1, 2, 3}, 0, 0, -1);
  ExpectNormals(*hinge.Raised, {0, 1, 2, 3}, 0, kRaised30Y, kRaised30Z, 1e-6);
}

TEST(SmoothedNormals, PolygonUsingAVertexTwiceIsCountedTwice) {
  // The raised face at 30 degrees visits the hinge corner (1, 0, 0) at its
  // start and again at its end; the zero-length edge leaves its normal as it is.
  TPrimitive primitive;
  THinge hinge = BuildHinge(primitive, kCos30, 0.5f);
  TVertex* hingeCorner = hinge.Flat->GetVertex(1);
  TPolygon& twice =
      AddPolygon(primitive, {hingeCorner, hinge.Flat->GetVertex(0), hinge.FarLeft, hinge.FarRight, hingeCorner});
  primitive.CalculateNormals(66);

  ExpectXYZ(twice.FaceNormal, 0, kRaised30Y, kRaised30Z, 1e-6);
  // At (1, 0, 0) the flat face sees the raised face once and the other twice:
  // normalise((0, 0, -1) + 3 (0, -0.5, -0.866)).
  ExpectNormals(*hinge.Flat, {1}, 0, -0.3847906, -0.9230039, 1e-6);
  // At (0, 0, 0) each of them once: normalise((0, 0, -1) + 2 (0, -0.5, -0.866)).
  ExpectNormals(*hinge.Flat, {0}, 0, -0.3437238, -0.9390708, 1e-6);
  // The polygon skips itself both times it meets the vertex.
  ASSERT_EQ(twice.NormalCount(), 5);
  for (int corner : {0, 4}) {
    SCOPED_TRACE(corner);
    const TVertex& normal = twice.GetNormal(corner);
    // Own normal, the raised face's (parallel) and the flat face's.
    const double y = 2 * kRaised30Y, z = 2 * kRaised30Z - 1, length = std::sqrt(y * y + z * z);
    ExpectXYZ(normal, 0, y / length, z / length, 1e-6);
  }
}

TEST(SmoothedNormals, DegeneratePolygonGetsZeroNormalsAndLeavesItsNeighboursAlone) {
  TPrimitive primitive;
  THinge hinge = BuildHinge(primitive, 1, 0);
  TVertex* shared = hinge.Flat->GetVertex(1);
  TVertex* same1 = AddVertex(primitive, "d1", 1, 0, 0);
  TVertex* same2 = AddVertex(primitive, "d2", 1, 0, 0);
  TPolygon& degenerate = AddPolygon(primitive, {shared, same1, same2});
  primitive.CalculateNormals(66);
  ExpectXYZ(degenerate.FaceNormal, 0, 0, 0);
  ExpectNormals(degenerate, {0, 1, 2}, 0, 0, 0);
  ExpectNormals(*hinge.Flat, {0, 1, 2, 3}, 0, 0, -1);
  ExpectNormals(*hinge.Raised, {0, 1, 2, 3}, 0, 0, -1);
}

TEST(SmoothedNormals, DegeneratePolygonTakesItsNeighboursAboveNinetyDegrees) {
  // A dot product of 0 is above the threshold cos 120 = -0.5.
  TPrimitive primitive;
  THinge hinge = BuildHinge(primitive, 1, 0);
  TVertex* shared = hinge.Flat->GetVertex(1);
  TVertex* same1 = AddVertex(primitive, "d1", 1, 0, 0);
  TVertex* same2 = AddVertex(primitive, "d2", 1, 0, 0);
  TPolygon& degenerate = AddPolygon(primitive, {shared, same1, same2});
  primitive.CalculateNormals(120);
  ExpectNormals(degenerate, {0}, 0, 0, -1);
  ExpectNormals(degenerate, {1, 2}, 0, 0, 0);
  ExpectNormals(*hinge.Flat, {0, 1, 2, 3}, 0, 0, -1);
}

TEST(SmoothedNormals, FlatGridKeepsTheFaceNormalAtEveryCorner) {
  // Inner vertices are shared by four quads, edge vertices by two.
  constexpr int kSize = 60;
  TPrimitive primitive;
  std::vector<TVertex*> grid;
  for (int row = 0; row <= kSize; ++row)
    for (int column = 0; column <= kSize; ++column)
      grid.push_back(AddVertex(primitive, std::to_string(row) + ":" + std::to_string(column),
                               static_cast<float>(column), static_cast<float>(row), 5));
  const auto at = [&](int row, int column) { return grid[static_cast<std::size_t>(row * (kSize + 1) + column)]; };
  for (int row = 0; row < kSize; ++row)
    for (int column = 0; column < kSize; ++column)
      AddPolygon(primitive, {at(row, column), at(row, column + 1), at(row + 1, column + 1), at(row + 1, column)});
  primitive.CalculateNormals(66);
  for (int p = 0; p < primitive.PolygonCount(); ++p) {
    const TPolygon& polygon = primitive.GetPolygon(p);
    ASSERT_EQ(polygon.NormalCount(), 4);
    for (int corner = 0; corner < 4; ++corner) {
      const TVertex& normal = polygon.GetNormal(corner);
      ASSERT_TRUE(normal.X == 0 && normal.Y == 0 && normal.Z == -1) << "polygon " << p << " corner " << corner;
    }
  }
}

TEST(SmoothedNormals, SecondRunAppendsAndTheFirstSetStays) {
  TPrimitive primitive;
  THinge hinge = BuildHinge(primitive, 1, 0);
  primitive.CalculateNormals(66);
  // Fold the second square up to a right angle and run again.
  *hinge.FarLeft = TVertex(0, 0, 1);
  *hinge.FarRight = TVertex(1, 0, 1);
  primitive.CalculateNormals(66);
  ASSERT_EQ(hinge.Raised->NormalCount(), 8);
  ExpectNormals(*hinge.Raised, {0, 1, 2, 3}, 0, 0, -1);
  ExpectNormals(*hinge.Raised, {4, 5, 6, 7}, 0, -1, 0);
}

TEST(SmoothedNormals, PolygonWithoutCornersFailsAndAddsNoNormals) {
  TPrimitive primitive;
  THinge hinge = BuildHinge(primitive, 1, 0);
  primitive.AddPolygon(std::make_unique<TPolygon>());
  EXPECT_EQ(ErrorOf([&] { primitive.CalculateNormals(66); }), "List index out of bounds (-1)");
  EXPECT_FALSE(hinge.Flat->HasNormals());
  EXPECT_FALSE(hinge.Raised->HasNormals());
}

TEST(SmoothedNormals, CornerOutsideThePrimitiveFails) {
  TPrimitive primitive;
  TPrimitive other;
  THinge hinge = BuildHinge(primitive, 1, 0);
  TVertex* foreign = AddVertex(other, "a0", 0, 0, 0);
  AddPolygon(primitive, {hinge.Flat->GetVertex(1), hinge.Flat->GetVertex(2), foreign});
  EXPECT_EQ(ErrorOf([&] { primitive.CalculateNormals(66); }), "List index out of bounds (-1)");
  EXPECT_FALSE(hinge.Flat->HasNormals());

  // A copy of one of the primitive's own vertices is not one of them either.
  TPrimitive copied;
  THinge second = BuildHinge(copied, 1, 0);
  TVertex copy = *second.Flat->GetVertex(0);
  AddPolygon(copied, {second.Flat->GetVertex(1), second.Flat->GetVertex(2), &copy});
  EXPECT_EQ(ErrorOf([&] { copied.CalculateNormals(66); }), "List index out of bounds (-1)");
}

TEST(SmoothedNormals, SceneRunsEveryPrimitiveGivingOneNormalPerCorner) {
  TScene scene;
  for (int i = 0; i < 3; ++i) {
    auto primitive = std::make_unique<TPrimitive>();
    BuildHinge(*primitive, 0, 1);
    scene.AddPrimitive(std::move(primitive));
  }
  scene.AddPrimitive(std::make_unique<TPrimitive>());  // nothing to do
  scene.CalculateNormals(66);
  for (int i = 0; i < 3; ++i) {
    const TPrimitive& primitive = scene.GetPrimitive(i);
    for (int p = 0; p < primitive.PolygonCount(); ++p)
      EXPECT_EQ(primitive.GetPolygon(p).NormalCount(), primitive.GetPolygon(p).VertexCount());
    ExpectNormals(primitive.GetPolygon(1), {0, 1, 2, 3}, 0, -1, 0);
  }
}
