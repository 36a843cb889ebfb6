#pragma once
// A list of trivially copyable items that holds its first N items inside
// itself and moves to the heap only beyond them. A scene of a million
// polygons holds several small lists per polygon (corners, UV coordinates,
// normals) and per exported vertex (texture coordinates), nearly all of one
// to four items: kept inline they cost no allocation and sit beside their
// owner in memory.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

template <typename T, uint32_t N>
class TInlineList {
  static_assert(std::is_trivially_copyable_v<T>);

public:
  using value_type = T;

  TInlineList() = default;
  TInlineList(const TInlineList& other) { CopyFrom(other); }
  TInlineList& operator=(const TInlineList& other) {
    if (this != &other) {
      FCount = 0;
      CopyFrom(other);
    }
    return *this;
  }
  TInlineList(TInlineList&& other) noexcept { TakeFrom(other); }
  TInlineList& operator=(TInlineList&& other) noexcept {
    if (this != &other) {
      FHeap.reset();
      TakeFrom(other);
    }
    return *this;
  }

  uint32_t size() const { return FCount; }
  bool empty() const { return FCount == 0; }
  T* begin() { return Data(); }
  T* end() { return Data() + FCount; }
  const T* begin() const { return Data(); }
  const T* end() const { return Data() + FCount; }
  T& operator[](std::size_t index) { return Data()[index]; }
  const T& operator[](std::size_t index) const { return Data()[index]; }

  void reserve(uint32_t capacity) {
    if (capacity <= FCapacity) return;
    auto heap = std::make_unique_for_overwrite<T[]>(capacity);
    if (FCount > 0) std::memcpy(heap.get(), Data(), FCount * sizeof(T));
    FHeap = std::move(heap);
    FCapacity = capacity;
  }
  void push_back(const T& item) {
    if (FCount == FCapacity) reserve(FCapacity * 2);
    Data()[FCount++] = item;
  }
  void clear() { FCount = 0; }
  // New items are value-initialised (zero for numbers and pointers).
  void resize(uint32_t count) {
    reserve(count);
    for (uint32_t i = FCount; i < count; ++i) Data()[i] = T{};
    FCount = count;
  }

private:
  T* Data() { return FHeap ? FHeap.get() : FInline; }
  const T* Data() const { return FHeap ? FHeap.get() : FInline; }
  // Into an empty list; its room is kept when large enough.
  void CopyFrom(const TInlineList& other) {
    reserve(other.FCount);
    if (other.FCount > 0) std::memcpy(Data(), other.Data(), other.FCount * sizeof(T));
    FCount = other.FCount;
  }
  void TakeFrom(TInlineList& other) {
    FCount = other.FCount;
    FCapacity = other.FCapacity;
    if (other.FHeap)
      FHeap = std::move(other.FHeap);
    else if (FCount > 0)
      std::memcpy(FInline, other.FInline, FCount * sizeof(T));
    other.FCount = 0;
    other.FCapacity = N;
  }

  std::unique_ptr<T[]> FHeap;
  uint32_t FCount = 0;
  uint32_t FCapacity = N;
  T FInline[N]{};
};
