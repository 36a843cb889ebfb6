// generate-scene [--terrain] POLYGONS [SEED] > scene.xml
// Writes a deterministic scene document of about POLYGONS polygons: a level,
// or with --terrain a terrain of 100 x 100-quad tiles.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "SceneDocumentGenerator.h"

namespace {
const char* const kUsage =
    "usage: generate-scene [--terrain] POLYGONS [SEED] > scene.xml\n"
    "Writes a deterministic scene document of about POLYGONS polygons; SEED (default 1) varies it.\n"
    "A level by default: terrain, buildings, props and collision boxes; with --terrain, tiles of\n"
    "100 x 100 quads that share their corners, as the editor's terrain tool makes them.\n";

// The whole text as a decimal number; false for anything else ("1e6" is not
// one million, and a name is no number at all).
bool ParseNumber(const char* text, unsigned long long& value) {
  if (*text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtoull(text, &end, 10);
  return errno == 0 && *end == '\0';
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  TSceneDocumentOptions options;
  if (argc >= 2 && std::strcmp(argv[1], "--terrain") == 0) {
    options.Shape = TSceneShape::Terrain;
    --argc;
    ++argv;
  }
  if (argc < 2 || argc > 3) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  unsigned long long polygons = 0, seed = 0;
  if (!ParseNumber(argv[1], polygons) || polygons == 0 || polygons > INT64_MAX) {
    std::fprintf(stderr, "generate-scene: POLYGONS must be a positive number, not \"%s\"\n", argv[1]);
    return 2;
  }
  options.Polygons = static_cast<int64_t>(polygons);
  if (argc == 3) {
    if (!ParseNumber(argv[2], seed) || seed > UINT32_MAX) {
      std::fprintf(stderr, "generate-scene: SEED must be a number from 0 to %u, not \"%s\"\n", UINT32_MAX, argv[2]);
      return 2;
    }
    options.Seed = static_cast<uint32_t>(seed);
  }
  const std::string document = GenerateSceneDocument(options);
  return std::fwrite(document.data(), 1, document.size(), stdout) == document.size() ? 0 : 1;
}
