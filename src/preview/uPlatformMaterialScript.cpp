#include "preview/uPlatformMaterialScript.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The line without its end ("\n", "\r\n" or a lone "\r" before "\n").
std::string_view WithoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

// Appends the line, its name quoted when it is a material line whose name
// (the rest of the line) holds a blank.
void AddLine(std::string_view line, TPlatformMaterialScript& result) {
  const std::string_view content = WithoutLineEnd(line);
  std::size_t at = 0;
  while (at < content.size() && IsBlank(content[at])) ++at;
  constexpr std::string_view keyword = "material";
  const bool materialLine = content.substr(at, keyword.size()) == keyword && content.size() > at + keyword.size() &&
                            IsBlank(content[at + keyword.size()]);
  if (!materialLine) {
    result.Text += line;
    return;
  }
  std::size_t nameStart = at + keyword.size();
  while (nameStart < content.size() && IsBlank(content[nameStart])) ++nameStart;
  std::size_t nameEnd = content.size();
  while (nameEnd > nameStart && IsBlank(content[nameEnd - 1])) --nameEnd;
  const std::string_view name = content.substr(nameStart, nameEnd - nameStart);
  const bool hasBlank = name.find_first_of(" \t") != std::string_view::npos;
  const bool quoted = name.size() >= 2 && name.front() == '"' && name.back() == '"';
  if (!hasBlank || quoted) {
    result.Text += line;
    return;
  }
  if (name.find('"') != std::string_view::npos) {
    result.Problems.push_back("The material name " + std::string(name) +
                              " holds a blank and a double quote; OGRE cannot be given it whole.");
    result.Text += line;
    return;
  }
  result.Text += content.substr(0, nameStart);
  result.Text += '"';
  result.Text += name;
  result.Text += '"';
  result.Text += content.substr(nameEnd);
  result.Text += line.substr(content.size());  // the line end as it was
}

}  // namespace

TPlatformMaterialScript PlatformMaterialScript(std::string_view script) {
  TPlatformMaterialScript result;
  result.Text.reserve(script.size() + 16);
  while (!script.empty()) {
    const std::size_t end = script.find('\n');
    const std::size_t length = end == std::string_view::npos ? script.size() : end + 1;
    AddLine(script.substr(0, length), result);
    script.remove_prefix(length);
  }
  return result;
}
