#pragma once
// SHA-256 of a file's bytes, in lower-case hexadecimal: what the batch's
// cache compares to tell whether a scene, a texture or a written file is
// still what it was. Contents, not times: a file saved again unchanged is
// unchanged, and one restored from a backup with an old time is not.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TSha256 {
public:
  TSha256();
  void Update(const void* data, std::size_t size);
  void Update(std::string_view text) { Update(text.data(), text.size()); }
  // The digest in hexadecimal; the hash is then spent.
  std::string HexDigest();

private:
  void Compress(const unsigned char* block);

  std::array<std::uint32_t, 8> FState;
  std::array<unsigned char, 64> FBlock{};
  std::size_t FFilled = 0;
  std::uint64_t FLength = 0;
};

std::string Sha256Hex(std::string_view text);

// The hash of the file's bytes; false when it cannot be opened or read (a
// missing file among them).
bool FileSha256(const std::string& path, std::string& hex);
