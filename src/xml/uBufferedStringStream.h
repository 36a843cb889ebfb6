#pragma once
// A write-only in-memory stream whose buffer grows by doubling, so that a
// document built from many small writes costs few reallocations.

#include <string>

#include "xml/uStream.h"

class TBufferedStringStream : public TStream {
public:
  explicit TBufferedStringStream(std::size_t initialCapacity);

  std::size_t Write(const void* buffer, std::size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Everything written so far.
  std::string GetText() const { return FBuffer.substr(0, FTotal); }

private:
  std::string FBuffer;  // its size is the capacity; the first FTotal bytes are content
  std::size_t FTotal = 0;
};
