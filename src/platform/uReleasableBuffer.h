#pragma once
// A zero-filled block of memory for one large text that is read once from
// front to back, whose part already read can be given back to the system,
// address space included, while the rest is still being read.
//
// A 32-bit editor keeps its own copy of a scene of hundreds of megabytes
// beside the copy it writes into ours; with ours given back as it is parsed,
// the room it took is free for the scene model well before the parse ends,
// instead of only after it. On Windows the block is made of pieces reserved
// one after another at consecutive addresses, each of which can be released
// on its own; elsewhere it is an anonymous mapping whose leading pages are
// unmapped.

#include <cstddef>

class TReleasableBuffer {
public:
  TReleasableBuffer() = default;
  // Raises std::bad_alloc when no block of `size` bytes is left.
  explicit TReleasableBuffer(std::size_t size);
  ~TReleasableBuffer();
  // A buffer moved from holds nothing, as one made empty.
  TReleasableBuffer(TReleasableBuffer&& other) noexcept;
  TReleasableBuffer& operator=(TReleasableBuffer&& other) noexcept;
  TReleasableBuffer(const TReleasableBuffer&) = delete;
  TReleasableBuffer& operator=(const TReleasableBuffer&) = delete;

  char* Data() { return FData; }
  const char* Data() const { return FData; }
  std::size_t Size() const { return FSize; }

  // Gives back every piece that lies wholly before `to`, a place in the
  // block; nothing of those may be read afterwards. Where the block had to
  // be made in one piece, only its memory goes back, not its addresses.
  void ReleaseBefore(const char* to);

private:
  void Free();

  char* FData = nullptr;
  std::size_t FSize = 0;
  // Length of the reservation from FData (whole pieces), of which the first
  // FReleased bytes are given back already.
  std::size_t FReserved = 0;
  std::size_t FReleased = 0;
  // Only Windows may have had to make the block in one piece.
  bool FInPieces = false;
};
