// The scene reader on any document text: a scene or a TException, never
// anything else. A scene that was read also gets its normals, which walks
// every polygon and vertex the reader linked together.

#include <cmath>
#include <string>

#include "FuzzSupport.h"
#include "base/uException.h"
#include "scene/uXMLSceneReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::unique_ptr<TScene> scene;
  try {
    scene = TXMLSceneReader().ReadSceneText(std::string(FuzzText(data, size)));
  } catch (const TException&) {
    return 0;
  }
  // What the reader promises about every scene it hands out.
  for (int p = 0; p < scene->PrimitiveCount(); ++p) {
    const TPrimitive& primitive = scene->GetPrimitive(p);
    for (int v = 0; v < primitive.VertexCount(); ++v) {
      const TVertex& vertex = primitive.GetVertex(v);
      FuzzCheck(std::isfinite(vertex.X) && std::isfinite(vertex.Y) && std::isfinite(vertex.Z),
                "a vertex with a coordinate that is not finite was accepted");
    }
  }
  try {
    scene->CalculateNormals(ExportSmoothingAngle);
  } catch (const TException&) {
  }
  return 0;
}
