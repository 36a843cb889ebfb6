// The number conversions. Text is read both by ours and by an independent
// reading (a plain grammar check, 64-bit arithmetic and the C library's
// strtof), and they must agree; every finite float written by the formatters
// must read back to a value that close to the original.
//
// The first byte chooses what the rest of the input is: text to read, or the
// bits of a float to write and read back.

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "base/uException.h"
#include "base/uNumbers.h"

namespace {
bool Digit(char c) { return c >= '0' && c <= '9'; }

// The integer grammar: an optional sign, then digits only; the value must fit
// 32 bits. Computed with 64-bit arithmetic on the digits after leading zeros.
std::optional<int32_t> ReferenceInt(std::string_view text) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) i = 1;
  if (i == text.size()) return std::nullopt;
  for (std::size_t k = i; k < text.size(); ++k)
    if (!Digit(text[k])) return std::nullopt;
  while (i + 1 < text.size() && text[i] == '0') ++i;
  if (text.size() - i > 10) return std::nullopt;
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) magnitude = magnitude * 10 + (text[i] - '0');
  const int64_t value = negative ? -magnitude : magnitude;
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(value);
}

// The float grammar: blanks, a sign, digits with an optional point and
// fraction (one digit at least), an optional exponent with digits.
bool ReferenceFloatGrammar(std::string_view text) {
  std::size_t i = text.find_first_not_of(' ');
  if (i == std::string_view::npos) return false;
  if (text[i] == '+' || text[i] == '-') ++i;
  const std::size_t integerStart = i;
  while (i < text.size() && Digit(text[i])) ++i;
  bool anyDigit = i > integerStart;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fractionStart = ++i;
    while (i < text.size() && Digit(text[i])) ++i;
    anyDigit = anyDigit || i > fractionStart;
  }
  if (!anyDigit) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t exponentStart = i;
    while (i < text.size() && Digit(text[i])) ++i;
    if (i == exponentStart) return false;
  }
  return i == text.size();
}

bool SameFloat(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void CheckReading(std::string_view text) {
  const std::optional<int32_t> integer = ReferenceInt(text);
  try {
    const int32_t value = StrToInt(text);
    FuzzCheck(integer && *integer == value, "StrToInt accepted \"" + std::string(text) + "\" wrongly");
  } catch (const TException& e) {
    FuzzCheck(!integer, "StrToInt refused \"" + std::string(text) + "\"");
    FuzzCheck(e.Message() == "'" + std::string(text) + "' is not a valid integer value", "wrong integer message");
  }

  const bool valid = IsValidFloat(text);
  float value = 0;
  try {
    value = StrToFloat(text);
    FuzzCheck(valid, "StrToFloat read what IsValidFloat refuses");
  } catch (const TException& e) {
    FuzzCheck(!valid, "StrToFloat refused what IsValidFloat accepts");
    FuzzCheck(e.Message() == "'" + std::string(text) + "' is not a valid floating point value", "wrong float message");
  }
  if (!ReferenceFloatGrammar(text)) {
    FuzzCheck(!valid, "a text outside the grammar was accepted: \"" + std::string(text) + "\"");
    return;
  }
  // Inside the grammar strtof reads the same number (the C locale is in force:
  // nothing here calls setlocale). Only values beyond float's range are refused.
  const std::string terminated(text);
  errno = 0;
  const float reference = std::strtof(terminated.c_str(), nullptr);
  const bool overflow = std::isinf(reference);
  FuzzCheck(valid == !overflow, "refusal disagrees with overflow for \"" + terminated + "\"");
  if (valid) FuzzCheck(SameFloat(value, reference), "StrToFloat(\"" + terminated + "\") is not correctly rounded");
}

// Reads our own text with strtod.
double ReadBack(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

void CheckWriting(float value) {
  if (!std::isfinite(value)) {
    const std::string expected = std::isnan(value) ? "NAN" : value < 0 ? "-INF" : "INF";
    FuzzCheck(FormatGeneral(value) == expected && FormatFixed(value) == expected && FormatMeshFloat(value) == expected,
              "non-finite values are written as NAN, INF and -INF");
    return;
  }
  const double exact = value;
  // Nine significant digits identify every float.
  const std::string nine = FormatGeneral(exact, 9);
  FuzzCheck(IsValidFloat(nine), "our own text \"" + nine + "\" does not read");
  FuzzCheck(StrToFloat(nine) == value, "\"" + nine + "\" does not read back as the float it came from");

  // The bounds are those of decimal rounding, plus the error of reading the
  // text back into a double and of the subtraction (ties land exactly on them).
  const double slack = std::fabs(exact) * 1e-15;
  const std::string general = FormatGeneral(exact);
  const double generalBack = ReadBack(general);
  FuzzCheck(std::fabs(generalBack - exact) <= std::fabs(exact) * 5e-7 + slack, "%.7g too far off: " + general);

  const std::string mesh = FormatMeshFloat(value);
  FuzzCheck(std::fabs(ReadBack(mesh) - exact) <= std::fabs(exact) * 5e-6 + slack, "mesh float too far off: " + mesh);

  const std::string fixed = FormatFixed(exact);
  const double fixedBack = ReadBack(fixed);
  // Beyond the 18 significant digits of the expansion the fixed form carries
  // zeros, which the slack covers too.
  FuzzCheck(std::fabs(fixedBack - exact) <= 5e-8 + slack, "%.7f too far off: " + fixed);
  FuzzCheck(fixed.find('E') == std::string::npos && fixed.find('e') == std::string::npos, "%.7f has an exponent");
  const std::size_t point = fixed.find('.');
  FuzzCheck(point != std::string::npos && fixed.size() - point - 1 == 7, "%.7f without exactly seven decimals");

  for (const std::string* text : {&general, &mesh, &fixed})
    FuzzCheck(text->front() != '-' || ReadBack(*text) != 0, "a minus sign on a value written as zero: " + *text);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view rest = FuzzText(data + 1, size - 1);
  if (data[0] & 1) {
    CheckReading(rest);
  } else if (rest.size() >= sizeof(float)) {
    float value;
    std::memcpy(&value, rest.data(), sizeof value);
    CheckWriting(value);
  }
  return 0;
}
