#include "asset/KVPhysicsExporterCl.h"

#include <initializer_list>
#include <numbers>
#include <string_view>

#include "base/uException.h"
#include "base/uNumbers.h"
#include "xml/uXMLWriter.h"

namespace {

constexpr std::string_view kCollisionMark = "collision";
constexpr std::string_view kVolumePrefix = "vdcv_";
constexpr std::string_view kSpherePrefix = "vdcv_sphere_";
constexpr std::string_view kCapsulePrefix = "vdcv_capsule_";

// Polygons with more corners than this may be the end faces of a capsule;
// the sides of an editor cylinder are four-cornered.
constexpr int kMaxSideCorners = 5;

// The scene holds millimetres, the physics file metres.
constexpr double kMillimetresPerMetre = 1000;

constexpr double kDegreesPerRadian = 180 / std::numbers::pi;

// The tag is parsed here instead of through TPrimitive::Properties(), which
// would keep a parsed copy in every primitive the mesh exporter's filter asks
// about, most of which are no collision volumes and have no tag at all.
std::string TagValue(const TPrimitive& primitive, std::string_view name) {
  if (primitive.Tag.empty()) return {};
  return TProperties(primitive.Tag).GetValue(name);
}

double Determinant(const TMatrix3& m) {
  const auto e = [&m](int row, int column) { return static_cast<double>(m.M[3 * row + column]); };
  return e(0, 0) * (e(1, 1) * e(2, 2) - e(1, 2) * e(2, 1)) - e(0, 1) * (e(1, 0) * e(2, 2) - e(1, 2) * e(2, 0)) +
         e(0, 2) * (e(1, 0) * e(2, 1) - e(1, 1) * e(2, 0));
}

// The axis of unit length and the angle in degrees, as the file gives them.
TAxisAngle Orientation(const TMatrix3& m) {
  TAxisAngle rotation = MatrixToAxisAngle(m);
  const TVector axis = VectorNormalize(TVector{rotation.X, rotation.Y, rotation.Z});
  rotation.X = axis.X;
  rotation.Y = axis.Y;
  rotation.Z = axis.Z;
  rotation.Angle *= kDegreesPerRadian;
  return rotation;
}

std::string Numbers(std::initializer_list<double> values) {
  std::string text;
  for (const double value : values) {
    if (!text.empty()) text += ' ';
    text += FormatFixed(value, 7);
  }
  return text;
}

std::string Metres(const TVector& v) {
  return Numbers({v.X / kMillimetresPerMetre, v.Y / kMillimetresPerMetre, v.Z / kMillimetresPerMetre});
}

// An angle of exactly 0 means no rotation, and the element is left out; any
// other angle, however small, is written.
void WriteRotation(const TAxisAngle& rotation, TXMLWriter& writer) {
  if (rotation.Angle != 0)
    writer.AddElement("rotate", Numbers({rotation.X, rotation.Y, rotation.Z, rotation.Angle}));
}

}  // namespace

bool KVPhysicsExporterT::IsCollisionVolume(const TPrimitive& primitive) {
  const TMaterial* material = primitive.GetMainMaterial();
  if (material && material->Name == kCollisionMark) return true;
  if (StartsWith(primitive.Name, kVolumePrefix)) return true;
  return TagValue(primitive, "type") == kCollisionMark;
}

bool KVPhysicsExporterT::HasCollisionVolumes(const TScene& scene) {
  for (int i = 0; i < scene.PrimitiveCount(); ++i)
    if (IsCollisionVolume(scene.GetPrimitive(i))) return true;
  return false;
}

bool KVPhysicsExporterT::IsSphere(const TPrimitive& primitive) {
  return StartsWith(primitive.Name, kSpherePrefix) || primitive.PrimitiveType == ptSphere ||
         TagValue(primitive, "shape") == "sphere";
}

bool KVPhysicsExporterT::IsCapsule(const TPrimitive& primitive) {
  return StartsWith(primitive.Name, kCapsulePrefix) || TagValue(primitive, "shape") == "capsule" ||
         primitive.PrimitiveType == ptCylinder;
}

bool KVPhysicsExporterT::IsBox(const TPrimitive& primitive) {
  return primitive.VertexCount() == 8 && primitive.PolygonCount() == 6;
}

std::vector<const TVertex*> KVPhysicsExporterT::GetNeighbours(const TVertex& vertex, const TPrimitive& primitive) {
  std::vector<const TVertex*> neighbours;
  const auto addOnce = [&neighbours](const TVertex* candidate) {
    for (const TVertex* known : neighbours)
      if (known == candidate) return;
    neighbours.push_back(candidate);
  };
  for (int p = 0; p < primitive.PolygonCount(); ++p) {
    const TPolygon& polygon = primitive.GetPolygon(p);
    const int count = polygon.VertexCount();
    for (int j = 0; j < count; ++j) {
      // The same vertex object: another vertex at the same place is not this corner.
      if (polygon.GetVertex(j) != &vertex) continue;
      addOnce(polygon.GetVertex(j == 0 ? count - 1 : j - 1));
      addOnce(polygon.GetVertex(j == count - 1 ? 0 : j + 1));
    }
  }
  return neighbours;
}

TBoxVolume KVPhysicsExporterT::AnalyseBox(const TPrimitive& primitive) {
  TBoxVolume box;
  const auto warn = [&] {
    Warn(FormatText("Invalid bounding box \"%s\" encountered.", {primitive.Name}));
  };
  if (primitive.VertexCount() == 0) {
    // No corner to measure from: nothing is known about the box.
    warn();
    return box;
  }

  const TVertex& origin = primitive.GetVertex(0);
  const TVector originPosition = VertexToVector(origin);
  const std::vector<const TVertex*> neighbours = GetNeighbours(origin, primitive);
  // The three edges at the first vertex span the box. Any other count, or an
  // edge without length, leaves the box undetermined; it is still written
  // with what could be measured (missing extents 0, missing axes (0, 0, 0)).
  bool valid = neighbours.size() == 3;

  box.Center = originPosition;
  TMatrix3 axes;
  for (std::size_t i = 0; i < neighbours.size() && i < 3; ++i) {
    const TVector edge = VectorSubtract(VertexToVector(*neighbours[i]), originPosition);
    box.HalfExtents[i] = static_cast<double>(VectorLength(edge)) / 2;
    box.Center = VectorAdd(box.Center, VectorDivide(edge, 2));
    const float length = static_cast<float>(2 * box.HalfExtents[i]);
    if (length == 0) {
      valid = false;
      continue;
    }
    axes = MatrixSetColumn(axes, VectorDivide(edge, length), static_cast<int>(i));
  }
  if (!valid) warn();

  // Edges found in left-handed order make the negated matrix a rotation;
  // right-handed ones make it a reflection, and the matrix as measured is the
  // rotation. The box is symmetric, so either describes it.
  const TMatrix3 negated = MatrixScale(axes, -1);
  box.Rotation = Orientation(Determinant(negated) < 0 ? axes : negated);
  return box;
}

TSphereVolume KVPhysicsExporterT::AnalyseSphere(const TPrimitive& primitive) {
  TSphereVolume sphere;
  const int count = primitive.VertexCount();
  if (count == 0) {
    // Without vertices there is no centre; the writer leaves the shape empty.
    Warn(
        FormatText("Primitive \"%s\" does not seem to be a valid collision volume, skipped.", {primitive.Name}));
    return sphere;
  }
  TVector sum = MakeVector(0, 0, 0);
  for (int i = 0; i < count; ++i) sum = VectorAdd(sum, VertexToVector(primitive.GetVertex(i)));
  sphere.Center = VectorDivide(sum, static_cast<float>(count));
  // Measured to the last vertex alone, not to the farthest: the vertices of a
  // tessellated sphere all lie on its surface, so any one of them gives the radius.
  sphere.Radius = VectorLength(VectorSubtract(VertexToVector(primitive.GetVertex(count - 1)), sphere.Center));
  return sphere;
}

TCapsuleVolume KVPhysicsExporterT::AnalyseCapsule(const TPrimitive& primitive) {
  TCapsuleVolume capsule;
  const TPolygon* caps[2] = {nullptr, nullptr};
  int capCount = 0;
  for (int p = 0; p < primitive.PolygonCount(); ++p) {
    const TPolygon& polygon = primitive.GetPolygon(p);
    if (polygon.VertexCount() <= kMaxSideCorners) continue;
    if (capCount == 2) {
      Warn(FormatText(
          "Collision volume %s contains too many potential caps, could not identify capsule shape.", {primitive.Name}));
      return capsule;
    }
    caps[capCount++] = &polygon;
  }
  if (capCount < 2) {
    Warn(FormatText(
        "Collision volume %s does not contain top and bottom caps, could not identify capsule shape.",
        {primitive.Name}));
    return capsule;
  }

  const TPolygon& first = *caps[0];
  const TVector firstCenter = PolygonCenter(first);
  const TVector secondCenter = PolygonCenter(*caps[1]);
  capsule.Height = VectorLength(VectorSubtract(firstCenter, secondCenter));
  // The first cap alone gives the radii.
  for (int k = 0; k < first.VertexCount(); ++k) {
    const float distance = VectorDistance(VertexToVector(*first.GetVertex(k)), firstCenter);
    if (k == 0 || distance < capsule.MinRadius) capsule.MinRadius = distance;
    if (k == 0 || distance > capsule.MaxRadius) capsule.MaxRadius = distance;
  }

  // Local axes: radial towards the first cap's first corner, along the
  // capsule towards the second cap, and perpendicular to both.
  const TVector radial = VectorNormalize(VectorSubtract(VertexToVector(*first.GetVertex(0)), firstCenter));
  const TVector along = VectorNormalize(VectorSubtract(secondCenter, firstCenter));
  const TVector across = VectorNormalize(VectorCross(radial, along));
  TMatrix3 axes;
  axes = MatrixSetColumn(axes, radial, 0);
  axes = MatrixSetColumn(axes, along, 1);
  axes = MatrixSetColumn(axes, across, 2);
  capsule.Rotation = Orientation(axes);
  capsule.Center = VectorMidpoint(firstCenter, secondCenter);
  capsule.Measured = true;
  return capsule;
}

void KVPhysicsExporterT::Export(const std::string& fileName, TFileTransaction* transaction) {
  TXMLFileWriter writer(fileName, transaction);
  writer.OpenTag("physics_model");
  writer.OpenTag("rigid_body");
  writer.AddProperty("sid", MeshName + "_SubMesh0");
  writer.OpenTag("technique_common");
  for (int i = 0; i < Scene.PrimitiveCount(); ++i) {
    const TPrimitive& primitive = Scene.GetPrimitive(i);
    if (IsCollisionVolume(primitive)) WriteShape(primitive, writer);
  }
  writer.CloseTag("technique_common");
  writer.CloseTag("rigid_body");
  writer.CloseTag("physics_model");
  // Only now does the file appear; an error before leaves an earlier one as it was.
  writer.Close();
}

void KVPhysicsExporterT::WriteShape(const TPrimitive& primitive, TXMLWriter& writer) {
  writer.OpenTag("shape");
  if (IsSphere(primitive))
    WriteSphere(primitive, writer);
  else if (IsCapsule(primitive))
    WriteCapsule(primitive, writer);
  else if (IsBox(primitive))
    WriteBox(primitive, writer);
  else
    Warn(
        FormatText("Primitive \"%s\" does not seem to be a valid collision volume, skipped.", {primitive.Name}));
  writer.CloseTag("shape");
}

void KVPhysicsExporterT::WriteBox(const TPrimitive& primitive, TXMLWriter& writer) {
  const TBoxVolume box = AnalyseBox(primitive);
  WriteRotation(box.Rotation, writer);
  writer.AddElement("translate", Metres(box.Center));
  writer.OpenTag("box");
  writer.AddElement("half_extents",
                    Numbers({box.HalfExtents[0] / kMillimetresPerMetre, box.HalfExtents[1] / kMillimetresPerMetre,
                             box.HalfExtents[2] / kMillimetresPerMetre}));
  writer.CloseTag("box");
}

void KVPhysicsExporterT::WriteSphere(const TPrimitive& primitive, TXMLWriter& writer) {
  const TSphereVolume sphere = AnalyseSphere(primitive);
  if (primitive.VertexCount() == 0) return;  // warned by AnalyseSphere; the shape stays empty
  writer.AddElement("translate", Metres(sphere.Center));
  writer.OpenTag("sphere");
  writer.AddElement("radius", Numbers({sphere.Radius / kMillimetresPerMetre}));
  writer.CloseTag("sphere");
}

void KVPhysicsExporterT::WriteCapsule(const TPrimitive& primitive, TXMLWriter& writer) {
  const TCapsuleVolume capsule = AnalyseCapsule(primitive);
  // Caps not identified (warned): an empty shape rather than invented numbers.
  if (!capsule.Measured) return;
  WriteRotation(capsule.Rotation, writer);
  writer.AddElement("translate", Metres(capsule.Center));
  writer.OpenTag("capsule");
  writer.AddElement("height", Numbers({capsule.Height / kMillimetresPerMetre}));
  writer.AddElement("radius",
                    Numbers({capsule.MinRadius / kMillimetresPerMetre, capsule.MaxRadius / kMillimetresPerMetre}));
  writer.CloseTag("capsule");
}
