#include "asset/uRepository.h"

#include <algorithm>

#include "base/uException.h"
#include "platform/uFileSystem.h"
#include "xml/uXMLWriter.h"

namespace {
bool IsNameDelimiter(char c) { return c == '/' || c == '\\'; }

// Empty, or "." as Windows reads it: it drops trailing dots and blanks.
// (Parts holding ".." are refused before, as leading out.)
bool OnlyDotsAndBlanks(std::string_view part) { return part.find_first_not_of(". ") == std::string_view::npos; }

bool HasControlCharacter(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

// Bytes 0x80 to 0x9F: the C1 control characters of ISO-8859-1, in which the
// definitions are declared (the ANSI code page shows them as "€" or "’",
// which the definitions cannot carry).
bool HasC1ControlCharacter(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80 && static_cast<unsigned char>(c) <= 0x9F) return true;
  return false;
}

// Windows drops dots and blanks at the end of a name: "Crate." would be
// "Crate" there, another asset's files.
bool EndsInDotOrBlank(std::string_view part) { return !part.empty() && (part.back() == '.' || part.back() == ' '); }

// Characters that Windows, where the platform loads our assets, refuses in a
// file name (the colon would name a stream of the file).
bool HasForbiddenCharacter(std::string_view text) { return text.find_first_of("<>:\"|?*") != std::string_view::npos; }
}  // namespace

std::vector<std::string> AssetNameParts(const std::string& assetName) {
  std::vector<std::string> parts(1);
  for (const char c : assetName)
    if (IsNameDelimiter(c))
      parts.emplace_back();
    else
      parts.back() += c;
  return parts;
}

std::string AssetNameProblem(const std::string& assetName) {
  if (assetName.empty()) return "Please specify an asset name.";
  const std::string shown = VisibleText(assetName);
  if (HasControlCharacter(assetName)) return FormatText("The asset name \"%s\" holds a control character.", {shown});
  if (HasC1ControlCharacter(assetName))
    return FormatText("The asset name \"%s\" holds a character from 0x80 to 0x9F, a control character in the "
                      "definitions' ISO-8859-1.",
                      {shown});
  if (LeadsOutOfFolder(assetName))
    return FormatText("The asset name \"%s\" leads out of the repository: it may not be an absolute path, "
                      "start with a drive or hold a \"..\" folder.",
                      {shown});
  const std::vector<std::string> parts = AssetNameParts(assetName);
  if (std::any_of(parts.begin(), parts.end(), OnlyDotsAndBlanks))
    return FormatText("The asset name \"%s\" has an empty or \".\" part.", {shown});
  if (std::any_of(parts.begin(), parts.end(), [](const std::string& part) { return EndsInDotOrBlank(part); }))
    return FormatText("The asset name \"%s\" has a part ending in a dot or a blank, which Windows drops.", {shown});
  if (std::any_of(parts.begin(), parts.end(), [](const std::string& part) { return IsDeviceName(part); }))
    return FormatText("The asset name \"%s\" holds a name reserved for a device.", {shown});
  if (HasForbiddenCharacter(assetName))
    return FormatText("The asset name \"%s\" holds a character that Windows does not allow in file names (< > : \" | "
                      "? *).",
                      {shown});
  return {};
}

std::string CategoryProblem(const std::string& category) {
  if (HasNonXMLControlCharacter(category))
    return FormatText("The category \"%s\" holds a control character.", {VisibleText(category)});
  return {};
}
