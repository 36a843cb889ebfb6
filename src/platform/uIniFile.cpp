#include "platform/uIniFile.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>

std::string ReadIniString(const std::string& fileName, std::string_view section, std::string_view key,
                          std::string_view defaultValue) {
  const std::string sectionText(section);
  const std::string keyText(key);
  const std::string defaultText(defaultValue);
  std::vector<char> buffer(1024);
  for (;;) {
    const DWORD length = GetPrivateProfileStringA(sectionText.c_str(), keyText.c_str(), defaultText.c_str(),
                                                  buffer.data(), static_cast<DWORD>(buffer.size()), fileName.c_str());
    // A value that does not fit comes back cut to one character less than the
    // buffer holds, so only a shorter result is certainly complete.
    if (static_cast<std::size_t>(length) + 1 < buffer.size()) return {buffer.data(), static_cast<std::size_t>(length)};
    buffer.resize(buffer.size() * 2);
  }
}

#else

#include <fstream>

namespace {

std::string_view TrimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

char LowerCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerCase(a[i]) != LowerCase(b[i])) return false;
  return true;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

std::string ReadIniString(const std::string& fileName, std::string_view section, std::string_view key,
                          std::string_view defaultValue) {
  std::ifstream in(fileName, std::ios::binary);
  std::string line;
  bool inSection = false;
  while (std::getline(in, line)) {
    std::string_view text = line;
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    text = TrimBlanks(text);
    if (text.empty() || text.front() == ';') continue;

    if (text.front() == '[') {
      // The first section of the name is the only one read: a second section
      // of the same name further down does not add to it or override it.
      if (inSection) break;
      const std::size_t close = text.find(']');
      inSection = SameName(TrimBlanks(text.substr(1, close == std::string_view::npos ? close : close - 1)), section);
      continue;
    }

    const std::size_t equals = text.find('=');
    if (!inSection || equals == std::string_view::npos) continue;
    if (SameName(TrimBlanks(text.substr(0, equals)), key)) return std::string(Unquote(TrimBlanks(text.substr(equals + 1))));
  }
  // A missing or unreadable file ends up here too, like a missing key.
  return std::string(defaultValue);
}

#endif
