#include "BannerArt.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace {

struct TColor {
  double R, G, B;
};

struct TPoint {
  double X, Y;
};

TColor Mix(TColor a, TColor b, double t) { return {a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t}; }

// A 5 x 7 capital font, one string of five columns per row: just the letters
// the banner writes.
struct TGlyph {
  char Letter;
  std::array<std::string_view, 7> Rows;
};

constexpr std::array<TGlyph, 17> kFont = {{
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
}};

const TGlyph* FindGlyph(char letter) {
  for (const TGlyph& glyph : kFont)
    if (glyph.Letter == letter) return &glyph;
  return nullptr;
}

class TCanvas {
public:
  TCanvas() : FPixels(static_cast<std::size_t>(BannerWidth) * BannerHeight) {}

  TColor& At(int x, int y) { return FPixels[static_cast<std::size_t>(y) * BannerWidth + static_cast<std::size_t>(x)]; }

  // Covers the fraction `coverage` of the pixel with the colour.
  void Blend(int x, int y, TColor color, double coverage) {
    if (x < 0 || y < 0 || x >= BannerWidth || y >= BannerHeight || coverage <= 0.0) return;
    At(x, y) = Mix(At(x, y), color, std::min(coverage, 1.0));
  }

  // Letters of `scale` x `scale` pixel squares, one blank column between them.
  void Text(std::string_view text, int left, int top, int scale, TColor color) {
    int x = left;
    for (const char letter : text) {
      if (const TGlyph* glyph = FindGlyph(letter)) {
        for (int row = 0; row < 7; ++row)
          for (int column = 0; column < 5; ++column)
            if (glyph->Rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] == '#')
              for (int dy = 0; dy < scale; ++dy)
                for (int dx = 0; dx < scale; ++dx) Blend(x + column * scale + dx, top + row * scale + dy, color, 1.0);
      }
      x += 6 * scale;
    }
  }

  // An anti-aliased line of the given width: each pixel is covered by the
  // share of its 4 x 4 sample points that lie within half the width.
  void Line(TPoint from, TPoint to, double width, TColor color) {
    const double x0 = from.X, y0 = from.Y, x1 = to.X, y1 = to.Y;
    const int minX = static_cast<int>(std::floor(std::min(x0, x1) - width));
    const int maxX = static_cast<int>(std::ceil(std::max(x0, x1) + width));
    const int minY = static_cast<int>(std::floor(std::min(y0, y1) - width));
    const int maxY = static_cast<int>(std::ceil(std::max(y0, y1) + width));
    const double dx = x1 - x0, dy = y1 - y0;
    const double lengthSquared = dx * dx + dy * dy;
    for (int y = minY; y <= maxY; ++y)
      for (int x = minX; x <= maxX; ++x) {
        int inside = 0;
        for (int sy = 0; sy < 4; ++sy)
          for (int sx = 0; sx < 4; ++sx) {
            const double px = x + (sx + 0.5) / 4.0, py = y + (sy + 0.5) / 4.0;
            const double t = std::clamp(((px - x0) * dx + (py - y0) * dy) / lengthSquared, 0.0, 1.0);
            const double ex = px - (x0 + t * dx), ey = py - (y0 + t * dy);
            if (ex * ex + ey * ey <= width * width / 4.0) ++inside;
          }
        Blend(x, y, color, inside / 16.0);
      }
  }

  void Dot(double cx, double cy, double radius, TColor color) { Line({cx, cy}, {cx, cy + 1e-9}, radius * 2.0, color); }

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> bytes;
    bytes.reserve(FPixels.size() * 3);
    const auto channel = [](double value) { return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L)); };
    for (const TColor& pixel : FPixels) {
      bytes.push_back(channel(pixel.R));
      bytes.push_back(channel(pixel.G));
      bytes.push_back(channel(pixel.B));
    }
    return bytes;
  }

private:
  std::vector<TColor> FPixels;
};

}  // namespace

std::vector<uint8_t> RenderBanner() {
  TCanvas canvas;

  // Night blue on the left fading to a pale grey from the middle on: the
  // dialog's version text, in the window-text colour, stands at the right edge.
  const TColor night{16, 38, 60}, pale{226, 233, 238};
  for (int y = 0; y < BannerHeight; ++y)
    for (int x = 0; x < BannerWidth; ++x) {
      const double t = std::clamp((x - 300.0) / 280.0, 0.0, 1.0);
      const double fade = t * t * (3.0 - 2.0 * t);
      // A slight darkening towards the bottom gives the strip some depth.
      const double shade = 1.0 - 0.12 * y / (BannerHeight - 1.0) * (1.0 - fade);
      const TColor base = Mix(night, pale, fade);
      canvas.At(x, y) = {base.R * shade, base.G * shade, base.B * shade};
    }

  // The emblem: a wireframe hexagon, fanned from its centre like the meshes
  // the plug-in writes.
  const TColor wire{150, 220, 250};
  const double cx = 40.0, cy = 37.0, radius = 26.0;
  constexpr double kPi = 3.14159265358979323846;
  std::array<std::pair<double, double>, 6> corners{};
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const double angle = kPi / 6.0 + static_cast<double>(i) * kPi / 3.0;
    corners[i] = {cx + radius * std::cos(angle), cy + radius * std::sin(angle)};
  }
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const auto& [x0, y0] = corners[i];
    const auto& [x1, y1] = corners[(i + 1) % corners.size()];
    canvas.Line({x0, y0}, {x1, y1}, 1.6, wire);
    canvas.Line({cx, cy}, {x0, y0}, 1.0, wire);
  }
  for (const auto& [x, y] : corners) canvas.Dot(x, y, 2.2, {255, 255, 255});
  canvas.Dot(cx, cy, 2.6, {255, 255, 255});

  // The title with a one-pixel shadow, and the subtitle under it.
  canvas.Text("VELDARA EXPORTER", 85, 15, 3, {4, 14, 24});
  canvas.Text("VELDARA EXPORTER", 84, 14, 3, {255, 255, 255});
  canvas.Text("MESH EXPORTER FOR TARNIX", 85, 46, 2, {150, 215, 240});

  // A thin accent line along the bottom edge.
  for (int x = 0; x < BannerWidth; ++x) {
    canvas.Blend(x, BannerHeight - 2, {63, 169, 214}, 1.0);
    canvas.Blend(x, BannerHeight - 1, {63, 169, 214}, 0.5);
  }
  return canvas.Bytes();
}
