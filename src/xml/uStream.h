#pragma once
// The byte output stream that the XML writer writes through.

#include <cstddef>
#include <cstdint>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
  virtual ~TStream() = default;
  // Writes all count bytes (or raises) and returns count.
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
};
