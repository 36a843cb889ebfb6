#pragma once
// Writes scene documents of the editor's format, of a chosen size and
// deterministic from a seed, for benchmarks and large-input tests. Two shapes:
// - a level: a tiled terrain grid, lightmapped buildings, many small textured
//   props sharing materials and a few hundred collision boxes;
// - a terrain, as the editor's terrain tool makes it: tiles of 100 x 100
//   quads, each one primitive whose quads share their corners, so that
//   welding does most of the work.

#include <cstdint>
#include <string>

enum class TSceneShape { Level, Terrain };

struct TSceneDocumentOptions {
  // Polygons in the whole scene (approximately).
  int64_t Polygons = 10000;
  uint32_t Seed = 1;
  TSceneShape Shape = TSceneShape::Level;
};

std::string GenerateSceneDocument(const TSceneDocumentOptions& options);
