#include "xml/uBufferedStringStream.h"

#include <cstring>

#include "base/uException.h"

TBufferedStringStream::TBufferedStringStream(std::size_t initialCapacity) : FBuffer(initialCapacity, '\0') {}

std::size_t TBufferedStringStream::Write(const void* buffer, std::size_t count) {
  const std::size_t newTotal = FTotal + count;
  if (FBuffer.size() < newTotal) {
    std::size_t capacity = FBuffer.size() > 0 ? FBuffer.size() : 1;
    while (capacity < newTotal) capacity *= 2;
    FBuffer.resize(capacity);
  }
  if (count > 0) std::memcpy(FBuffer.data() + FTotal, buffer, count);
  FTotal = newTotal;
  return count;
}

int64_t TBufferedStringStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (offset != 0 || origin != TSeekOrigin::soCurrent)
    RaiseError("Seek not supported on buffered string stream.");
  return static_cast<int64_t>(FTotal);
}
