#pragma once
// Entity references in character data and attribute values: "&amp;", "&lt;",
// "&gt;", "&quot;", "&apos;" and "&#" decimal ";" (the code modulo 256). Any
// other reference, and an "&" without a later ";", stays as it is. Decoding is
// a single pass: "&amp;amp;" gives "&amp;".

#include <cstddef>
#include <string>
#include <string_view>

// Writes the decoded text to out, which must hold text.size() bytes (decoding
// never lengthens a text), and returns the decoded length. Raises "'%s' is not
// a valid integer value" for a numeric reference beyond the 32-bit range.
std::size_t DecodeEntitiesInto(std::string_view text, char* out);

std::string DecodeEntities(std::string_view text);
