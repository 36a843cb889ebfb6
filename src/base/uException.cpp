#include "uException.h"

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
