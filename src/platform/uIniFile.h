#pragma once
// Reading one value from an INI file: the editor's settings file and, later,
// the exporter's own. Windows reads it with its private-profile services; other
// platforms (the command-line tool, the tests) with a small reader that keeps
// to the same rules.

#include <string>
#include <string_view>

// The value of `key` in `section` of the file, or `defaultValue` when the file,
// the section or the key is missing. Section and key names are matched without
// regard to letter case; blanks around names and values are dropped; only the
// first section of the name and the first key of the name in it count; lines
// starting with ';' are comments; quotes (" or ') enclosing the whole value are
// removed. Lines end in CR LF or LF. Never raises an error.
std::string ReadIniString(const std::string& fileName, std::string_view section, std::string_view key,
                          std::string_view defaultValue);
