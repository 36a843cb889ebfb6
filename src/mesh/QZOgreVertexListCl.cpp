#include "mesh/QZOgreVertexListCl.h"

#include <bit>

namespace {
bool IsNaN(uint32_t bits) { return (bits & 0x7FFFFFFFu) > 0x7F800000u; }
}  // namespace

bool QZOgreVertexListTraits::KeyOf(const QZOgreVertexT& vertex, KeyT& key) {
  key = {std::bit_cast<uint32_t>(vertex.X), std::bit_cast<uint32_t>(vertex.Y), std::bit_cast<uint32_t>(vertex.Z)};
  // A NaN coordinate makes the position unequal to every position, its own
  // included, so such a vertex could never be found: it is not indexed.
  return !IsNaN(key.X) && !IsNaN(key.Y) && !IsNaN(key.Z);
}

uint64_t QZOgreVertexListTraits::HashKey(const KeyT& key) {
  // Positions of one mesh lie close together and differ mostly in the low
  // mantissa bits; a multiplication per coordinate and a multiply-xorshift
  // round spread those into the top bits, which pick the slot. Each
  // coordinate is taken on its own: the key was just stored one coordinate
  // at a time, and reading two at once would wait for both stores to land.
  uint64_t h = uint64_t{key.X} * 0x9E3779B97F4A7C15u ^ uint64_t{key.Y} * 0xC2B2AE3D27D4EB4Fu ^
               uint64_t{key.Z} * 0x165667B19E3779F9u;
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9u;
  return h ^ h >> 32;
}

bool QZOgreVertexListTraits::Compare(const QZOgreVertexT& vertex, const QZOgreVertexT& stored) {
  if (vertex.X != stored.X || vertex.Y != stored.Y || vertex.Z != stored.Z) return false;
  if (stored.HasTextureCoordinates()) {
    if (vertex.TextureCoordinates.size() != stored.TextureCoordinates.size()) return false;
    for (std::size_t i = 0; i < stored.TextureCoordinates.size(); ++i)
      if (!vertex.TextureCoordinates[i].SameAs(stored.TextureCoordinates[i])) return false;
  }
  return !stored.HasNormal() || vertex.Normal.SameAs(stored.Normal);
}

int32_t QZOgreVertexListT::AddOrMerge(const QZOgreVertexT& vertex) {
  return FList.FindOrAdd(
      vertex, [&](QZOgreVertexT& stored) { stored.Assign(vertex); }, [&] { return vertex.Clone(); });
}
