#include "preview/uPlatformMaterialScript.h"

#include "base/uException.h"
#include "mesh/QZOgreMaterialWriter.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The line without its end ("\n", "\r\n" or a lone "\r" before "\n").
std::string_view WithoutLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

// Appends the line, its name quoted when it is a material line whose name
// (the rest of the line after the keyword and one blank, as the platform
// reads it) OGRE would not read whole: the rule the exporter writes scripts
// for OGRE by.
void AddLine(std::string_view line, TPlatformMaterialScript& result) {
  const std::string_view content = WithoutLineEnd(line);
  std::size_t at = 0;
  while (at < content.size() && IsBlank(content[at])) ++at;
  constexpr std::string_view keyword = "material";
  const bool materialLine = content.substr(at, keyword.size()) == keyword && content.size() > at + keyword.size() + 1 &&
                            IsBlank(content[at + keyword.size()]);
  if (!materialLine) {
    result.Text += line;
    return;
  }
  const std::size_t nameStart = at + keyword.size() + 1;
  const std::string name(content.substr(nameStart));
  std::string_view trimmed = name;
  while (!trimmed.empty() && IsBlank(trimmed.back())) trimmed.remove_suffix(1);
  const bool quoted = trimmed.size() >= 2 && trimmed.front() == '"' && trimmed.back() == '"';
  std::string forOgre = name;
  if (!quoted) {
    try {
      forOgre = ScriptMaterialName(name, TMaterialNameForm::Quoted);
    } catch (const TException& e) {
      result.Problems.push_back(e.Message());
    }
  }
  if (forOgre == name) {
    result.Text += line;
    return;
  }
  result.Text += content.substr(0, nameStart);
  result.Text += forOgre;
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
