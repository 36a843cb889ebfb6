// Welding polygon corners into unique vertices, as the mesh exporter does for
// every primitive: one vertex list per primitive, one AddOrMerge per corner,
// then the vertices taken over in list order.
//
// The scene: a dense terrain grid whose every inner vertex is shared by four
// quads (smoothed normals, a tiled and a lightmap UV set), and many small
// boxes with a normal per face and one UV set, all within fifty units.
//
// Target: at least 5 million corners per second on one core.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "mesh/QZOgreMeshModelCl.h"
#include "mesh/QZOgreVertexListCl.h"

namespace {

using TCorners = std::vector<QZOgreVertexT>;

constexpr int TerrainQuads = 500;  // per side: 250,000 quads, 1,000,000 corners
constexpr int BoxCount = 20000;    // 480,000 corners

float Height(float x, float z) { return 0.8f * std::sin(0.7f * x) * std::cos(0.4f * z) + 0.05f * x; }

QZOgreVertexT TerrainVertex(int i, int j) {
  const float step = 0.1f;
  const float x = static_cast<float>(i) * step;
  const float z = static_cast<float>(j) * step;
  QZOgreVertexT vertex(x, Height(x, z), z);
  // The smoothed normal from the height's slopes, as the scene model would
  // give it: the same for every quad that shares the vertex.
  const float dx = (Height(x + step, z) - Height(x - step, z)) / (2 * step);
  const float dz = (Height(x, z + step) - Height(x, z - step)) / (2 * step);
  const float length = std::sqrt(dx * dx + 1 + dz * dz);
  vertex.Normal.X = -dx / length;
  vertex.Normal.Y = 1 / length;
  vertex.Normal.Z = -dz / length;
  vertex.AddTextureCoordinates(x * 0.25f, z * 0.25f);
  vertex.AddTextureCoordinates(static_cast<float>(i) / TerrainQuads, static_cast<float>(j) / TerrainQuads);
  return vertex;
}

TCorners TerrainCorners() {
  TCorners corners;
  corners.reserve(static_cast<std::size_t>(TerrainQuads) * TerrainQuads * 4);
  for (int j = 0; j < TerrainQuads; ++j)
    for (int i = 0; i < TerrainQuads; ++i) {
      corners.push_back(TerrainVertex(i, j));
      corners.push_back(TerrainVertex(i + 1, j));
      corners.push_back(TerrainVertex(i + 1, j + 1));
      corners.push_back(TerrainVertex(i, j + 1));
    }
  return corners;
}

// A box of six quads; each corner carries its face's normal, so the three
// faces that meet at a box corner give three vertices.
TCorners BoxCorners(float cx, float cy, float cz, float half) {
  static const float faces[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  static const float square[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  TCorners corners;
  corners.reserve(24);
  for (const auto& n : faces) {
    // Two axes across the face.
    const float u[3] = {n[1] + n[2], n[0], 0};
    const float v[3] = {0, n[2], n[0] + n[1]};
    for (const auto& s : square) {
      QZOgreVertexT vertex(cx + half * (n[0] + s[0] * u[0] + s[1] * v[0]),
                           cy + half * (n[1] + s[0] * u[1] + s[1] * v[1]),
                           cz + half * (n[2] + s[0] * u[2] + s[1] * v[2]));
      vertex.Normal.X = n[0], vertex.Normal.Y = n[1], vertex.Normal.Z = n[2];
      vertex.AddTextureCoordinates((s[0] + 1) / 2, (s[1] + 1) / 2);
      corners.push_back(vertex);
    }
  }
  return corners;
}

std::vector<TCorners> Boxes() {
  std::mt19937 random(42);
  std::uniform_real_distribution<float> centre(0, 50);
  std::uniform_real_distribution<float> half(0.1f, 0.5f);
  std::vector<TCorners> boxes;
  boxes.reserve(BoxCount);
  for (int b = 0; b < BoxCount; ++b) {
    const float x = centre(random), y = centre(random), z = centre(random);
    boxes.push_back(BoxCorners(x, y, z, half(random)));
  }
  return boxes;
}

// The primitives of the scene: the terrain, then one per box.
const std::vector<TCorners>& ScenePrimitives() {
  static const std::vector<TCorners> primitives = [] {
    std::vector<TCorners> all;
    all.push_back(TerrainCorners());
    for (TCorners& box : Boxes()) all.push_back(std::move(box));
    return all;
  }();
  return primitives;
}

// Welds each primitive with its own list. The taken-over vertices are freed
// outside the measured time: freeing them is the sub-meshes' business, later.
void Weld(benchmark::State& state, const std::vector<TCorners>& primitives) {
  int64_t corners = 0;
  for (const TCorners& primitive : primitives) corners += static_cast<int64_t>(primitive.size());
  std::vector<int32_t> indices(static_cast<std::size_t>(corners));
  std::vector<std::vector<QZOgreVertexT>> subMeshes;
  subMeshes.reserve(primitives.size());
  int64_t vertices = 0;

  for (auto _ : state) {
    std::size_t next = 0;
    for (const TCorners& primitive : primitives) {
      QZOgreVertexListT list;
      for (const QZOgreVertexT& corner : primitive) indices[next++] = list.AddOrMerge(corner);
      subMeshes.push_back(list.TakeVertices());
    }
    benchmark::DoNotOptimize(indices.data());
    state.PauseTiming();
    vertices = 0;
    for (const auto& subMesh : subMeshes) vertices += static_cast<int64_t>(subMesh.size());
    subMeshes.clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * corners);
  state.counters["corners"] = static_cast<double>(corners);
  state.counters["vertices"] = static_cast<double>(vertices);
  state.counters["corners_per_second"] =
      benchmark::Counter(static_cast<double>(corners), benchmark::Counter::kIsIterationInvariantRate);
}

void WeldScene(benchmark::State& state) { Weld(state, ScenePrimitives()); }

void WeldTerrain(benchmark::State& state) {
  static const std::vector<TCorners> terrain{TerrainCorners()};
  Weld(state, terrain);
}

// The boxes as the primitives of one object: many small pieces in one list.
void WeldBoxesAsOnePrimitive(benchmark::State& state) {
  static const std::vector<TCorners> boxes = [] {
    TCorners all;
    for (const TCorners& box : Boxes()) all.insert(all.end(), box.begin(), box.end());
    return std::vector<TCorners>{all};
  }();
  Weld(state, boxes);
}

BENCHMARK(WeldScene)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(WeldTerrain)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(WeldBoxesAsOnePrimitive)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
