#include "SceneDocumentGenerator.h"

#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <algorithm>
#include <random>

namespace {
class TDocument {
public:
  explicit TDocument(uint32_t seed) : FRandom(seed) {}

  void Line(int depth, const char* format, ...) __attribute__((format(printf, 3, 4))) {
    FText.append(static_cast<std::size_t>(depth) * 2, ' ');
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    FText.append(buffer, static_cast<std::size_t>(length));
    FText += "\r\n";
  }
  double Uniform(double low, double high) { return std::uniform_real_distribution<double>(low, high)(FRandom); }
  int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(FRandom); }
  std::string& Text() { return FText; }

private:
  std::mt19937 FRandom;
  std::string FText;
};

constexpr int kMaterials = 24;

void WriteMaterials(TDocument& doc) {
  doc.Line(1, "<materials>");
  doc.Line(2, "<category name=\"Architecture\">");
  for (int m = 0; m < kMaterials; ++m) {
    doc.Line(3, "<material id=\"mat%d\" name=\"Material %d\" used=\"true\">", m, m);
    doc.Line(4, "<layer type=\"texture\" blend=\"modulate\">");
    doc.Line(5, "<texture file=\"textures\\stone_%02d.jpg\" />", m);
    doc.Line(4, "</layer>");
    if (m % 3 == 0) {
      doc.Line(4, "<layer type=\"lightmap\" blend=\"modulate\">");
      doc.Line(5, "<texture file=\"lightmaps\\lm_%02d.png\" />", m);
      doc.Line(4, "</layer>");
    }
    doc.Line(3, "</material>");
  }
  doc.Line(2, "</category>");
  // Collision volumes carry a material of their own, which marks them too.
  doc.Line(2, "<category name=\"Physics\">");
  doc.Line(3, "<material id=\"matcv\" name=\"collision\" used=\"true\">");
  doc.Line(4, "<layer type=\"color\" blend=\"replace\">");
  doc.Line(5, "<color r=\"255\" g=\"0\" b=\"255\" a=\"64\" />");
  doc.Line(4, "</layer>");
  doc.Line(3, "</material>");
  doc.Line(2, "</category>");
  doc.Line(1, "</materials>");
}

int LayersOf(int material) { return material % 3 == 0 ? 2 : 1; }

void WriteCorner(TDocument& doc, int vertex, int layers, double u, double v) {
  if (layers == 2)
    doc.Line(6, "<vertex vid=\"v%d\" u0=\"%.6f\" v0=\"%.6f\" u1=\"%.6f\" v1=\"%.6f\" />", vertex, u, v, u * 0.25,
             v * 0.25);
  else
    doc.Line(6, "<vertex vid=\"v%d\" u0=\"%.6f\" v0=\"%.6f\" />", vertex, u, v);
}

void WritePrimitiveStart(TDocument& doc, int64_t id, const char* name, const char* type) {
  doc.Line(2, "<primitive id=\"p%" PRId64 "\" name=\"%s\" type=\"%s\" visible=\"true\" snap=\"vertex\" autoUV=\"false\">",
           id, name, type);
}

// One tile of a square grid of quads with gently rolling heights. Levels cut
// their terrain into tiles: a sub-mesh holds at most 65536 vertices.
void WriteTerrainTile(TDocument& doc, int64_t id, int firstX, int firstY, int cellsX, int cellsY) {
  WritePrimitiveStart(doc, id, "Terrain", "grid");
  doc.Line(3, "<vertices>");
  for (int y = 0; y <= cellsY; ++y)
    for (int x = 0; x <= cellsX; ++x) {
      const int gx = firstX + x, gy = firstY + y;
      doc.Line(4, "<vertex id=\"v%d\" x=\"%.6f\" y=\"%.6f\" z=\"%.6f\" />", y * (cellsX + 1) + x, gx * 32.0,
               4.0 * std::sin(gx * 0.37) * std::cos(gy * 0.23) + 20.0 * (gx % 17) / 17.0, gy * 32.0);
    }
  doc.Line(3, "</vertices>");
  doc.Line(3, "<polygons>");
  const int material = 1;
  const int row = cellsX + 1;
  for (int y = 0; y < cellsY; ++y)
    for (int x = 0; x < cellsX; ++x) {
      doc.Line(5, "<poly mid=\"mat%d\">", material);
      const int corners[4] = {y * row + x, y * row + x + 1, (y + 1) * row + x + 1, (y + 1) * row + x};
      const double uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
      for (int c = 0; c < 4; ++c)
        WriteCorner(doc, corners[c], LayersOf(material), firstX + x + uv[c][0], firstY + y + uv[c][1]);
      doc.Line(5, "</poly>");
    }
  doc.Line(3, "</polygons>");
  doc.Line(2, "</primitive>");
}

// A box-shaped prop (six quads), or a collision box when its name says so.
// Each face's corners run clockwise seen from outside, as the editor draws
// them, so that its normals point out of the box.
void WriteBox(TDocument& doc, int64_t id, const char* name, bool collision) {
  WritePrimitiveStart(doc, id, name, "cube");
  const double cx = doc.Uniform(0, 8000), cy = doc.Uniform(0, 200), cz = doc.Uniform(0, 8000);
  const double sx = doc.Uniform(5, 80), sy = doc.Uniform(5, 80), sz = doc.Uniform(5, 80);
  doc.Line(3, "<vertices>");
  for (int v = 0; v < 8; ++v)
    doc.Line(4, "<vertex id=\"v%d\" x=\"%.6f\" y=\"%.6f\" z=\"%.6f\" />", v, cx + ((v & 1) ? sx : -sx),
             cy + ((v & 2) ? sy : -sy), cz + ((v & 4) ? sz : -sz));
  doc.Line(3, "</vertices>");
  doc.Line(3, "<polygons>");
  static const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  const int material = doc.Pick(kMaterials);
  for (const auto& face : faces) {
    if (collision)
      doc.Line(5, "<poly mid=\"matcv\">");
    else
      doc.Line(5, "<poly mid=\"mat%d\">", material);
    // The faces above run counter-clockwise from outside: written backwards.
    const double uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int c = 3; c >= 0; --c) WriteCorner(doc, face[c], collision ? 1 : LayersOf(material), uv[c][0], uv[c][1]);
    doc.Line(5, "</poly>");
  }
  doc.Line(3, "</polygons>");
  doc.Line(2, "</primitive>");
}

// A building of lightmapped architecture: four walls, each a grid of quads
// whose corners carry a tiled texture set and a lightmap set that spans the
// whole wall. The walls share no vertices, as the editor writes them, and
// each faces out of the building.
void WriteBuilding(TDocument& doc, int64_t id, int cellsAlong, int cellsUp) {
  WritePrimitiveStart(doc, id, "Building", "userdefined");
  const double x0 = doc.Uniform(0, 8000), z0 = doc.Uniform(0, 8000);
  const double step = doc.Uniform(20, 40);
  const int material = 3 * doc.Pick(kMaterials / 3);  // every third material has a lightmap
  const int row = cellsAlong + 1;
  const int perWall = row * (cellsUp + 1);
  doc.Line(3, "<vertices>");
  // Wall w runs along x (w even) or z (w odd), at the near or far side.
  for (int w = 0; w < 4; ++w)
    for (int up = 0; up <= cellsUp; ++up)
      for (int a = 0; a <= cellsAlong; ++a) {
        const double along = a * step, side = (w / 2) * cellsAlong * step;
        const double x = x0 + (w % 2 == 0 ? along : side), z = z0 + (w % 2 == 0 ? side : along);
        doc.Line(4, "<vertex id=\"v%d\" x=\"%.6f\" y=\"%.6f\" z=\"%.6f\" />", w * perWall + up * row + a, x,
                 up * step, z);
      }
  doc.Line(3, "</vertices>");
  doc.Line(3, "<polygons>");
  for (int w = 0; w < 4; ++w)
    for (int up = 0; up < cellsUp; ++up)
      for (int a = 0; a < cellsAlong; ++a) {
        doc.Line(5, "<poly mid=\"mat%d\">", material);
        const int base = w * perWall;
        const int corners[4] = {base + up * row + a, base + (up + 1) * row + a, base + (up + 1) * row + a + 1,
                                base + up * row + a + 1};
        const int cells[4][2] = {{a, up}, {a, up + 1}, {a + 1, up + 1}, {a + 1, up}};
        // These corners run clockwise seen from +z on walls along x and from
        // -x on walls along z: the near wall along x (w = 0) and the far one
        // along z (w = 3) would face into the building, so they are written
        // backwards.
        const bool backwards = w == 0 || w == 3;
        for (int i = 0; i < 4; ++i) {
          const int c = backwards ? 3 - i : i;
          const double u = cells[c][0], v = cells[c][1];
          doc.Line(6, "<vertex vid=\"v%d\" u0=\"%.6f\" v0=\"%.6f\" u1=\"%.6f\" v1=\"%.6f\" />", corners[c], u, v,
                   u / cellsAlong, v / cellsUp);
        }
        doc.Line(5, "</poly>");
      }
  doc.Line(3, "</polygons>");
  doc.Line(2, "</primitive>");
}

void WriteLights(TDocument& doc, int count) {
  doc.Line(1, "<lights>");
  for (int i = 0; i < count; ++i) {
    doc.Line(2, "<light id=\"l%d\" type=\"point\" name=\"Lamp %d\" range=\"%d\" active=\"true\" intensity=\"100\">", i, i,
             200 + doc.Pick(800));
    doc.Line(3, "<position x=\"%.6f\" y=\"%.6f\" z=\"%.6f\" />", doc.Uniform(0, 8000), doc.Uniform(50, 300),
             doc.Uniform(0, 8000));
    doc.Line(3, "<diffuse r=\"255\" g=\"%d\" b=\"%d\" />", 128 + doc.Pick(128), 64 + doc.Pick(192));
    doc.Line(2, "</light>");
  }
  doc.Line(1, "</lights>");
}
// The scene's settings and materials, and the opening of its primitives.
void WriteSceneStart(TDocument& doc, const char* name, uint32_t seed) {
  doc.Line(0, "<scene>");
  doc.Line(1, "<settings name=\"%s\" author=\"generator\" comments=\"seed %" PRIu32 "\" shadowOpacity=\"50\">", name,
           seed);
  doc.Line(2, "<ambient r=\"64\" g=\"64\" b=\"72\" />");
  doc.Line(1, "</settings>");
  WriteMaterials(doc);
  doc.Line(1, "<primitives>");
}

// Tiles of 100 x 100 quads side by side, a square of them as near as the
// count allows, one material, and the level's lights.
std::string GenerateTerrainDocument(const TSceneDocumentOptions& options) {
  constexpr int kSide = 100;
  TDocument doc(options.Seed);
  const int64_t tiles = std::max<int64_t>(1, (options.Polygons + kSide * kSide / 2) / (kSide * kSide));
  const auto across = static_cast<int64_t>(std::ceil(std::sqrt(static_cast<double>(tiles))));
  doc.Text().reserve(static_cast<std::size_t>(tiles) * kSide * kSide * 330);
  WriteSceneStart(doc, "Generated terrain", options.Seed);
  for (int64_t t = 0; t < tiles; ++t)
    WriteTerrainTile(doc, t, static_cast<int>(t % across) * kSide, static_cast<int>(t / across) * kSide, kSide, kSide);
  doc.Line(1, "</primitives>");
  WriteLights(doc, 16);
  doc.Text() += "</scene>";
  return std::move(doc.Text());
}
}  // namespace

std::string GenerateSceneDocument(const TSceneDocumentOptions& options) {
  if (options.Shape == TSceneShape::Terrain) return GenerateTerrainDocument(options);
  TDocument doc(options.Seed);
  // About 45% of the polygons in the terrain, 20% in lightmapped buildings of
  // 4 x 16 x 8 quads, a few hundred collision boxes and the rest in props of
  // six quads each.
  const auto terrainCells = static_cast<int>(std::sqrt(static_cast<double>(options.Polygons) * 0.45));
  constexpr int kAlong = 16, kUp = 8;
  const int64_t buildings = options.Polygons / 5 / (4 * kAlong * kUp);
  const int64_t collisionBoxes = std::clamp<int64_t>(options.Polygons / 50, 1, 300);
  const int64_t props = std::max<int64_t>(
      0, (options.Polygons - int64_t{terrainCells} * terrainCells - buildings * 4 * kAlong * kUp) / 6 - collisionBoxes);
  doc.Text().reserve(static_cast<std::size_t>(options.Polygons) * 330);

  WriteSceneStart(doc, "Generated level", options.Seed);
  int64_t id = 0;
  constexpr int kTile = 128;
  for (int y = 0; y < terrainCells; y += kTile)
    for (int x = 0; x < terrainCells; x += kTile)
      WriteTerrainTile(doc, id++, x, y, std::min(kTile, terrainCells - x), std::min(kTile, terrainCells - y));
  for (int64_t b = 0; b < buildings; ++b) WriteBuilding(doc, id++, kAlong, kUp);
  // The collision boxes spread evenly among the props, as a designer places
  // them beside the things they stand for.
  const int64_t pieces = props + collisionBoxes;
  int64_t boxesWritten = 0;
  for (int64_t p = 0; p < pieces; ++p) {
    if (boxesWritten < collisionBoxes && (p + 1) * collisionBoxes / pieces > boxesWritten) {
      WriteBox(doc, id++, "vdcv_box", true);
      ++boxesWritten;
    } else {
      WriteBox(doc, id++, "Crate", false);
    }
  }
  doc.Line(1, "</primitives>");
  WriteLights(doc, 16);
  doc.Text() += "</scene>";
  return std::move(doc.Text());
}
