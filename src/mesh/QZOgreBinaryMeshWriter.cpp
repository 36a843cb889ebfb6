#include "mesh/QZOgreBinaryMeshWriter.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/Parallel.h"
#include "base/uException.h"
#include "xml/uBufferedFileStream.h"

// Each chunk has one function that describes its content as a sequence of
// values, written against an output "sink". The same description runs twice:
// once on a counter, which gives the chunk's length before its header has to
// be written, and once on the writer, which packs the bytes. The length can
// therefore not drift from what is written, and the writer checks this all the
// same: a chunk that comes out longer or shorter than it announced is an
// internal error, raised before the file is committed.
//
// Runs of equal-sized records (indices, vertices) are not walked by the
// counter: it multiplies their number by the record size the description
// states, and the writer checks every record against that size.

// The chunks written, in file order, nested as in the file, and in which
// format each appears. Every chunk starts with its u16 id and a u32 length
// that counts the id and length too; the header has no length. Strings end
// in a line feed; bool is one byte.
//
//   id      chunk                    fields                              1.30  1.8  1.100
//   0x1000  header                   string "[MeshSerializer_vX]"          x    x    x
//   0x3000  mesh                     bool skeletal (0)                     x    x    x
//   0x4000    sub-mesh (each)        string material, bool shared (0),     x    x    x
//                                    u32 index count, bool 32-bit (0),
//                                    u16 index[count]
//   0x5000      geometry             u32 vertex count                      x    x    x
//   0x5100        declaration        -                                     x    x    x
//   0x5110          element (each)   u16 source (0), type, semantic,       x    x    x
//                                    offset, index
//   0x5200        buffer             u16 bind index (0), u16 vertex size   x    x    x
//   0x5210          buffer data      vertex[count]                         x    x    x
//   0x4010      operation            u16 type (4: triangle list)           -    x    x
//   0x8000    levels of detail       see below (only with levels)          x    x    x
//   0x9000    bounds                 f32 min[3], max[3], radius            x    x    x
//   0xA000    sub-mesh name table    - (no 0xA100 names: ours have none)   -    x    x
//
// 1.30 readers take a missing operation as a triangle list; OGRE's own
// serializer has written both chunks marked "-" ever since, the name table
// even when empty. Without levels of detail 1.8 and 1.100 differ only in
// their headers.
//
// Levels of detail (LevelsOfDetail.h) are written as OGRE's "generated"
// levels: for each level beyond the full mesh (the full mesh is level 0 and
// has no entry), its distance and one index list per sub-mesh, in the order
// of the sub-meshes, into that sub-mesh's own vertices. Each format lays them
// out in its own way:
//
//   id      chunk                    fields                              1.30  1.8  1.100
//   0x8000  levels of detail         string strategy                       -    x    x
//                                      ("Distance" in 1.8, "distance_sphere" in 1.100)
//                                    u16 level count (N + 1, the full mesh  x    x    x
//                                      counted)
//                                    bool manual (0: generated)            x    x    -
//   0x8100    usage (each level)     f32 value: 1.30 the squared           x    x    -
//                                      distance, 1.8 the distance
//   0x8120      generated (each      u32 index count, bool 32-bit (0),     x    x    -
//               sub-mesh)            u16 index[count]
//   0x8120    generated (each level) f32 distance, then for each           -    -    x
//                                    sub-mesh: u32 index count, u32 first
//                                    index (0), u32 buffer (0xFFFFFFFF:
//                                    its own), bool 32-bit (0), u32 buffer
//                                    index count, u16 index[count]
//
// 1.30 readers take the levels for OGRE's distance strategy around the
// bounding sphere, whose value is the squared distance; "Distance" is the
// name OGRE 1.8 gave that strategy (OGRE 1.12 reads it as the one around the
// bounding box), "distance_sphere" OGRE 1.10's.
namespace {
constexpr uint16_t kFileHeader = 0x1000;

constexpr uint16_t kMeshChunk = 0x3000;
constexpr uint16_t kSubMeshChunk = 0x4000;
constexpr uint16_t kOperationChunk = 0x4010;
constexpr uint16_t kGeometryChunk = 0x5000;
constexpr uint16_t kDeclarationChunk = 0x5100;
constexpr uint16_t kElementChunk = 0x5110;
constexpr uint16_t kBufferChunk = 0x5200;
constexpr uint16_t kVertexDataChunk = 0x5210;
constexpr uint16_t kLodChunk = 0x8000;
constexpr uint16_t kLodUsageChunk = 0x8100;
constexpr uint16_t kLodGeneratedChunk = 0x8120;
constexpr uint16_t kBoundsChunk = 0x9000;
constexpr uint16_t kSubMeshNameTableChunk = 0xA000;

constexpr uint16_t kTriangleList = 4;

// One row per format: the columns of the tables above.
struct TFormatLayout {
  std::string_view Version;
  bool Operations;
  bool NameTable;
  // Levels of detail: the strategy's name (none in 1.30); whether a level's
  // value is its squared distance; whether each level has a usage chunk with
  // a generated chunk per sub-mesh (and the level chunk its manual flag)
  // rather than one generated chunk.
  std::string_view LodStrategy;
  bool LodSquaredDistance;
  bool LodUsageChunks;
};

TFormatLayout Layout(TMeshFormat format) {
  switch (format) {
    case TMeshFormat::V1_8: return {"[MeshSerializer_v1.8]", true, true, "Distance", false, true};
    case TMeshFormat::V1_100: return {"[MeshSerializer_v1.100]", true, true, "distance_sphere", false, false};
    case TMeshFormat::V1_30: break;
  }
  return {"[MeshSerializer_v1.30]", false, false, "", true, true};
}

// Vertex element types and meanings of the declaration.
constexpr uint16_t kTypeFloat2 = 1;
constexpr uint16_t kTypeFloat3 = 2;
constexpr uint16_t kSemanticPosition = 1;
constexpr uint16_t kSemanticNormal = 4;
constexpr uint16_t kSemanticTexCoords = 7;

constexpr std::size_t kFloatBytes = 4;
constexpr std::size_t kIndexBytes = 2;
constexpr std::size_t kFaceBytes = 3 * kIndexBytes;  // three 16-bit indices
constexpr uint32_t kOwnIndexBuffer = 0xFFFFFFFF;      // 1.100: a level's list in a buffer of its own
constexpr int64_t kIndexLimit = 65536;     // indices are 16-bit, there is no 32-bit form

constexpr std::size_t kStreamBufferSize = 64 * 1024;
constexpr std::size_t kPackBufferSize = 16 * 1024;
// Sub-meshes packed on other threads go to the stream in blocks of about this size.
constexpr uint64_t kPieceBytes = 1024 * 1024;

std::string Decimal(uint64_t value) { return std::to_string(value); }

std::string Hex(uint16_t value) {
  char digits[8];
  const auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
  return "0x" + std::string(digits, end);
}

// Counts and sizes that do not fit their field. Unreachable for any mesh the
// 16-bit indices allow, except through absurd numbers of texture units or
// sub-meshes; refused rather than written truncated.
template <typename T, typename U>
T Narrow(U value) {
  if (static_cast<uint64_t>(value) > std::numeric_limits<T>::max())
    RaiseError("Mesh too large for the binary mesh file.");
  return static_cast<T>(value);
}

// A negative index (a broken model) cannot be written either; it is refused
// the same way rather than wrapped into some other vertex.
uint16_t IndexValue(int32_t index) {
  if (index < 0 || index >= kIndexLimit) RaiseError("Submeshes containing > 65536 vertices not supported.");
  return static_cast<uint16_t>(index);
}

uint16_t IndexValue(uint32_t index) {
  if (index >= kIndexLimit) RaiseError("Submeshes containing > 65536 vertices not supported.");
  return static_cast<uint16_t>(index);
}

struct TVertexElement {
  uint16_t Type;
  uint16_t Semantic;
  uint16_t Offset;
  uint16_t Index;
};

// The values of one vertex in the order they lie in it. The declaration chunk
// announces these elements and the vertex data packs them, so both follow the
// same list; the size comes from the element types alone, and the writer's
// record check catches a vertex that packs something else.
class TVertexFormat {
public:
  TVertexFormat(bool normals, int sets) {
    Add(kTypeFloat3, kSemanticPosition, 0);
    if (normals) Add(kTypeFloat3, kSemanticNormal, 0);
    for (int k = 0; k < sets; ++k) Add(kTypeFloat2, kSemanticTexCoords, k);
  }
  const std::vector<TVertexElement>& Elements() const { return FElements; }
  std::size_t Size() const { return FSize; }

private:
  void Add(uint16_t type, uint16_t semantic, int index) {
    FElements.push_back({type, semantic, Narrow<uint16_t>(FSize), Narrow<uint16_t>(index)});
    FSize += (type == kTypeFloat3 ? 3u : 2u) * kFloatBytes;
  }

  std::vector<TVertexElement> FElements;
  std::size_t FSize = 0;
};

// Adds up the bytes a description produces without producing them.
class TByteCounter {
public:
  void U8(uint8_t) { FCount += 1; }
  void U16(uint16_t) { FCount += 2; }
  void U32(uint32_t) { FCount += 4; }
  void F32(float) { FCount += 4; }
  void Text(std::string_view text) { FCount += text.size() + 1; }

  template <typename Body>
  void Chunk(uint16_t id, Body&& body) {
    U16(id);
    U32(0);
    body(*this);
  }
  template <typename Items, typename Record>
  void Run(const Items& items, std::size_t recordSize, Record&&) {
    FCount += static_cast<uint64_t>(items.size()) * recordSize;
  }
  template <typename Items, typename Put>
  void Pieces(const Items& items, Put&& put) {
    for (const auto& item : items) put(*this, item);
  }

  uint64_t Count() const { return FCount; }

private:
  uint64_t FCount = 0;
};

// Packs one record into the room claimed for it, with the writer's check of
// its size kept: what would run past the room is counted but not stored.
class TRecordWriter {
public:
  TRecordWriter(unsigned char* at, std::size_t size) : FAt(at), FSize(size) {}

  void U8(uint8_t value) {
    if (unsigned char* const at = Claim(1)) *at = value;
  }
  void U16(uint16_t value) {
    if (unsigned char* const at = Claim(2)) {
      at[0] = static_cast<unsigned char>(value);
      at[1] = static_cast<unsigned char>(value >> 8);
    }
  }
  void U32(uint32_t value) {
    if (unsigned char* const at = Claim(4)) {
      at[0] = static_cast<unsigned char>(value);
      at[1] = static_cast<unsigned char>(value >> 8);
      at[2] = static_cast<unsigned char>(value >> 16);
      at[3] = static_cast<unsigned char>(value >> 24);
    }
  }
  void F32(float value) { U32(std::bit_cast<uint32_t>(value)); }

  std::size_t Written() const { return FUsed; }

private:
  unsigned char* Claim(std::size_t count) {
    unsigned char* const at = FUsed + count <= FSize ? FAt + FUsed : nullptr;
    FUsed += count;
    return at;
  }

  unsigned char* const FAt;
  const std::size_t FSize;
  std::size_t FUsed = 0;
};

// A block of the file packed apart (see TByteWriter::Pieces).
class TBlockStream : public TStream {
public:
  void Reserve(uint64_t size) { FBytes.reserve(static_cast<std::size_t>(size)); }
  std::size_t Write(const void* buffer, std::size_t count) override {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    FBytes.insert(FBytes.end(), bytes, bytes + count);
    return count;
  }
  int64_t Seek(int64_t, TSeekOrigin) override { return static_cast<int64_t>(FBytes.size()); }
  const std::vector<unsigned char>& Bytes() const { return FBytes; }

private:
  std::vector<unsigned char> FBytes;
};

// Packs the values little-endian into a local buffer and hands the stream
// whole blocks, so the stream's virtual Write runs once per block and not
// once per value.
class TByteWriter {
public:
  explicit TByteWriter(TStream& stream) : FStream(stream), FBuffer(kPackBufferSize) {}

  void U8(uint8_t value) { *Claim(1) = value; }
  void U16(uint16_t value) {
    unsigned char* const at = Claim(2);
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
  }
  void U32(uint32_t value) {
    unsigned char* const at = Claim(4);
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
    at[2] = static_cast<unsigned char>(value >> 16);
    at[3] = static_cast<unsigned char>(value >> 24);
  }
  // The float's own bits, whatever the host's byte order.
  void F32(float value) { U32(std::bit_cast<uint32_t>(value)); }
  // The string's bytes as they are, then a line feed; no length, no zero byte.
  void Text(std::string_view text) {
    while (!text.empty()) {
      if (FUsed == FBuffer.size()) Flush();
      const std::size_t part = std::min(text.size(), FBuffer.size() - FUsed);
      std::memcpy(Claim(part), text.data(), part);
      text.remove_prefix(part);
    }
    U8(0x0A);
  }

  template <typename Body>
  void Chunk(uint16_t id, Body&& body) {
    TByteCounter counter;
    counter.Chunk(id, body);
    const uint64_t length = counter.Count();
    const uint64_t start = Position();
    U16(id);
    U32(Narrow<uint32_t>(length));
    body(*this);
    const uint64_t written = Position() - start;
    if (written != length)
      RaiseError("Internal error: mesh chunk %s announced %d bytes but holds %d.",
                 {Hex(id), Decimal(length), Decimal(written)});
  }
  // Each record goes straight into room claimed for its announced size: the
  // millions of vertices of a level need no check of the buffer per value.
  template <typename Items, typename Record>
  void Run(const Items& items, std::size_t recordSize, Record&& record) {
    for (const auto& item : items) {
      uint64_t written = 0;
      if (recordSize <= FBuffer.size()) {
        TRecordWriter room(Claim(recordSize), recordSize);
        record(room, item);
        written = room.Written();
      } else {
        const uint64_t start = Position();
        record(*this, item);
        written = Position() - start;
      }
      if (written != recordSize)
        RaiseError("Internal error: mesh record announced %d bytes but holds %d.",
                   {Decimal(recordSize), Decimal(written)});
    }
  }

  // Pieces that need nothing from each other (the sub-meshes), each put by
  // `put`: on several threads they are packed in groups of about
  // kPieceBytes, each group into a block of its own, and this thread hands
  // the blocks to the stream in their order as they are done. The bytes are
  // a loop's, and of the sub-meshes that cannot be packed the first raises.
  template <typename Items, typename Put>
  void Pieces(const Items& items, Put&& put) {
    if (WorkerCount() < 2 || items.size() < 2) {
      for (const auto& item : items) put(*this, item);
      return;
    }
    std::vector<std::size_t> firsts{0};  // group g: items firsts[g] up to firsts[g + 1]
    std::vector<uint64_t> sizes;
    uint64_t size = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
      TByteCounter counter;
      put(counter, items[i]);
      size += counter.Count();
      if (size >= kPieceBytes || i + 1 == items.size()) {
        firsts.push_back(i + 1);
        sizes.push_back(size);
        size = 0;
      }
    }
    const std::size_t groups = sizes.size();
    std::vector<TBlockStream> blocks(groups);
    const auto done = std::make_unique<std::atomic<bool>[]>(groups);
    std::size_t next = 0;  // the first group not yet handed to the stream
    const auto handOver = [&] {
      for (; next < groups && done[next].load(std::memory_order_acquire); ++next) {
        Flush();
        const std::vector<unsigned char>& bytes = blocks[next].Bytes();
        FStream.Write(bytes.data(), bytes.size());
        FFlushed += bytes.size();
        blocks[next] = TBlockStream();
      }
    };
    const std::thread::id caller = std::this_thread::get_id();
    ForEachInParallel(groups, [&](std::size_t g) {
      blocks[g].Reserve(sizes[g]);
      TByteWriter writer(blocks[g]);
      for (std::size_t i = firsts[g]; i < firsts[g + 1]; ++i) put(writer, items[i]);
      writer.Flush();
      done[g].store(true, std::memory_order_release);
      if (std::this_thread::get_id() == caller) handOver();
    });
    handOver();
  }

  void Flush() {
    if (FUsed > 0) FStream.Write(FBuffer.data(), FUsed);
    FFlushed += FUsed;
    FUsed = 0;
  }

private:
  uint64_t Position() const { return FFlushed + FUsed; }
  // Room for `count` bytes at the end of the buffer, counted as used. The
  // callers store through the returned pointer byte by byte, lowest first;
  // written out like that the compiler merges the stores into one on
  // little-endian hosts.
  unsigned char* Claim(std::size_t count) {
    if (FBuffer.size() - FUsed < count) Flush();
    unsigned char* const at = FBuffer.data() + FUsed;
    FUsed += count;
    return at;
  }

  TStream& FStream;
  std::vector<unsigned char> FBuffer;
  std::size_t FUsed = 0;
  uint64_t FFlushed = 0;
};

template <typename Out>
void PutVertexElement(Out& out, const TVertexElement& element) {
  out.Chunk(kElementChunk, [&](auto& body) {
    body.U16(0);  // source: the sub-mesh's only vertex buffer
    body.U16(element.Type);
    body.U16(element.Semantic);
    body.U16(element.Offset);
    body.U16(element.Index);
  });
}

template <typename Out>
void PutVertexDeclaration(Out& out, const TVertexFormat& format) {
  out.Chunk(kDeclarationChunk, [&](auto& body) {
    for (const TVertexElement& element : format.Elements()) PutVertexElement(body, element);
  });
}

template <typename Out>
void PutVertex(Out& out, const QZOgreVertexT& vertex, const TVertexFormat& format) {
  for (const TVertexElement& element : format.Elements()) {
    switch (element.Semantic) {
      case kSemanticPosition:
        out.F32(vertex.X);
        out.F32(vertex.Y);
        out.F32(vertex.Z);
        break;
      case kSemanticNormal:
        out.F32(vertex.Normal.X);
        out.F32(vertex.Normal.Y);
        out.F32(vertex.Normal.Z);
        break;
      default: {
        // Raises the list's index error for a vertex with fewer sets than its material has units.
        const QZOgreTextureCoordinatesT& coordinates = vertex.GetTextureCoordinates(element.Index);
        out.F32(coordinates.U);
        out.F32(coordinates.V);
        break;
      }
    }
  }
}

template <typename Out>
void PutVertexData(Out& out, const QZOgreSubMeshT& subMesh, const TVertexFormat& format) {
  out.Chunk(kVertexDataChunk, [&](auto& body) {
    body.Run(subMesh.Vertices, format.Size(),
             [&](auto& record, const QZOgreVertexT& vertex) { PutVertex(record, vertex, format); });
  });
}

template <typename Out>
void PutVertexBuffer(Out& out, const QZOgreSubMeshT& subMesh, const TVertexFormat& format) {
  out.Chunk(kBufferChunk, [&](auto& body) {
    body.U16(0);  // bind index of the only buffer
    body.U16(Narrow<uint16_t>(format.Size()));
    PutVertexData(body, subMesh, format);
  });
}

template <typename Out>
void PutGeometry(Out& out, const QZOgreSubMeshT& subMesh, const TVertexFormat& format) {
  out.Chunk(kGeometryChunk, [&](auto& body) {
    body.U32(Narrow<uint32_t>(subMesh.Vertices.size()));
    PutVertexDeclaration(body, format);
    PutVertexBuffer(body, subMesh, format);
  });
}

template <typename Out>
void PutSubMesh(Out& out, const QZOgreSubMeshT& subMesh, bool exportNormals, bool exportLightmaps,
                const TFormatLayout& layout) {
  const TVertexFormat format(exportNormals, subMesh.ExportedSetCount(exportLightmaps));
  // A sub-mesh without material (not built by the exporter) has no units and an empty name.
  const std::string_view material = subMesh.Material ? std::string_view(subMesh.Material->Name) : std::string_view();
  out.Chunk(kSubMeshChunk, [&](auto& body) {
    body.Text(material);
    body.U8(0);  // no shared vertices: every sub-mesh has its own geometry
    body.U32(Narrow<uint32_t>(subMesh.Faces.size() * 3));
    body.U8(0);  // 16-bit indices
    // Every index is checked just before it is packed.
    body.Run(subMesh.Faces, kFaceBytes, [](auto& record, const QZOgreFaceInfoT& face) {
      for (const int32_t index : face.Indices) record.U16(IndexValue(index));
    });
    PutGeometry(body, subMesh, format);
    if (layout.Operations) body.Chunk(kOperationChunk, [](auto& operation) { operation.U16(kTriangleList); });
  });
}

template <typename Out>
void PutBounds(Out& out, const TMeshBounds& bounds) {
  out.Chunk(kBoundsChunk, [&](auto& body) {
    for (const float value : {bounds.MinX, bounds.MinY, bounds.MinZ, bounds.MaxX, bounds.MaxY, bounds.MaxZ})
      body.F32(value);
    body.F32(bounds.Radius);
  });
}

// One level's index list of one sub-mesh; every index is checked just
// before it is packed.
template <typename Out>
void PutLodIndices(Out& out, const std::vector<uint32_t>& indices) {
  out.Run(indices, kIndexBytes, [](auto& record, uint32_t index) { record.U16(IndexValue(index)); });
}

// 1.30 and 1.8: a usage chunk per level, holding a generated chunk per sub-mesh.
template <typename Out>
void PutLodUsage(Out& out, const TDetailLevel& level, const TFormatLayout& layout) {
  out.Chunk(kLodUsageChunk, [&](auto& body) {
    body.F32(layout.LodSquaredDistance ? level.Distance * level.Distance : level.Distance);
    for (const std::vector<uint32_t>& indices : level.Indices)
      body.Chunk(kLodGeneratedChunk, [&](auto& generated) {
        generated.U32(Narrow<uint32_t>(indices.size()));
        generated.U8(0);  // 16-bit indices
        PutLodIndices(generated, indices);
      });
  });
}

// 1.100: one generated chunk per level, a record per sub-mesh in it.
template <typename Out>
void PutLodGenerated(Out& out, const TDetailLevel& level) {
  out.Chunk(kLodGeneratedChunk, [&](auto& body) {
    body.F32(level.Distance);
    for (const std::vector<uint32_t>& indices : level.Indices) {
      const uint32_t count = Narrow<uint32_t>(indices.size());
      body.U32(count);
      body.U32(0);  // the list starts at its buffer's first index
      body.U32(kOwnIndexBuffer);
      body.U8(0);  // 16-bit indices
      body.U32(count);
      PutLodIndices(body, indices);
    }
  });
}

template <typename Out>
void PutLevelsOfDetail(Out& out, const std::vector<TDetailLevel>& levels, const TFormatLayout& layout) {
  out.Chunk(kLodChunk, [&](auto& body) {
    if (!layout.LodStrategy.empty()) body.Text(layout.LodStrategy);
    body.U16(Narrow<uint16_t>(levels.size() + 1));  // the full mesh is level 0
    if (layout.LodUsageChunks) body.U8(0);          // generated levels, not other meshes
    for (const TDetailLevel& level : levels) {
      if (layout.LodUsageChunks)
        PutLodUsage(body, level, layout);
      else
        PutLodGenerated(body, level);
    }
  });
}

template <typename Out>
void PutMesh(Out& out, const TSubMeshView& subMeshes, const TMeshBounds& bounds,
             bool exportNormals, bool exportLightmaps, const TFormatLayout& layout,
             const std::vector<TDetailLevel>& levels) {
  out.Chunk(kMeshChunk, [&](auto& body) {
    body.U8(0);  // not skeletally animated
    body.Pieces(subMeshes, [&](auto& piece, const QZOgreSubMeshT* subMesh) {
      PutSubMesh(piece, *subMesh, exportNormals, exportLightmaps, layout);
    });
    if (!levels.empty()) PutLevelsOfDetail(body, levels, layout);
    PutBounds(body, bounds);
    if (layout.NameTable) body.Chunk(kSubMeshNameTableChunk, [](auto&) {});
  });
}

// A level holds one list per sub-mesh, which OGRE reads by the sub-meshes'
// number; any other count would shift every list after it.
void CheckLevels(const std::vector<TDetailLevel>& levels, std::size_t subMeshes) {
  for (const TDetailLevel& level : levels)
    if (level.Indices.size() != subMeshes)
      RaiseError("Internal error: a level of detail has %d index lists for %d sub-meshes.",
                 {Decimal(level.Indices.size()), Decimal(subMeshes)});
}
}  // namespace

void WriteBinaryMesh(const std::string& fileName, const std::vector<std::unique_ptr<QZOgreSubMeshT>>& subMeshes,
                     const TMeshBounds& bounds, bool exportNormals, bool exportLightmaps,
                     TFileTransaction* transaction, TMeshFormat format, const std::vector<TDetailLevel>& levels) {
  WriteBinaryMesh(fileName, ViewOf(subMeshes), bounds, exportNormals, exportLightmaps, transaction, format, levels);
}

void WriteBinaryMesh(const std::string& fileName, const TSubMeshView& subMeshes, const TMeshBounds& bounds,
                     bool exportNormals, bool exportLightmaps, TFileTransaction* transaction, TMeshFormat format,
                     const std::vector<TDetailLevel>& levels) {
  const TFormatLayout layout = Layout(format);
  CheckLevels(levels, subMeshes.size());
  TBufferedFileStream stream(fileName, kStreamBufferSize, transaction);
  TByteWriter out(stream);
  out.U16(kFileHeader);  // the header has no length field
  out.Text(layout.Version);
  PutMesh(out, subMeshes, bounds, exportNormals, exportLightmaps, layout, levels);
  out.Flush();
  // Only a complete file replaces the target; an error above leaves the
  // stream to remove its temporary file.
  stream.Close();
}
