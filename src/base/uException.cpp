#include "base/uException.h"

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string result;
  result.reserve(pattern.size() + 32);
  auto next = args.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size()) {
      const char spec = pattern[i + 1];
      if (spec == 's' || spec == 'd') {
        if (next != args.end()) result += *next++;
        ++i;
        continue;
      }
      if (spec == '%') {
        result += '%';
        ++i;
        continue;
      }
    }
    result += c;
  }
  return result;
}

void RaiseError(std::string_view pattern, std::initializer_list<std::string_view> args) {
  throw TException(FormatText(pattern, args));
}

std::string VisibleText(std::string_view text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string shown;
  shown.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r')
      shown += "\\r";
    else if (c == '\n')
      shown += "\\n";
    else if (c == '\0')
      shown += "\\0";
    else if ((byte < 0x20 && c != '\t') || byte == 0x7F)
      shown += {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 15]};
    else
      shown += c;
  }
  return shown;
}

void RaiseListIndexError(long long index) { RaiseError("List index out of bounds (%d)", {std::to_string(index)}); }
