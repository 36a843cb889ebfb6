#pragma once
// The character classes of the markup this project reads: white space is
// blank, tab, CR and LF; a name is a run of letters, digits, "_", "." and
// "-". One table for the scanner and for the readers that take elements
// straight from the text, so that both read the same names.

#include <array>
#include <cstddef>
#include <cstdint>

namespace XMLCharacters {
inline constexpr uint8_t kWhite = 1;
inline constexpr uint8_t kName = 2;

constexpr std::array<uint8_t, 256> MakeClasses() {
  std::array<uint8_t, 256> classes{};
  classes['\t'] = classes['\n'] = classes['\r'] = classes[' '] = kWhite;
  for (std::size_t c = 'a'; c <= 'z'; ++c) classes[c] = kName;
  for (std::size_t c = 'A'; c <= 'Z'; ++c) classes[c] = kName;
  for (std::size_t c = '0'; c <= '9'; ++c) classes[c] = kName;
  classes['_'] = classes['.'] = classes['-'] = kName;
  return classes;
}
inline constexpr std::array<uint8_t, 256> kClasses = MakeClasses();

inline bool IsWhite(unsigned char c) { return kClasses[c] & kWhite; }
inline bool IsName(unsigned char c) { return kClasses[c] & kName; }
inline bool IsWhite(char c) { return IsWhite(static_cast<unsigned char>(c)); }
inline bool IsName(char c) { return IsName(static_cast<unsigned char>(c)); }
}  // namespace XMLCharacters
