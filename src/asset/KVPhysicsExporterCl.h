#pragma once
// Collision volumes: which primitives of a scene are collision volumes, which
// shape each one is (box, sphere, capsule), their measurements, and the
// physics file that describes them to the platform as one rigid body.

#include <string>
#include <vector>

#include "base/ReportSinks.h"
#include "scene/uScene.h"
#include "scene/uVector.h"

class TFileTransaction;
class TXMLWriter;

struct TBoxVolume {
  TAxisAngle Rotation{};  // Angle in degrees after measuring
  TVector Center{};
  double HalfExtents[3]{};
};

struct TSphereVolume {
  TVector Center{};
  float Radius = 0;
};

struct TCapsuleVolume {
  TAxisAngle Rotation{};
  TVector Center{};
  float Height = 0;
  float MinRadius = 0;
  float MaxRadius = 0;
  bool Measured = false;  // false when the caps could not be identified
};

class KVPhysicsExporterT {
public:
  // A shape that cannot be measured is written as well as it can be and
  // reported to `warnings`.
  KVPhysicsExporterT(const TScene& scene, std::string meshName, TWarningSink warnings = {})
      : Scene(scene), MeshName(std::move(meshName)), FWarnings(std::move(warnings)) {}

  static bool IsCollisionVolume(const TPrimitive& primitive);
  static bool HasCollisionVolumes(const TScene& scene);
  static bool IsSphere(const TPrimitive& primitive);
  static bool IsCapsule(const TPrimitive& primitive);
  static bool IsBox(const TPrimitive& primitive);
  static std::vector<const TVertex*> GetNeighbours(const TVertex& vertex, const TPrimitive& primitive);

  TBoxVolume AnalyseBox(const TPrimitive& primitive);
  TSphereVolume AnalyseSphere(const TPrimitive& primitive);
  TCapsuleVolume AnalyseCapsule(const TPrimitive& primitive);

  // Writes the physics file (whole or not at all). Raises "Cannot create file
  // %s" and "Cannot write file %s". With a transaction, the file appears at
  // its commit.
  void Export(const std::string& fileName, TFileTransaction* transaction = nullptr);
  void WriteShape(const TPrimitive& primitive, TXMLWriter& writer);
  void WriteBox(const TPrimitive& primitive, TXMLWriter& writer);
  void WriteSphere(const TPrimitive& primitive, TXMLWriter& writer);
  void WriteCapsule(const TPrimitive& primitive, TXMLWriter& writer);

  const TScene& Scene;
  std::string MeshName;  // the mesh's file name, e.g. "Crate.mesh"

private:
  void Warn(const std::string& warning) const {
    if (FWarnings) FWarnings(warning);
  }
  const TWarningSink FWarnings;
};
