#include "platform/uReleasableBuffer.h"

#include <new>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {
std::size_t RoundUp(std::size_t value, std::size_t unit) { return (value + unit - 1) / unit * unit; }

#if defined(_WIN32)
// Pieces of a megabyte: few enough calls for a gigabyte, fine enough that
// little more than a megabyte behind the reader stays in use.
constexpr std::size_t kPieceSize = 1024 * 1024;
constexpr int kAttempts = 8;

std::size_t PieceSize() { return kPieceSize; }

void ReleasePieces(char* from, std::size_t length) {
  for (std::size_t done = 0; done < length; done += kPieceSize) VirtualFree(from + done, 0, MEM_RELEASE);
}

// Finds a free range of `length` bytes and reserves it again as consecutive
// pieces. Another thread may take part of the range between the two steps:
// then what was made is released and the search starts again.
char* ReservePieces(std::size_t length) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    void* range = VirtualAlloc(nullptr, length, MEM_RESERVE, PAGE_NOACCESS);
    if (range == nullptr) return nullptr;
    VirtualFree(range, 0, MEM_RELEASE);
    char* const base = static_cast<char*>(range);
    std::size_t made = 0;
    while (made < length &&
           VirtualAlloc(base + made, kPieceSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE) == base + made)
      made += kPieceSize;
    if (made == length) return base;
    ReleasePieces(base, made);
  }
  return nullptr;
}
#else
// A page: the unit a mapping is unmapped in.
std::size_t PieceSize() {
  static const auto size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return size;
}
#endif
}  // namespace

TReleasableBuffer::TReleasableBuffer(std::size_t size) : FSize(size) {
  // One byte at least, so that even an empty text has a place in memory.
  FReserved = RoundUp(size > 0 ? size : 1, PieceSize());
#if defined(_WIN32)
  FData = ReservePieces(FReserved);
  FInPieces = FData != nullptr;
  if (!FInPieces) {
    FData = static_cast<char*>(VirtualAlloc(nullptr, FReserved, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (FData == nullptr) throw std::bad_alloc();
  }
#else
  void* block = mmap(nullptr, FReserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) throw std::bad_alloc();
  FData = static_cast<char*>(block);
  FInPieces = true;
#endif
}

TReleasableBuffer::~TReleasableBuffer() { Free(); }

TReleasableBuffer::TReleasableBuffer(TReleasableBuffer&& other) noexcept
    : FData(std::exchange(other.FData, nullptr)),
      FSize(std::exchange(other.FSize, 0)),
      FReserved(std::exchange(other.FReserved, 0)),
      FReleased(std::exchange(other.FReleased, 0)),
      FInPieces(other.FInPieces) {}

TReleasableBuffer& TReleasableBuffer::operator=(TReleasableBuffer&& other) noexcept {
  if (this != &other) {
    Free();
    FData = std::exchange(other.FData, nullptr);
    FSize = std::exchange(other.FSize, 0);
    FReserved = std::exchange(other.FReserved, 0);
    FReleased = std::exchange(other.FReleased, 0);
    FInPieces = other.FInPieces;
  }
  return *this;
}

void TReleasableBuffer::ReleaseBefore(const char* to) {
  if (FData == nullptr || to <= FData) return;
  const auto reached = static_cast<std::size_t>(to - FData);
  const std::size_t until = (reached < FReserved ? reached : FReserved) / PieceSize() * PieceSize();
  if (until <= FReleased) return;
#if defined(_WIN32)
  if (FInPieces) {
    ReleasePieces(FData + FReleased, until - FReleased);
  } else {
    // Pages of one allocation can only be decommitted: the memory goes back,
    // the addresses stay taken until the whole block is freed.
    VirtualFree(FData + FReleased, until - FReleased, MEM_DECOMMIT);
  }
#else
  munmap(FData + FReleased, until - FReleased);
#endif
  FReleased = until;
}

void TReleasableBuffer::Free() {
  if (FData == nullptr) return;
#if defined(_WIN32)
  if (FInPieces)
    ReleasePieces(FData + FReleased, FReserved - FReleased);
  else
    VirtualFree(FData, 0, MEM_RELEASE);
#else
  if (FReserved > FReleased) munmap(FData + FReleased, FReserved - FReleased);
#endif
  FData = nullptr;
  FSize = FReserved = FReleased = 0;
}
