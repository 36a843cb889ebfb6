#pragma once
// The storage of one parsed document: every node, attribute and text of the
// tree lives in a few large blocks instead of millions of small allocations,
// and element and attribute names are stored once each, lower-cased, and
// referred to by number.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

class TXMLNode;

class TXMLArena {
public:
  static constexpr uint32_t kNoName = UINT32_MAX;

  TXMLArena() = default;
  TXMLArena(const TXMLArena&) = delete;
  TXMLArena& operator=(const TXMLArena&) = delete;

  // alignment: a power of two.
  void* Allocate(std::size_t size, std::size_t alignment) {
    const std::size_t padding = (0 - reinterpret_cast<std::uintptr_t>(FCursor)) & (alignment - 1);
    if (FCursor && static_cast<std::size_t>(FEnd - FCursor) >= padding + size) {
      char* start = FCursor + padding;
      FCursor = start + size;
      return start;
    }
    return AllocateInNewBlock(size, alignment);
  }
  template <typename T>
  T* AllocateArray(std::size_t count) {
    return static_cast<T*>(Allocate(count * sizeof(T), alignof(T)));
  }
  // A copy of the text, or of the text with its entity references decoded.
  std::string_view StoreText(std::string_view text);
  std::string_view StoreDecoded(std::string_view text);

  // The number of the name, lower-cased; added when new.
  uint32_t InternName(std::string_view name);
  // The number of the name compared without regard to case, or kNoName.
  uint32_t FindName(std::string_view name) const;
  std::string_view NameOf(uint32_t id) const { return FNames[id]; }

  // The node that owns this arena; nodes of the arena that are not it live
  // inside the arena's blocks and are never freed one by one.
  TXMLNode* Owner = nullptr;
  // Set once a node from elsewhere was added as a child to a node of this
  // arena: only then must freeing the tree look for nodes to free.
  bool HasForeignNodes = false;

  // Bytes taken from the system for the blocks and the name table.
  std::size_t AllocatedBytes() const;

  // A point in the arena's filling. Rewinding to it gives everything stored
  // since back for reuse: a reader that consumes a huge document element by
  // element stores each one in the same few blocks, which stay in the cache,
  // instead of growing the tree by the whole document. Names are kept.
  struct TMark {
    std::size_t Block;  // index of the block holding Cursor; unused when Cursor is null
    char* Cursor;
    std::size_t LargeBlocks;
  };
  TMark Mark() const { return {FCurrent, FCursor, FLargeBlocks.size()}; }
  // Whatever was stored after the mark must not be used again.
  void Rewind(const TMark& mark);

private:
  void* AllocateInNewBlock(std::size_t size, std::size_t alignment);
  char* AllocateChars(std::size_t count) { return static_cast<char*>(Allocate(count, 1)); }
  uint32_t AddName(std::string_view name);
  uint32_t Probe(std::string_view name, uint64_t hash) const;
  void GrowNameTable();

  // The blocks in the order they are filled; after a rewind the blocks behind
  // the current one are filled again before any new block is taken.
  std::vector<std::unique_ptr<char[]>> FBlocks;
  std::vector<std::size_t> FBlockSizes;
  std::size_t FCurrent = 0;  // the block FCursor points into
  // Blocks of one large request each, with their sizes.
  std::vector<std::unique_ptr<char[]>> FLargeBlocks;
  std::vector<std::size_t> FLargeSizes;
  std::size_t FBlockBytes = 0;
  std::size_t FNextBlockSize = 64 * 1024;
  char* FCursor = nullptr;
  char* FEnd = nullptr;

  // Lower-cased; their chars apart from the blocks, which may be released.
  std::vector<std::string_view> FNames;
  std::vector<std::unique_ptr<char[]>> FNameChars;
  std::vector<uint32_t> FSlots;          // open addressing: name number + 1, 0 = empty

  // The names of a document repeat endlessly (vertex, vid, u0, v0...), and
  // so do the names that readers look up: a small cache of names as written
  // saves hashing them again and again. Filled by lookups too.
  struct TRecentName {
    char Text[15];
    uint8_t Length = 0;  // 0: empty slot
    uint32_t Id = 0;
  };
  static constexpr std::size_t kRecentNames = 64;
  mutable TRecentName FRecent[kRecentNames];
  // The cache slot for the name, or nullptr for names it cannot hold.
  TRecentName* RecentSlot(std::string_view name) const;
};
