// generate-scene POLYGONS [SEED] > scene.xml
// Writes a deterministic scene document of about POLYGONS polygons.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "SceneDocumentGenerator.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: generate-scene POLYGONS [SEED] > scene.xml\n");
    return 2;
  }
  TSceneDocumentOptions options;
  options.Polygons = std::strtoll(argv[1], nullptr, 10);
  if (argc == 3) options.Seed = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  if (options.Polygons <= 0) {
    std::fprintf(stderr, "generate-scene: POLYGONS must be a positive number\n");
    return 2;
  }
  const std::string document = GenerateSceneDocument(options);
  return std::fwrite(document.data(), 1, document.size(), stdout) == document.size() ? 0 : 1;
}
