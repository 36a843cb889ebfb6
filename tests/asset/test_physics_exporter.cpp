#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "../support/ErrorOf.h"
#include "../support/FileFaults.h"
#include "../support/TempDir.h"
#include "asset/KVPhysicsExporterCl.h"
#include "xml/uXMLWriter.h"

namespace {

struct TPoint {
  float X = 0, Y = 0, Z = 0;
};

TPoint operator+(TPoint a, TPoint b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }
TPoint operator*(float s, TPoint p) { return {s * p.X, s * p.Y, s * p.Z}; }

using TFaces = std::vector<std::vector<int>>;

// Adds a primitive whose polygons (lists of vertex numbers) all use `material`.
TPrimitive& AddPrimitive(TScene& scene, const std::string& name, const std::vector<TPoint>& points,
                         const TFaces& faces = {}, TMaterial* material = nullptr) {
  auto primitive = std::make_unique<TPrimitive>();
  primitive->Name = name;
  for (std::size_t i = 0; i < points.size(); ++i) {
    auto vertex = std::make_unique<TVertex>(points[i].X, points[i].Y, points[i].Z);
    vertex->Id = "v" + std::to_string(i);
    primitive->AddVertex(std::move(vertex));
  }
  for (const auto& face : faces) {
    auto polygon = std::make_unique<TPolygon>();
    for (const int corner : face) polygon->AddVertex(&primitive->GetVertex(corner));
    polygon->Material = material;
    primitive->AddPolygon(std::move(polygon));
  }
  TPrimitive& added = *primitive;
  scene.AddPrimitive(std::move(primitive));
  return added;
}

TMaterial* AddMaterial(TScene& scene, const std::string& name) {
  auto material = std::make_unique<TMaterial>();
  material->Id = "m" + std::to_string(scene.MaterialCount());
  material->Name = name;
  material->Category = "C";
  scene.AddMaterial(std::move(material));
  return &scene.GetMaterial(scene.MaterialCount() - 1);
}

// Corner i of a box lies at origin + (bit 0 of i) a + (bit 1) b + (bit 2) c. The
// faces are ordered so that the first vertex's neighbours turn up as corners
// 1, 2, 4: the edges a, b, c in this order.
std::vector<TPoint> BoxCorners(TPoint origin, TPoint a, TPoint b, TPoint c) {
  std::vector<TPoint> corners;
  for (int i = 0; i < 8; ++i)
    corners.push_back(origin + static_cast<float>(i & 1) * a + static_cast<float>((i >> 1) & 1) * b +
                      static_cast<float>((i >> 2) & 1) * c);
  return corners;
}
const TFaces kBoxFaces = {{0, 2, 3, 1}, {0, 4, 6, 2}, {0, 1, 5, 4}, {1, 3, 7, 5}, {2, 6, 7, 3}, {4, 5, 7, 6}};

TPrimitive& AddBox(TScene& scene, const std::string& name, TPoint origin, TPoint a, TPoint b, TPoint c) {
  return AddPrimitive(scene, name, BoxCorners(origin, a, b, c), kBoxFaces);
}

// A regular octagon of radius 500 around `center` in the plane of u and v,
// corner 0 at center + 500 u. The corners are exact mirror images of each
// other, so they average to the centre exactly.
std::vector<TPoint> Octagon(TPoint center, TPoint u, TPoint v) {
  const float d = 353.55339f;
  const float offsets[8][2] = {{500, 0}, {d, d}, {0, 500}, {-d, d}, {-500, 0}, {-d, -d}, {0, -500}, {d, -d}};
  std::vector<TPoint> corners;
  for (const auto& offset : offsets) corners.push_back(center + offset[0] * u + offset[1] * v);
  return corners;
}

// A prism over the ring `ring` moved by `along`: first the end face on the
// ring, then the four-cornered sides, then the other end face.
TPrimitive& AddPrism(TScene& scene, const std::string& name, const std::vector<TPoint>& ring, TPoint along) {
  const int n = static_cast<int>(ring.size());
  std::vector<TPoint> points = ring;
  for (const TPoint& p : ring) points.push_back(p + along);
  TFaces faces;
  std::vector<int> first, second;
  for (int k = 0; k < n; ++k) {
    first.push_back(k);
    second.push_back(n + k);
  }
  faces.push_back(first);
  for (int k = 0; k < n; ++k) faces.push_back({k, (k + 1) % n, n + (k + 1) % n, n + k});
  faces.push_back(second);
  return AddPrimitive(scene, name, points, faces);
}

const TPoint kX{1, 0, 0}, kY{0, 1, 0}, kZ{0, 0, 1};

// Roughly a regular pentagon of radius 500 in the plane y = 0: too few corners for a cap.
const std::vector<TPoint> kPentagon = {{500, 0, 0}, {150, 0, 475}, {-400, 0, 300}, {-400, 0, -300}, {150, 0, -475}};

// The upright cylinder: radius 500 from y = 0 to y = 2000, bottom end face first.
TPrimitive& AddUprightCylinder(TScene& scene, const std::string& name) {
  TPrimitive& cylinder = AddPrism(scene, name, Octagon({0, 0, 0}, kX, kZ), {0, 2000, 0});
  cylinder.PrimitiveType = ptCylinder;
  return cylinder;
}

// The upright cylinder with a six-cornered face through its middle after its end faces.
TPrimitive& AddThreeCapCylinder(TScene& scene, const std::string& name) {
  TPrimitive& cylinder = AddUprightCylinder(scene, name);
  auto middle = std::make_unique<TPolygon>();
  for (const int corner : {0, 1, 2, 10, 11, 12}) middle->AddVertex(&cylinder.GetVertex(corner));
  cylinder.AddPolygon(std::move(middle));
  return cylinder;
}

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += "\r\n";
    text += line;
  }
  return text;
}

// One shape element as WriteShape writes it, at the outermost level.
// A warning sink that keeps what it is told.
TWarningSink Collect(std::vector<std::string>& warnings) {
  return [&warnings](const std::string& warning) { warnings.push_back(warning); };
}

std::string ShapeText(KVPhysicsExporterT& exporter, const TPrimitive& primitive) {
  TXMLStringWriter writer;
  writer.WriteDeclaration = false;
  exporter.WriteShape(primitive, writer);
  return writer.GetText();
}

std::string BoxShape(const std::string& translate, const std::string& halfExtents, const std::string& rotate = "") {
  if (rotate.empty())
    return Lines({"<shape>", "  <translate>" + translate + "</translate>", "  <box>",
                  "    <half_extents>" + halfExtents + "</half_extents>", "  </box>", "</shape>"});
  return Lines({"<shape>", "  <rotate>" + rotate + "</rotate>", "  <translate>" + translate + "</translate>",
                "  <box>", "    <half_extents>" + halfExtents + "</half_extents>", "  </box>", "</shape>"});
}

// The rotate element of a shape, or "" when it has none.
std::string RotateOf(const std::string& shape) {
  const auto start = shape.find("<rotate>");
  if (start == std::string::npos) return "";
  const auto end = shape.find("</rotate>");
  return shape.substr(start + 8, end - start - 8);
}

std::vector<std::string> Texts(std::initializer_list<std::string> texts) { return texts; }

}  // namespace

// ---- Which primitives are collision volumes ----

TEST(CollisionMarks, AMainMaterialNamedCollisionMarksAVolumeLetterCaseCounting) {
  TScene scene;
  TPrimitive& marked = AddPrimitive(scene, "Wall", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}},
                                    AddMaterial(scene, "collision"));
  TPrimitive& capital = AddPrimitive(scene, "Wall", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}},
                                     AddMaterial(scene, "Collision"));
  EXPECT_TRUE(KVPhysicsExporterT::IsCollisionVolume(marked));
  EXPECT_FALSE(KVPhysicsExporterT::IsCollisionVolume(capital));
}

TEST(CollisionMarks, OnlyTheFirstPolygonsMaterialCounts) {
  TScene scene;
  TMaterial* stone = AddMaterial(scene, "stone");
  TMaterial* collision = AddMaterial(scene, "collision");
  TPrimitive& primitive = AddPrimitive(scene, "Wall", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}, {2, 1, 0}}, stone);
  primitive.GetPolygon(1).Material = collision;
  EXPECT_FALSE(KVPhysicsExporterT::IsCollisionVolume(primitive));
  primitive.GetPolygon(0).Material = collision;
  primitive.GetPolygon(1).Material = stone;
  EXPECT_TRUE(KVPhysicsExporterT::IsCollisionVolume(primitive));
}

TEST(CollisionMarks, TheNamePrefixCountsLetterCase) {
  TScene scene;
  EXPECT_TRUE(KVPhysicsExporterT::IsCollisionVolume(AddPrimitive(scene, "vdcv_floor", {})));
  EXPECT_FALSE(KVPhysicsExporterT::IsCollisionVolume(AddPrimitive(scene, "VDCV_floor", {})));
  EXPECT_FALSE(KVPhysicsExporterT::IsCollisionVolume(AddPrimitive(scene, "vdcv", {})));
  EXPECT_FALSE(KVPhysicsExporterT::IsCollisionVolume(AddPrimitive(scene, "floor_vdcv_", {})));
}

TEST(CollisionMarks, TheTagTypeCollisionMarksAVolumeWhateverTheCaseOfItsName) {
  TScene scene;
  TPrimitive& tagged = AddPrimitive(scene, "VDCV_floor", {});
  tagged.Tag = "shape box|type collision";
  TPrimitive& upperName = AddPrimitive(scene, "Floor", {});
  upperName.Tag = "TYPE collision";
  TPrimitive& upperValue = AddPrimitive(scene, "Floor", {});
  upperValue.Tag = "type Collision";
  TPrimitive& otherValue = AddPrimitive(scene, "Floor", {});
  otherValue.Tag = "type decoration";
  EXPECT_TRUE(KVPhysicsExporterT::IsCollisionVolume(tagged));
  EXPECT_TRUE(KVPhysicsExporterT::IsCollisionVolume(upperName));
  EXPECT_FALSE(KVPhysicsExporterT::IsCollisionVolume(upperValue));
  EXPECT_FALSE(KVPhysicsExporterT::IsCollisionVolume(otherValue));
}

TEST(CollisionMarks, ACapitalPrefixBoxIsAVolumeThroughItsMaterialOrTag) {
  TScene scene;
  TPrimitive& byMaterial = AddPrimitive(scene, "VDCV_floor", BoxCorners({0, 0, 0}, {2, 0, 0}, {0, 4, 0}, {0, 0, 6}),
                                        kBoxFaces, AddMaterial(scene, "collision"));
  TPrimitive& byName = AddBox(scene, "vdcv_floor", {0, 0, 0}, {2, 0, 0}, {0, 4, 0}, {0, 0, 6});
  EXPECT_TRUE(KVPhysicsExporterT::IsCollisionVolume(byMaterial));
  EXPECT_TRUE(KVPhysicsExporterT::IsBox(byMaterial));
  EXPECT_TRUE(KVPhysicsExporterT::IsCollisionVolume(byName));
  EXPECT_TRUE(KVPhysicsExporterT::IsBox(byName));
  EXPECT_FALSE(KVPhysicsExporterT::IsSphere(byName));
  EXPECT_FALSE(KVPhysicsExporterT::IsCapsule(byName));
}

TEST(CollisionMarks, ASceneHasCollisionVolumesWhenAnyPrimitiveIsOne) {
  TScene scene;
  EXPECT_FALSE(KVPhysicsExporterT::HasCollisionVolumes(scene));
  AddPrimitive(scene, "Floor", {{0, 0, 0}});
  AddPrimitive(scene, "Wall", {{0, 0, 0}});
  EXPECT_FALSE(KVPhysicsExporterT::HasCollisionVolumes(scene));
  AddPrimitive(scene, "vdcv_wall", {{0, 0, 0}});
  EXPECT_TRUE(KVPhysicsExporterT::HasCollisionVolumes(scene));
}

// ---- Which shape a volume is ----

TEST(ShapeDecision, EachShapeHasItsOwnMarks) {
  TScene scene;
  TPrimitive& sphereByName = AddPrimitive(scene, "vdcv_sphere_a", {});
  TPrimitive& sphereByKind = AddPrimitive(scene, "a", {});
  sphereByKind.PrimitiveType = ptSphere;
  TPrimitive& sphereByTag = AddPrimitive(scene, "a", {});
  sphereByTag.Tag = "Shape sphere";
  TPrimitive& capsuleByName = AddPrimitive(scene, "vdcv_capsule_a", {});
  TPrimitive& capsuleByKind = AddPrimitive(scene, "a", {});
  capsuleByKind.PrimitiveType = ptCylinder;
  TPrimitive& capsuleByTag = AddPrimitive(scene, "a", {});
  capsuleByTag.Tag = "shape capsule";
  TPrimitive& neither = AddPrimitive(scene, "VDCV_SPHERE_a", {});
  neither.Tag = "shape Capsule|type sphere";

  for (TPrimitive* sphere : {&sphereByName, &sphereByKind, &sphereByTag}) {
    EXPECT_TRUE(KVPhysicsExporterT::IsSphere(*sphere));
    EXPECT_FALSE(KVPhysicsExporterT::IsCapsule(*sphere));
  }
  for (TPrimitive* capsule : {&capsuleByName, &capsuleByKind, &capsuleByTag}) {
    EXPECT_TRUE(KVPhysicsExporterT::IsCapsule(*capsule));
    EXPECT_FALSE(KVPhysicsExporterT::IsSphere(*capsule));
  }
  EXPECT_FALSE(KVPhysicsExporterT::IsSphere(neither));
  EXPECT_FALSE(KVPhysicsExporterT::IsCapsule(neither));
}

TEST(ShapeDecision, ABoxIsAnythingWithEightVerticesAndSixPolygons) {
  TScene scene;
  // Eight scattered points and six triangles: the geometry is not examined.
  std::vector<TPoint> points = {{0, 0, 0}, {5, 1, 0}, {2, 7, 1}, {3, 3, 3}, {9, 0, 4}, {1, 1, 8}, {4, 2, 6}, {7, 7, 7}};
  TFaces six = {{0, 1, 2}, {1, 2, 3}, {2, 3, 4}, {3, 4, 5}, {4, 5, 6}, {5, 6, 7}};
  TFaces seven = six;
  seven.push_back({6, 7, 0});
  EXPECT_TRUE(KVPhysicsExporterT::IsBox(AddPrimitive(scene, "a", points, six)));
  EXPECT_FALSE(KVPhysicsExporterT::IsBox(AddPrimitive(scene, "a", points, seven)));
  points.pop_back();
  EXPECT_FALSE(KVPhysicsExporterT::IsBox(AddPrimitive(scene, "a", points, {{0, 1, 2}, {1, 2, 3}, {2, 3, 4},
                                                                           {3, 4, 5}, {4, 5, 6}, {5, 6, 0}})));
}

TEST(ShapeDecision, TheSphereNameWinsOverTheBoxGeometry) {
  TScene scene;
  TPrimitive& primitive = AddPrimitive(scene, "vdcv_sphere_crate",
                                       BoxCorners({0, 0, 0}, {2000, 0, 0}, {0, 2000, 0}, {0, 0, 2000}), kBoxFaces,
                                       AddMaterial(scene, "collision"));
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  // The corners average to the box's centre; the last corner is a corner of it.
  EXPECT_EQ(ShapeText(exporter, primitive),
            Lines({"<shape>", "  <translate>1.0000000 1.0000000 1.0000000</translate>", "  <sphere>",
                   "    <radius>1.7320508</radius>", "  </sphere>", "</shape>"}));
}

TEST(ShapeDecision, TheSphereKindWinsOverACapsuleTag) {
  TScene scene;
  TPrimitive& primitive = AddPrimitive(scene, "vdcv_ball", {{0, 0, 0}, {0, 0, 300}});
  primitive.PrimitiveType = ptSphere;
  primitive.Tag = "shape capsule";
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_EQ(ShapeText(exporter, primitive),
            Lines({"<shape>", "  <translate>0.0000000 0.0000000 0.1500000</translate>", "  <sphere>",
                   "    <radius>0.1500000</radius>", "  </sphere>", "</shape>"}));
  EXPECT_TRUE(warnings.empty());
}

TEST(ShapeDecision, TheCapsuleNameWinsOverTheBoxGeometry) {
  TScene scene;
  TPrimitive& primitive = AddBox(scene, "vdcv_capsule_crate", {0, 0, 0}, {2, 0, 0}, {0, 4, 0}, {0, 0, 6});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  // Taken for a capsule, whose four-cornered faces are no caps.
  EXPECT_EQ(ShapeText(exporter, primitive), "<shape />");
  EXPECT_EQ(warnings,
            Texts({"Collision volume vdcv_capsule_crate does not contain top and bottom caps, could not identify "
                   "capsule shape."}));
}

TEST(ShapeDecision, AVolumeOfNoShapeGetsAnEmptyShapeAndAWarning) {
  TScene scene;
  TPrimitive& primitive = AddPrimitive(scene, "vdcv_ramp", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_EQ(ShapeText(exporter, primitive), "<shape />");
  EXPECT_EQ(warnings,
            Texts({"Primitive \"vdcv_ramp\" does not seem to be a valid collision volume, skipped."}));
}

// ---- The first vertex's neighbours ----

TEST(Neighbours, AreFoundBeforeThenAfterEachCornerInPolygonOrderEachOnce) {
  TScene scene;
  // Vertex 4 lies where vertex 0 lies but is another vertex.
  TPrimitive& primitive = AddPrimitive(scene, "p", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}},
                                       {{1, 2, 0}, {0, 3, 1}, {4, 2, 3}, {3, 1, 2}});
  const std::vector<const TVertex*> neighbours = KVPhysicsExporterT::GetNeighbours(primitive.GetVertex(0), primitive);
  // Polygon 0 ends on vertex 0: before it 2, after it (wrapping) 1. Polygon 1
  // starts on it: before it (wrapping) 1 again, after it 3.
  ASSERT_EQ(neighbours.size(), 3u);
  EXPECT_EQ(neighbours[0], &primitive.GetVertex(2));
  EXPECT_EQ(neighbours[1], &primitive.GetVertex(1));
  EXPECT_EQ(neighbours[2], &primitive.GetVertex(3));
}

TEST(Neighbours, AVertexOnNoPolygonHasNone) {
  TScene scene;
  TPrimitive& primitive = AddPrimitive(scene, "p", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{1, 2, 3}});
  EXPECT_TRUE(KVPhysicsExporterT::GetNeighbours(primitive.GetVertex(0), primitive).empty());
}

// ---- Measuring boxes ----

TEST(BoxMeasurement, AnAxisAlignedBoxIsCentredWithHalfExtentsInEdgeOrderAndNoRotation) {
  TScene scene;
  TPrimitive& primitive = AddBox(scene, "vdcv_box", {0, 0, 0}, {2, 0, 0}, {0, 4, 0}, {0, 0, 6});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  const TBoxVolume box = exporter.AnalyseBox(primitive);
  EXPECT_EQ(box.Center.X, 1);
  EXPECT_EQ(box.Center.Y, 2);
  EXPECT_EQ(box.Center.Z, 3);
  EXPECT_EQ(box.HalfExtents[0], 1);
  EXPECT_EQ(box.HalfExtents[1], 2);
  EXPECT_EQ(box.HalfExtents[2], 3);
  // The edges run along +x, +y, +z: the measured matrix is the identity.
  EXPECT_EQ(box.Rotation.Angle, 0);
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(ShapeText(exporter, primitive), BoxShape("0.0010000 0.0020000 0.0030000", "0.0010000 0.0020000 0.0030000"));
}

TEST(BoxMeasurement, HalfExtentsFollowTheOrderInWhichTheEdgesWereFound) {
  TScene scene;
  TPrimitive& primitive = AddBox(scene, "vdcv_box", {0, 0, 0}, {0, 0, 6}, {2, 0, 0}, {0, 4, 0});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  const TBoxVolume box = exporter.AnalyseBox(primitive);
  EXPECT_EQ(box.HalfExtents[0], 3);
  EXPECT_EQ(box.HalfExtents[1], 1);
  EXPECT_EQ(box.HalfExtents[2], 2);
}

TEST(BoxMeasurement, ACubeWhoseEdgesAreFoundAsYZXIsTurnedAThirdAboutTheDiagonal) {
  TScene scene;
  TPrimitive& primitive = AddBox(scene, "vdcv_cube", {0, 0, 0}, {0, 1000, 0}, {0, 0, 1000}, {1000, 0, 0});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  // Local x, y, z lie along world y, z, x: a turn of 120 degrees about (1, 1, 1).
  EXPECT_EQ(ShapeText(exporter, primitive),
            BoxShape("0.5000000 0.5000000 0.5000000", "0.5000000 0.5000000 0.5000000",
                     "0.5773503 0.5773503 0.5773503 120.0000000"));
  EXPECT_TRUE(warnings.empty());
}

TEST(BoxMeasurement, ABoxTurnedAQuarterAboutYIsWrittenWithThatRotation) {
  TScene scene;
  // Local x along world -z, local y along world y, local z along world x.
  TPrimitive& primitive = AddBox(scene, "vdcv_box", {100, 200, 300}, {0, 0, -2000}, {0, 4000, 0}, {6000, 0, 0});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_EQ(ShapeText(exporter, primitive), BoxShape("3.1000000 2.2000000 -0.7000000", "1.0000000 2.0000000 3.0000000",
                                                     "0.0000000 1.0000000 0.0000000 90.0000000"));
  EXPECT_TRUE(warnings.empty());
}

TEST(BoxMeasurement, EdgesFoundInLeftHandedOrderAreTurnedByTheNegatedMatrix) {
  TScene scene;
  // Edges along x, z, y: as measured a reflection. Negated, the local axes
  // lie along -x, -z, -y: a half turn about (0, -1, 1).
  TPrimitive& primitive = AddBox(scene, "vdcv_box", {0, 0, 0}, {2000, 0, 0}, {0, 0, 4000}, {0, 6000, 0});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_EQ(ShapeText(exporter, primitive), BoxShape("1.0000000 3.0000000 2.0000000", "1.0000000 2.0000000 3.0000000",
                                                     "0.0000000 -0.7071068 0.7071068 180.0000000"));
}

TEST(BoxMeasurement, AnyAngleOtherThanZeroGetsARotateElement) {
  TScene scene;
  // Turned about z by atan(0.0005), about 0.03 degrees: the cosine as a
  // single is 0.99999988, just short of 1, so the angle comes out as
  // acos(0.99999988) = 0.028 degrees.
  TPrimitive& primitive = AddBox(scene, "vdcv_box", {0, 0, 0}, {10000, 5, 0}, {-5, 10000, 0}, {0, 0, 10000});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  const TBoxVolume box = exporter.AnalyseBox(primitive);
  EXPECT_NEAR(box.Rotation.Angle, 0.028, 1e-3);
  EXPECT_NEAR(box.Rotation.Z, 1, 1e-6);
  const std::string rotate = RotateOf(ShapeText(exporter, primitive));
  EXPECT_EQ(rotate.substr(0, 31), "0.0000000 0.0000000 1.0000000 0") << rotate;
}

TEST(BoxMeasurement, HalfExtentsAreHalfTheSinglePrecisionEdgeLength) {
  TScene scene;
  // The edge is sqrt(1000^2 + 1845^2) = 2098.576898757... long; as a single it
  // is 2098.5769042968750, whose half in metres rounds to 1.0492885 (the
  // exact length would give 1.0492884).
  TPrimitive& primitive = AddBox(scene, "vdcv_box", {0, 0, 0}, {1000, 1845, 0}, {-1845, 1000, 0}, {0, 0, 2000});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  const TBoxVolume box = exporter.AnalyseBox(primitive);
  EXPECT_EQ(box.HalfExtents[0], 1049.2884521484375);
  EXPECT_EQ(box.HalfExtents[1], 1049.2884521484375);
  EXPECT_EQ(box.HalfExtents[2], 1000);
  const std::string shape = ShapeText(exporter, primitive);
  EXPECT_NE(shape.find("<half_extents>1.0492885 1.0492885 1.0000000</half_extents>"), std::string::npos) << shape;
}

TEST(BoxMeasurement, AZeroLengthEdgeHasHalfExtentZeroAndGivesAWarning) {
  TScene scene;
  // Corner 2 lies on corner 0.
  TPrimitive& primitive = AddBox(scene, "flat", {0, 0, 0}, {2000, 0, 0}, {0, 0, 0}, {0, 0, 6000});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  const TBoxVolume box = exporter.AnalyseBox(primitive);
  EXPECT_EQ(box.HalfExtents[0], 1000);
  EXPECT_EQ(box.HalfExtents[1], 0);
  EXPECT_EQ(box.HalfExtents[2], 3000);
  EXPECT_EQ(box.Center.X, 1000);
  EXPECT_EQ(box.Center.Y, 0);
  EXPECT_EQ(box.Center.Z, 3000);
  EXPECT_EQ(warnings, Texts({"Invalid bounding box \"flat\" encountered."}));
}

TEST(BoxMeasurement, FewerThanThreeNeighboursLeaveTheMissingHalfExtentsZeroWithAWarning) {
  TScene scene;
  // Vertex 0 is a corner of the first face only: its neighbours are 1 and 2.
  const TFaces faces = {{0, 2, 3, 1}, {1, 3, 7, 5}, {2, 6, 7, 3}, {4, 5, 7, 6}, {1, 5, 4, 7}, {2, 3, 6, 7}};
  TPrimitive& primitive =
      AddPrimitive(scene, "vdcv_two", BoxCorners({0, 0, 0}, {2000, 0, 0}, {0, 4000, 0}, {0, 0, 6000}), faces);
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  const TBoxVolume box = exporter.AnalyseBox(primitive);
  EXPECT_EQ(box.HalfExtents[0], 1000);
  EXPECT_EQ(box.HalfExtents[1], 2000);
  EXPECT_EQ(box.HalfExtents[2], 0);
  EXPECT_EQ(box.Center.X, 1000);
  EXPECT_EQ(box.Center.Y, 2000);
  EXPECT_EQ(box.Center.Z, 0);
  EXPECT_EQ(warnings, Texts({"Invalid bounding box \"vdcv_two\" encountered."}));

  // Still written with what was measured.
  const std::string shape = ShapeText(exporter, primitive);
  EXPECT_NE(shape.find("<translate>1.0000000 2.0000000 0.0000000</translate>"), std::string::npos) << shape;
  EXPECT_NE(shape.find("<half_extents>1.0000000 2.0000000 0.0000000</half_extents>"), std::string::npos) << shape;
}

TEST(BoxMeasurement, AFirstVertexOnNoPolygonGivesAWarningAndNoSize) {
  TScene scene;
  const TFaces faces = {{1, 3, 7, 5}, {2, 6, 7, 3}, {4, 5, 7, 6}, {1, 5, 4, 7}, {2, 3, 6, 7}, {1, 2, 3, 4}};
  TPrimitive& primitive =
      AddPrimitive(scene, "vdcv_none", BoxCorners({10, 20, 30}, {2000, 0, 0}, {0, 4000, 0}, {0, 0, 6000}), faces);
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  const TBoxVolume box = exporter.AnalyseBox(primitive);
  EXPECT_EQ(box.Center.X, 10);
  EXPECT_EQ(box.Center.Y, 20);
  EXPECT_EQ(box.Center.Z, 30);
  EXPECT_EQ(box.HalfExtents[0], 0);
  EXPECT_EQ(box.HalfExtents[1], 0);
  EXPECT_EQ(box.HalfExtents[2], 0);
  EXPECT_EQ(warnings, Texts({"Invalid bounding box \"vdcv_none\" encountered."}));
}

TEST(BoxMeasurement, MoreThanThreeNeighboursAreMeasuredFromTheFirstThreeWithAWarning) {
  TScene scene;
  // The third face gives vertex 0 a fourth neighbour, corner 7.
  const TFaces faces = {{0, 2, 3, 1}, {0, 4, 6, 2}, {0, 7, 5, 4}, {1, 3, 7, 5}, {2, 6, 7, 3}, {4, 5, 7, 6}};
  TPrimitive& primitive =
      AddPrimitive(scene, "vdcv_four", BoxCorners({0, 0, 0}, {2000, 0, 0}, {0, 4000, 0}, {0, 0, 6000}), faces);
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_EQ(ShapeText(exporter, primitive), BoxShape("1.0000000 2.0000000 3.0000000", "1.0000000 2.0000000 3.0000000"));
  EXPECT_EQ(warnings, Texts({"Invalid bounding box \"vdcv_four\" encountered."}));
}

TEST(BoxMeasurement, ABoxGetsOneWarningWhateverTheNumberOfCauses) {
  TScene scene;
  // A zero-length second edge and a fourth neighbour.
  const TFaces faces = {{0, 2, 3, 1}, {0, 4, 6, 2}, {0, 7, 5, 4}, {1, 3, 7, 5}, {2, 6, 7, 3}, {4, 5, 7, 6}};
  TPrimitive& primitive =
      AddPrimitive(scene, "vdcv_bad", BoxCorners({0, 0, 0}, {2000, 0, 0}, {0, 0, 0}, {0, 0, 6000}), faces);
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  exporter.AnalyseBox(primitive);
  EXPECT_EQ(warnings, Texts({"Invalid bounding box \"vdcv_bad\" encountered."}));
}

// ---- Measuring spheres ----

TEST(SphereMeasurement, TheBallIsWrittenByteForByte) {
  TScene scene;
  AddPrimitive(scene, "vdcv_sphere_ball",
               {{0, 500, 250}, {0, 500, -250}, {250, 500, 0}, {-250, 500, 0}, {0, 750, 0}, {0, 250, 0}});
  TTempDir dir;
  const std::string name = dir.File("Ball.physics");
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "Ball.mesh", Collect(warnings));
  exporter.Export(name);
  EXPECT_EQ(TTempDir::Read(name), "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
                                  "<physics_model>\r\n"
                                  "  <rigid_body sid=\"Ball.mesh_SubMesh0\">\r\n"
                                  "    <technique_common>\r\n"
                                  "      <shape>\r\n"
                                  "        <translate>0.0000000 0.5000000 0.0000000</translate>\r\n"
                                  "        <sphere>\r\n"
                                  "          <radius>0.2500000</radius>\r\n"
                                  "        </sphere>\r\n"
                                  "      </shape>\r\n"
                                  "    </technique_common>\r\n"
                                  "  </rigid_body>\r\n"
                                  "</physics_model>");
  EXPECT_TRUE(warnings.empty());
}

TEST(SphereMeasurement, TheRadiusReachesTheLastVertexNotTheFarthest) {
  TScene scene;
  // Vertices average to (0, 0, 50). The farthest vertex is the fifth, 1150
  // away; the last lies off the true surface, 950 away.
  TPrimitive& primitive = AddPrimitive(
      scene, "vdcv_sphere_s",
      {{1000, 0, 0}, {-1000, 0, 0}, {0, 1000, 0}, {0, -1000, 0}, {0, 0, 1200}, {0, 0, -900}});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  const TSphereVolume sphere = exporter.AnalyseSphere(primitive);
  EXPECT_EQ(sphere.Center.X, 0);
  EXPECT_EQ(sphere.Center.Y, 0);
  EXPECT_EQ(sphere.Center.Z, 50);
  EXPECT_EQ(sphere.Radius, 950);
  EXPECT_EQ(ShapeText(exporter, primitive),
            Lines({"<shape>", "  <translate>0.0000000 0.0000000 0.0500000</translate>", "  <sphere>",
                   "    <radius>0.9500000</radius>", "  </sphere>", "</shape>"}));
}

TEST(SphereMeasurement, TheRadiusIsASinglePrecisionLength) {
  TScene scene;
  // sqrt(1000^2 + 1013^2) = 1423.43563254..., as a single 1423.4356689453125:
  // 1.4234357 metres, where the exact length would give 1.4234356.
  TPrimitive& primitive = AddPrimitive(scene, "vdcv_sphere_s", {{-1000, -1013, 0}, {1000, 1013, 0}});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_EQ(exporter.AnalyseSphere(primitive).Radius, 1423.4356689453125f);
  const std::string shape = ShapeText(exporter, primitive);
  EXPECT_NE(shape.find("<radius>1.4234357</radius>"), std::string::npos) << shape;
}

TEST(SphereMeasurement, ASphereWithoutVerticesGetsAnEmptyShapeAndAWarning) {
  TScene scene;
  TPrimitive& primitive = AddPrimitive(scene, "vdcv_sphere_nothing", {});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_EQ(ShapeText(exporter, primitive), "<shape />");
  EXPECT_EQ(warnings,
            Texts({"Primitive \"vdcv_sphere_nothing\" does not seem to be a valid collision volume, skipped."}));
}

// ---- Measuring capsules ----

TEST(CapsuleMeasurement, TheUprightCylinderIsMeasuredWithoutRotation) {
  TScene scene;
  TPrimitive& primitive = AddUprightCylinder(scene, "Pillar");
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  const TCapsuleVolume capsule = exporter.AnalyseCapsule(primitive);
  EXPECT_TRUE(capsule.Measured);
  EXPECT_EQ(capsule.Center.X, 0);
  EXPECT_EQ(capsule.Center.Y, 1000);
  EXPECT_EQ(capsule.Center.Z, 0);
  EXPECT_EQ(capsule.Height, 2000);
  // The diagonal corners lie at 353.55338 (the single nearest 500 / sqrt(2)):
  // the square of their distance, 249999.978..., is 249999.984375 as a single,
  // whose root as a single is 499.99997.
  EXPECT_EQ(capsule.MinRadius, 499.9999694824219f);
  EXPECT_EQ(capsule.MaxRadius, 500);
  EXPECT_EQ(capsule.Rotation.Angle, 0);
  EXPECT_EQ(capsule.Rotation.X, 1);
  EXPECT_EQ(capsule.Rotation.Y, 0);
  EXPECT_EQ(capsule.Rotation.Z, 0);
  EXPECT_EQ(ShapeText(exporter, primitive),
            Lines({"<shape>", "  <translate>0.0000000 1.0000000 0.0000000</translate>", "  <capsule>",
                   "    <height>2.0000000</height>", "    <radius>0.5000000 0.5000000</radius>", "  </capsule>",
                   "</shape>"}));
  EXPECT_TRUE(warnings.empty());
}

TEST(CapsuleMeasurement, ALyingCylinderIsTurnedSoThatItsSecondAxisRunsAlongIt) {
  TScene scene;
  // Along +x; the first cap's corner 0 points along +y. Local axes (y, x, -z):
  // a half turn about (1, 1, 0).
  TPrimitive& primitive = AddPrism(scene, "vdcv_capsule_log", Octagon({0, 0, 0}, kY, kZ), {2000, 0, 0});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_EQ(ShapeText(exporter, primitive),
            Lines({"<shape>", "  <rotate>0.7071068 0.7071068 0.0000000 180.0000000</rotate>",
                   "  <translate>1.0000000 0.0000000 0.0000000</translate>", "  <capsule>",
                   "    <height>2.0000000</height>", "    <radius>0.5000000 0.5000000</radius>", "  </capsule>",
                   "</shape>"}));
}

TEST(CapsuleMeasurement, OnlyTheFirstCapGivesTheRadii) {
  TScene scene;
  // A hexagonal first cap with corners 4500 and 5000 from its centre, and a
  // second cap twice as large.
  const std::vector<TPoint> ring = {{4500, 0, 0}, {0, 5000, 0}, {-4500, 0, 0}, {0, -5000, 0}, {3000, 3000, 0},
                                    {-3000, -3000, 0}};
  std::vector<TPoint> points = ring;
  for (const TPoint& p : ring) points.push_back(2.0f * p + TPoint{0, 0, 9000});
  TPrimitive& primitive =
      AddPrimitive(scene, "vdcv_capsule_c", points, {{0, 1, 2, 3, 4, 5}, {0, 1, 7, 6}, {6, 7, 8, 9, 10, 11}});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  const TCapsuleVolume capsule = exporter.AnalyseCapsule(primitive);
  EXPECT_EQ(capsule.MinRadius, 4242.640625f);  // sqrt(2) * 3000 as a single
  EXPECT_EQ(capsule.MaxRadius, 5000);
  EXPECT_EQ(capsule.Height, 9000);
  EXPECT_EQ(capsule.Center.Z, 4500);
}

TEST(CapsuleMeasurement, HeightAndRadiiAreSinglePrecision) {
  TScene scene;
  // First cap around the origin; its corners 0 and 1 lie sqrt(4100^2 + 45^2)
  // away. That square, 16812025, is no single (16812024 is): the root of the
  // single square is 4100.24658203125 as a single, where the single nearest
  // the exact distance would be 4100.2470703125.
  const std::vector<TPoint> ring = {{4100, 45, 0}, {-4100, -45, 0}, {0, 5000, 0}, {0, -5000, 0}, {4500, 0, 0},
                                    {-4500, 0, 0}};
  std::vector<TPoint> points = ring;
  // The second cap's centre lies (1000, 1013, 0) away: sqrt(1000^2 + 1013^2)
  // as a single is 1423.4356689453125.
  for (const TPoint& p : ring) points.push_back(p + TPoint{1000, 1013, 0});
  TPrimitive& primitive =
      AddPrimitive(scene, "vdcv_capsule_c", points, {{0, 1, 2, 3, 4, 5}, {6, 7, 8, 9, 10, 11}});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  const TCapsuleVolume capsule = exporter.AnalyseCapsule(primitive);
  EXPECT_EQ(capsule.MinRadius, 4100.24658203125f);
  EXPECT_EQ(capsule.MaxRadius, 5000);
  EXPECT_EQ(capsule.Height, 1423.4356689453125f);
  const std::string shape = ShapeText(exporter, primitive);
  EXPECT_NE(shape.find("<height>1.4234357</height>"), std::string::npos) << shape;
  EXPECT_NE(shape.find("<radius>4.1002466 5.0000000</radius>"), std::string::npos) << shape;
}

TEST(CapsuleMeasurement, FiveCorneredEndFacesAreNoCaps) {
  TScene scene;
  TPrimitive& primitive =
      AddPrism(scene, "Post", kPentagon, {0, 2000, 0});
  primitive.PrimitiveType = ptCylinder;
  primitive.Tag = "type collision";
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_FALSE(exporter.AnalyseCapsule(primitive).Measured);
  EXPECT_EQ(ShapeText(exporter, primitive), "<shape />");
  EXPECT_EQ(warnings,
            Texts({"Collision volume Post does not contain top and bottom caps, could not identify capsule shape.",
                   "Collision volume Post does not contain top and bottom caps, could not identify capsule shape."}));
}

TEST(CapsuleMeasurement, OneCapIsNotEnough) {
  TScene scene;
  TPrimitive& primitive = AddPrimitive(scene, "vdcv_capsule_cone", Octagon({0, 0, 0}, kX, kZ),
                                       {{0, 1, 2, 3, 4, 5, 6, 7}, {0, 1, 2}});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_EQ(ShapeText(exporter, primitive), "<shape />");
  EXPECT_EQ(warnings, Texts({"Collision volume vdcv_capsule_cone does not contain top and bottom caps, "
                                      "could not identify capsule shape."}));
}

TEST(CapsuleMeasurement, AThirdPotentialCapStopsTheMeasurement) {
  TScene scene;
  TPrimitive& primitive = AddThreeCapCylinder(scene, "vdcv_capsule_three");
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_EQ(ShapeText(exporter, primitive), "<shape />");
  EXPECT_EQ(warnings, Texts({"Collision volume vdcv_capsule_three contains too many potential caps, could "
                                      "not identify capsule shape."}));
}

// ---- Numbers in the physics file ----

TEST(PhysicsNumbers, PositionsAreWrittenInMetresWithSevenDecimals) {
  TScene scene;
  TPrimitive& primitive = AddPrimitive(scene, "vdcv_sphere_s", {{-1334.5f, 0, 10}, {-1134.5f, 0, 10}});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_EQ(ShapeText(exporter, primitive),
            Lines({"<shape>", "  <translate>-1.2345000 0.0000000 0.0100000</translate>", "  <sphere>",
                   "    <radius>0.1000000</radius>", "  </sphere>", "</shape>"}));
}

TEST(PhysicsNumbers, TinyAxisComponentsRoundToSevenDecimalsWithoutANegativeZero) {
  // A quarter turn about x whose first edge leans a little towards -y: the
  // axis gets a z component of half that lean, -0.00000004 and -0.00000006.
  TScene scene;
  TPrimitive& small = AddBox(scene, "vdcv_a", {0, 0, 0}, {1000, -0.00008f, 0}, {0, 0, 1000}, {0, -1000, 0});
  TPrimitive& larger = AddBox(scene, "vdcv_b", {0, 0, 0}, {1000, -0.00012f, 0}, {0, 0, 1000}, {0, -1000, 0});
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_NEAR(exporter.AnalyseBox(small).Rotation.Z, -0.00000004, 1e-12);
  EXPECT_NEAR(exporter.AnalyseBox(larger).Rotation.Z, -0.00000006, 1e-12);
  EXPECT_EQ(RotateOf(ShapeText(exporter, small)), "1.0000000 0.0000000 0.0000000 90.0000000");
  EXPECT_EQ(RotateOf(ShapeText(exporter, larger)), "1.0000000 0.0000000 -0.0000001 90.0000000");
}

// ---- The physics file ----

TEST(PhysicsFile, TheSidIsTheMeshFileNameWithItsExtension) {
  TScene scene;
  AddPrimitive(scene, "vdcv_sphere_s", {{0, 0, 0}});
  TTempDir dir;
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "Tree.mesh", Collect(warnings));
  exporter.Export(dir.File("Tree.physics"));
  EXPECT_NE(TTempDir::Read(dir.File("Tree.physics")).find("\r\n  <rigid_body sid=\"Tree.mesh_SubMesh0\">\r\n"),
            std::string::npos);
}

TEST(PhysicsFile, VolumesAreWrittenInSceneOrderAndOtherPrimitivesLeftOut) {
  TScene scene;
  AddPrimitive(scene, "vdcv_ramp", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  AddPrimitive(scene, "Floor", {{0, 0, 0}, {1000, 0, 0}, {0, 0, 1000}}, {{0, 1, 2}});
  AddPrimitive(scene, "vdcv_sphere_s", {{0, 0, 0}, {0, 0, 2000}});
  TTempDir dir;
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "Yard.mesh", Collect(warnings));
  exporter.Export(dir.File("Yard.physics"));
  EXPECT_EQ(TTempDir::Read(dir.File("Yard.physics")),
            Lines({"<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>", "<physics_model>",
                   "  <rigid_body sid=\"Yard.mesh_SubMesh0\">", "    <technique_common>", "      <shape />",
                   "      <shape>", "        <translate>0.0000000 0.0000000 1.0000000</translate>",
                   "        <sphere>", "          <radius>1.0000000</radius>", "        </sphere>", "      </shape>",
                   "    </technique_common>", "  </rigid_body>", "</physics_model>"}));
  EXPECT_EQ(warnings,
            Texts({"Primitive \"vdcv_ramp\" does not seem to be a valid collision volume, skipped."}));
}

TEST(PhysicsFile, EveryWarningIsCollectedInTheOrderMet) {
  TScene scene;
  TMaterial* collision = AddMaterial(scene, "collision");
  const TFaces fourNeighbours = {{0, 2, 3, 1}, {0, 4, 6, 2}, {0, 7, 5, 4}, {1, 3, 7, 5}, {2, 6, 7, 3}, {4, 5, 7, 6}};
  AddPrimitive(scene, "Crate", BoxCorners({0, 0, 0}, {2, 0, 0}, {0, 4, 0}, {0, 0, 6}), fourNeighbours, collision);
  AddThreeCapCylinder(scene, "vdcv_capsule_three");
  TPrimitive& post = AddPrism(scene, "Post", kPentagon, {0, 2000, 0});
  post.PrimitiveType = ptCylinder;
  post.GetPolygon(0).Material = collision;
  AddPrimitive(scene, "vdcv_sphere_nothing", {});
  AddPrimitive(scene, "vdcv_ramp", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  TTempDir dir;
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  exporter.Export(dir.File("a.physics"));
  EXPECT_EQ(warnings,
            Texts({"Invalid bounding box \"Crate\" encountered.",
                   "Collision volume vdcv_capsule_three contains too many potential caps, could not identify capsule "
                   "shape.",
                   "Collision volume Post does not contain top and bottom caps, could not identify capsule shape.",
                   "Primitive \"vdcv_sphere_nothing\" does not seem to be a valid collision volume, skipped.",
                   "Primitive \"vdcv_ramp\" does not seem to be a valid collision volume, skipped."}));
  const std::string file = TTempDir::Read(dir.File("a.physics"));
  // The box is written; the four others are empty shapes.
  EXPECT_NE(file.find("<half_extents>0.0010000 0.0020000 0.0030000</half_extents>"), std::string::npos) << file;
  std::size_t empty = 0;
  for (auto at = file.find("<shape />"); at != std::string::npos; at = file.find("<shape />", at + 1)) ++empty;
  EXPECT_EQ(empty, 4u);
}

TEST(PhysicsFile, AnEarlierFileOfTheNameIsReplaced) {
  TScene scene;
  AddPrimitive(scene, "vdcv_sphere_s", {{0, 0, 0}});
  TTempDir dir;
  const std::string name = dir.File("a.physics");
  TTempDir::Write(name, std::string(5000, 'x'));
  KVPhysicsExporterT(scene, "a.mesh").Export(name);
  const std::string file = TTempDir::Read(name);
  EXPECT_EQ(file.substr(0, 5), "<?xml");
  EXPECT_EQ(file.substr(file.size() - 16), "</physics_model>");
}

TEST(PhysicsFileFailures, AMissingDirectoryFailsAndWritesNothing) {
  TScene scene;
  AddPrimitive(scene, "vdcv_sphere_s", {{0, 0, 0}});
  TTempDir dir;
  const std::string name = dir.File("Physics/a.physics");
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_EQ(ErrorOf([&] { exporter.Export(name); }), "Cannot create file " + name);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(PhysicsFileFailures, AFileThatCannotBeCreatedLeavesTheEarlierOneIntact) {
  TScene scene;
  AddPrimitive(scene, "vdcv_sphere_s", {{0, 0, 0}});
  TTempDir dir;
  const std::string name = dir.File("a.physics");
  TTempDir::Write(name, "earlier");
  TFileFaults faults(TFileFault::ffCreate, "a.physics");
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_EQ(ErrorOf([&] { exporter.Export(name); }), "Cannot create file " + name);
  EXPECT_EQ(TTempDir::Read(name), "earlier");
}

TEST(PhysicsFileFailures, AFileThatCannotTakeItsPlaceFailsAndLeavesNoPartBehind) {
  TScene scene;
  AddPrimitive(scene, "vdcv_sphere_s", {{0, 0, 0}});
  TTempDir dir;
  const std::string name = dir.File("a.physics");
  std::filesystem::create_directory(name);
  std::vector<std::string> warnings;
  KVPhysicsExporterT exporter(scene, "a.mesh", Collect(warnings));
  EXPECT_EQ(ErrorOf([&] { exporter.Export(name); }), "Cannot write file " + name);
  EXPECT_TRUE(std::filesystem::is_directory(name));
  EXPECT_TRUE(std::filesystem::is_empty(name));
  EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));
}
