#include "xml/uXMLEntities.h"

#include <cstring>

#include "base/uNumbers.h"

namespace {
// The decoded character of a complete reference ("&...;"), or -1 when the
// reference stays unchanged.
int DecodeReference(std::string_view reference) {
  const std::string_view body = reference.substr(1, reference.size() - 2);
  if (body == "amp") return '&';
  if (body == "lt") return '<';
  if (body == "gt") return '>';
  if (body == "quot") return '"';
  if (body == "apos") return '\'';
  if (body.size() >= 2 && body[0] == '#') {
    const std::string_view digits = body.substr(1);
    for (char c : digits)
      if (c < '0' || c > '9') return -1;
    return static_cast<int>(static_cast<uint32_t>(StrToInt(digits)) % 256);
  }
  return -1;
}
}  // namespace

std::size_t DecodeEntitiesInto(std::string_view text, char* out) {
  std::size_t length = 0;
  std::size_t pending = std::string_view::npos;  // where the open reference starts
  auto flushPending = [&](std::size_t end) {
    const std::size_t count = end - pending;
    std::memmove(out + length, text.data() + pending, count);
    length += count;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '&') {
      if (pending != std::string_view::npos) flushPending(i);
      pending = i;
    } else if (pending != std::string_view::npos) {
      if (c == ';') {
        const int decoded = DecodeReference(text.substr(pending, i + 1 - pending));
        if (decoded >= 0)
          out[length++] = static_cast<char>(decoded);
        else
          flushPending(i + 1);
        pending = std::string_view::npos;
      }
    } else {
      out[length++] = c;
    }
  }
  if (pending != std::string_view::npos) flushPending(text.size());
  return length;
}

std::string DecodeEntities(std::string_view text) {
  std::string result(text.size(), '\0');
  result.resize(DecodeEntitiesInto(text, result.data()));
  return result;
}
