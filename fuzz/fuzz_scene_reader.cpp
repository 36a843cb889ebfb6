// The scene reader on any document text: a scene or a TException, never
// anything else. A scene that was read also gets its normals, which walks
// every polygon and vertex the reader linked together. Read with primitives
// taken straight from the text, on one thread and on three, the document
// must give what the XML tree alone gives: the same scene, or the same error.

#include <cmath>
#include <memory>
#include <string>

#include "../tests/support/SceneDifference.h"
#include "FuzzSupport.h"
#include "base/uException.h"
#include "base/Parallel.h"
#include "scene/uXMLSceneReader.h"

namespace {
struct TOutcome {
  std::unique_ptr<TScene> Scene;
  std::string Error;
};

TOutcome Read(std::string_view text, bool fromText, unsigned threads) {
  SetWorkerCount(threads);
  TXMLSceneReader reader;
  reader.ReadPrimitivesFromText = fromText;
  reader.MinTextPerReadThread = 16;
  TOutcome outcome;
  try {
    outcome.Scene = reader.ReadSceneText(std::string(text));
  } catch (const TException& e) {
    outcome.Error = e.Message();
  }
  SetWorkerCount(0);
  return outcome;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text = FuzzText(data, size);
  TOutcome tree = Read(text, false, 1);
  for (const unsigned threads : {1u, 3u}) {
    const TOutcome fast = Read(text, true, threads);
    FuzzCheck(fast.Error == tree.Error, "read from the text (" + std::to_string(threads) + " threads): \"" + fast.Error +
                                            "\", through the tree: \"" + tree.Error + "\"");
    if (tree.Scene)
      FuzzCheck(SceneDifference(*tree.Scene, *fast.Scene).empty(),
                "read from the text, the scene differs: " + SceneDifference(*tree.Scene, *fast.Scene));
  }
  if (!tree.Scene) return 0;
  TScene& scene = *tree.Scene;
  // What the reader promises about every scene it hands out.
  for (int p = 0; p < scene.PrimitiveCount(); ++p) {
    const TPrimitive& primitive = scene.GetPrimitive(p);
    for (int v = 0; v < primitive.VertexCount(); ++v) {
      const TVertex& vertex = primitive.GetVertex(v);
      FuzzCheck(std::isfinite(vertex.X) && std::isfinite(vertex.Y) && std::isfinite(vertex.Z),
                "a vertex with a coordinate that is not finite was accepted");
    }
  }
  try {
    scene.CalculateNormals(ExportSmoothingAngle);
  } catch (const TException&) {
  }
  return 0;
}
