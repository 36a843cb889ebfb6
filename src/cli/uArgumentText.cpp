#include "cli/uArgumentText.h"

#include <cstdio>
#include <vector>

#include "base/uException.h"

#ifndef _WIN32
namespace {
// The bytes of a UTF-8 sequence that starts with `lead`; 0 for a byte that
// starts none (a continuation byte, or one of an overlong or too large form).
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// The code points of UTF-8 text; false when it is not UTF-8 (overlong forms,
// surrogates and stray or missing continuation bytes included).
bool DecodeUtf8(std::string_view text, std::vector<char32_t>& codes) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = SequenceLength(lead);
    if (length == 0 || i + length > text.size()) return false;
    char32_t code = length == 1 ? lead : static_cast<char32_t>(lead & (0xFFu >> (length + 1)));
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    codes.push_back(code);
    i += length;
  }
  return true;
}

bool IsInvisibleMark(char32_t code) {
  return (code >= 0x200B && code <= 0x200F) || (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

std::string CodeName(char32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
  return text;
}
}  // namespace
#endif

TLatin1Argument ArgumentAsLatin1(const std::string& argument, std::string_view what) {
#ifdef _WIN32
  static_cast<void>(what);
  return {argument, {}};
#else
  std::vector<char32_t> codes;
  if (!DecodeUtf8(argument, codes)) return {argument, {}};
  TLatin1Argument result;
  for (const char32_t code : codes) {
    if (IsInvisibleMark(code)) {
      result.Problem = FormatText("The %s \"%s\" holds an invisible formatting character (%s).",
                                  {what, VisibleText(argument), CodeName(code)});
      return result;
    }
    if (code > 0xFF) {
      result.Problem = FormatText("The %s \"%s\" holds a character (%s) that the asset definitions cannot hold: "
                                  "they are ISO-8859-1 (Latin-1).",
                                  {what, VisibleText(argument), CodeName(code)});
      return result;
    }
    result.Text += static_cast<char>(static_cast<unsigned char>(code));
  }
  return result;
#endif
}
