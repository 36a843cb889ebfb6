#pragma once
// Writes scene documents of the editor's format, of a chosen size and
// deterministic from a seed, for benchmarks and large-input tests: a tiled
// terrain grid, lightmapped buildings, many small textured props sharing
// materials and a few hundred collision boxes.

#include <cstdint>
#include <string>

struct TSceneDocumentOptions {
  // Polygons in the whole scene (approximately).
  int64_t Polygons = 10000;
  uint32_t Seed = 1;
};

std::string GenerateSceneDocument(const TSceneDocumentOptions& options);
