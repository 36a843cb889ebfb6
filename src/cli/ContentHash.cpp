#include "cli/ContentHash.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
constexpr std::uint32_t kRounds[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t RotateRight(std::uint32_t value, int count) { return (value >> count) | (value << (32 - count)); }
}  // namespace

TSha256::TSha256()
    : FState{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void TSha256::Compress(const unsigned char* block) {
  std::uint32_t w[64];
  for (int i = 0; i < 16; ++i)
    w[i] = static_cast<std::uint32_t>(block[4 * i]) << 24 | static_cast<std::uint32_t>(block[4 * i + 1]) << 16 |
           static_cast<std::uint32_t>(block[4 * i + 2]) << 8 | block[4 * i + 3];
  for (int i = 16; i < 64; ++i) {
    const std::uint32_t s0 = RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const std::uint32_t s1 = RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  std::uint32_t a = FState[0], b = FState[1], c = FState[2], d = FState[3];
  std::uint32_t e = FState[4], f = FState[5], g = FState[6], h = FState[7];
  for (int i = 0; i < 64; ++i) {
    const std::uint32_t s1 = RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
    const std::uint32_t choice = (e & f) ^ (~e & g);
    const std::uint32_t t1 = h + s1 + choice + kRounds[i] + w[i];
    const std::uint32_t s0 = RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22);
    const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
    const std::uint32_t t2 = s0 + majority;
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  FState[0] += a;
  FState[1] += b;
  FState[2] += c;
  FState[3] += d;
  FState[4] += e;
  FState[5] += f;
  FState[6] += g;
  FState[7] += h;
}

void TSha256::Update(const void* data, std::size_t size) {
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  FLength += size;
  if (FFilled > 0) {
    const std::size_t taken = std::min(size, FBlock.size() - FFilled);
    std::memcpy(FBlock.data() + FFilled, bytes, taken);
    FFilled += taken;
    bytes += taken;
    size -= taken;
    if (FFilled < FBlock.size()) return;
    Compress(FBlock.data());
    FFilled = 0;
  }
  for (; size >= FBlock.size(); bytes += FBlock.size(), size -= FBlock.size()) Compress(bytes);
  std::memcpy(FBlock.data(), bytes, size);
  FFilled = size;
}

std::string TSha256::HexDigest() {
  // The message is closed by a one bit, zeros up to 56 bytes of the last
  // block and its length in bits, big-endian.
  const std::uint64_t bits = FLength * 8;
  const unsigned char one = 0x80;
  Update(&one, 1);
  const unsigned char zero = 0;
  while (FFilled != 56) Update(&zero, 1);
  unsigned char length[8];
  for (int i = 0; i < 8; ++i) length[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
  Update(length, 8);
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (const std::uint32_t word : FState)
    for (int shift = 28; shift >= 0; shift -= 4) hex += digits[(word >> shift) & 0xF];
  return hex;
}

std::string Sha256Hex(std::string_view text) {
  TSha256 hash;
  hash.Update(text);
  return hash.HexDigest();
}

bool FileSha256(const std::string& path, std::string& hex) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  TSha256 hash;
  std::vector<char> buffer(256 * 1024);
  std::size_t count;
  while ((count = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) hash.Update(buffer.data(), count);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return false;
  hex = hash.HexDigest();
  return true;
}
