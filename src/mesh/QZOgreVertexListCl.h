#pragma once
// The unique-vertex list: the mesh exporter offers it every polygon corner of
// a primitive and gets back the index of an equal vertex already stored, or of
// the corner's own copy, so that corners shared by several polygons become one
// vertex of the sub-mesh.
//
// Equality is one-sided (see QZOgreVertexListTraits::Compare): a stored vertex
// without texture coordinates, or with the zero normal, accepts any, and on a
// merge takes over the corner's. Vertices are only compared with vertices of
// the bit-identical position, newest first, so positions that differ only in
// the sign of a zero are never merged, and a position with a NaN is never
// merged at all.

#include <cstdint>
#include <vector>

#include "mesh/HashedListCl.h"
#include "mesh/QZOgreMeshModelCl.h"

struct QZOgreVertexListTraits {
  // The bit patterns of X, Y and Z.
  struct KeyT {
    uint32_t X, Y, Z;
    bool operator==(const KeyT&) const = default;
  };

  static bool KeyOf(const QZOgreVertexT& vertex, KeyT& key);
  static uint64_t HashKey(const KeyT& key);
  // `vertex` is the corner looked up, `stored` the vertex in the list.
  static bool Compare(const QZOgreVertexT& vertex, const QZOgreVertexT& stored);
};

class QZOgreVertexListT {
public:
  // The index of an equal stored vertex, which then takes over the corner's
  // position, texture coordinates and normal; otherwise the index of a copy of
  // the corner, appended. The caller keeps its vertex.
  int32_t AddOrMerge(const QZOgreVertexT& vertex);
  // Brings the index's place for the vertex into the cache ahead of its
  // AddOrMerge; changes nothing.
  void Prefetch(const QZOgreVertexT& vertex) const { FList.Prefetch(vertex); }
  // Room for this many vertices, for a caller that knows how many corners
  // it will offer at most.
  void Reserve(std::size_t count) { FList.Reserve(count); }
  // Room in the index for this many distinct positions before it grows.
  void ReservePositions(std::size_t count) { FList.ReserveKeys(count); }
  // The index of the most recently added equal vertex, or -1; changes nothing.
  int32_t IndexOfItem(const QZOgreVertexT& vertex) const { return FList.IndexOfItem(vertex); }
  // Raises "List index out of bounds (%d)" outside the list.
  const QZOgreVertexT& GetVertex(int index) const { return FList.GetItem(index); }
  int Count() const noexcept { return FList.Count(); }
  // The stored vertices in list order, so that a vertex's index stays its
  // index in the sub-mesh; the list is empty afterwards.
  std::vector<QZOgreVertexT> TakeVertices() { return FList.TakeItems(); }

private:
  THashedObjectList<QZOgreVertexT, QZOgreVertexListTraits> FList;
};
