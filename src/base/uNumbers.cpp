#include "base/uNumbers.h"

#include "base/uException.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace {

// ---------------------------------------------------------------------------
// Reading

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Where the parts of a number text lie, once its grammar has been checked.
//
// Most numbers of a scene are short decimals such as "-12.375": digits that
// make a whole number below 2^24 with at most ten of them after the point
// (zeros at the end do not count: "32.000000" is "32."), and no exponent.
// The whole number and the power of ten are then exact floats, and their
// quotient, rounded once to nearest-even by the division, is exactly what the
// full conversion gives, at a fraction of its cost. The scan notes them.
struct TFloatText {
  std::size_t NumberStart = 0;  // first character after the leading blanks
  std::size_t MantissaStart = 0;  // after the sign, if any
  bool Negative = false;
  bool Short = true;   // the value is Whole / 10^Decimals
  uint32_t Whole = 0;
  uint32_t Decimals = 0;

  void TakeDigit(uint32_t digit) {
    Whole = Whole * 10 + digit;
    if (Whole >= (1u << 24)) Short = false;
  }
};

// Checks the whole text against the grammar we accept. std::from_chars alone is
// not enough: it also takes "inf", "nan" and hexadecimal forms, and stops
// silently at the first character it cannot use.
bool ScanFloatText(std::string_view text, TFloatText& parts) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n && text[i] == ' ') ++i;
  parts.NumberStart = i;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    parts.Negative = text[i] == '-';
    ++i;
  }
  parts.MantissaStart = i;
  std::size_t digits = 0;
  for (; i < n && IsDigit(text[i]); ++i, ++digits)
    if (parts.Short) parts.TakeDigit(static_cast<uint32_t>(text[i] - '0'));
  if (i < n && text[i] == '.') {
    ++i;
    uint32_t zeros = 0;  // held back until a digit that is not zero follows
    for (; i < n && IsDigit(text[i]); ++i, ++digits) {
      if (!parts.Short) continue;
      if (text[i] == '0') {
        ++zeros;
        continue;
      }
      parts.Decimals += zeros + 1;
      for (; zeros > 0; --zeros) parts.TakeDigit(0);
      parts.TakeDigit(static_cast<uint32_t>(text[i] - '0'));
      if (parts.Decimals > 10) parts.Short = false;
    }
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    parts.Short = false;
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t exponentStart = i;
    while (i < n && IsDigit(text[i])) ++i;
    if (i == exponentStart) return false;
  }
  return i == n;
}

// For a text that passed ScanFloatText and has a non-zero mantissa: true when
// its magnitude is at least 1, i.e. when a value out of single-precision range
// overflowed rather than underflowed. Float's range is about 1e-45 .. 3.4e38,
// so the power of ten of the leading digit settles it; the exponent is read
// with saturation because the text may carry any number of exponent digits.
bool IsLargeMagnitude(std::string_view text, std::size_t mantissaStart) {
  const std::size_t n = text.size();
  std::size_t i = mantissaStart;
  int64_t leadPower = 0;
  bool found = false;
  while (i < n && IsDigit(text[i])) {
    if (found) {
      ++leadPower;
    } else if (text[i] != '0') {
      found = true;
    }
    ++i;
  }
  if (i < n && text[i] == '.') {
    ++i;
    int64_t position = 0;
    while (i < n && IsDigit(text[i])) {
      --position;
      if (!found && text[i] != '0') {
        found = true;
        leadPower = position;
      }
      ++i;
    }
  }
  if (!found) return false;  // zero never leaves the range
  int64_t exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
      negative = text[i] == '-';
      ++i;
    }
    constexpr int64_t Saturation = 1000000000;
    for (; i < n; ++i) {
      exponent = std::min<int64_t>(exponent * 10 + (text[i] - '0'), Saturation);
    }
    if (negative) exponent = -exponent;
  }
  return leadPower + exponent >= 0;
}

// The plain decimals that make up nearly every number of a scene ("-12.375",
// "17.402515"): an optional minus, digits, an optional point and digits, and
// nothing else. Their digits, trailing zeros of the fraction left out, form
// a whole number W below 2^53 and a count D of decimals up to 22, so that W
// and 10^D are exact doubles and W / 10^D is their quotient rounded once.
// Rounding that double to float once more gives the correctly rounded float
// unless the double lies exactly halfway between two floats: only then could
// the exact quotient, a little off that point, have rounded the other way.
// That case, and every other form, is left to the full reading below; the
// value is the same either way. False: not such a text.
bool ParsePlainDecimal(std::string_view text, float& value) {
  const char* p = text.data();
  const char* const end = p + text.size();
  const bool negative = p != end && *p == '-';
  if (negative) ++p;
  // All digits, those of the fraction too, in one pass: up to 19 of them fit
  // 64 bits. Leaving the fraction's trailing zeros in changes W and D but not
  // their quotient, which the division rounds from the same exact value; they
  // are taken out only where W or D would be too large otherwise.
  uint64_t whole = 0;
  const char* const integerStart = p;
  for (; p != end && static_cast<unsigned>(*p - '0') < 10; ++p) whole = whole * 10 + static_cast<unsigned>(*p - '0');
  std::size_t digits = static_cast<std::size_t>(p - integerStart);
  std::size_t decimals = 0;
  const char* fractionStart = p;
  if (p != end && *p == '.') {
    fractionStart = ++p;
    for (; p != end && static_cast<unsigned>(*p - '0') < 10; ++p) whole = whole * 10 + static_cast<unsigned>(*p - '0');
    decimals = static_cast<std::size_t>(p - fractionStart);
    digits += decimals;
  }
  if (p != end || digits == 0 || digits > 19) return false;
  constexpr uint64_t kLimit = uint64_t{1} << 53;
  if (whole >= kLimit || decimals > 22) {
    for (; decimals > 0 && whole % 10 == 0; --decimals) whole /= 10;
    if (whole >= kLimit || decimals > 22) return false;
  }
  static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                            1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const double quotient = static_cast<double>(whole) / kPowersOfTen[decimals];
  // The 29 bits that a float drops from a double's fraction; 1 followed by
  // 28 zeros is the halfway point (values here are far from float's edges).
  if ((std::bit_cast<uint64_t>(quotient) & 0x1FFFFFFFu) == 0x10000000u) return false;
  const auto magnitude = static_cast<float>(quotient);
  value = negative ? -magnitude : magnitude;
  return true;
}

bool ParseFloat(std::string_view text, float& value) {
  if (ParsePlainDecimal(text, value)) return true;
  TFloatText parts;
  if (!ScanFloatText(text, parts)) return false;
  if (parts.Short) {
    static constexpr float kPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    const float magnitude = static_cast<float>(parts.Whole) / kPowersOfTen[parts.Decimals];
    value = parts.Negative ? -magnitude : magnitude;
    return true;
  }
  // from_chars takes a "-" but neither blanks nor a "+".
  const std::size_t start = parts.Negative ? parts.NumberStart : parts.MantissaStart;
  const char* const first = text.data() + start;
  const char* const last = text.data() + text.size();
  float result = 0.0f;
  const auto [ptr, ec] = std::from_chars(first, last, result, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    if (IsLargeMagnitude(text, parts.MantissaStart)) return false;
    // Too small for a float: it simply becomes zero, keeping its sign.
    value = parts.Negative ? -0.0f : 0.0f;
    return true;
  }
  if (ec != std::errc() || ptr != last) return false;
  value = result;
  return true;
}

// ---------------------------------------------------------------------------
// Writing
//
// Every formatter starts from the same 18-significant-digit decimal expansion of
// the value and rounds that digit string half away from zero. Rounding the
// digits rather than the binary value is what makes 0.125 give "0.13" and 2.5
// give "3", as the files we write have always had it.

constexpr int ExpansionDigits = 18;

// |value| = Digits[0].Digits[1..17] x 10^Exponent. Digits[0] is '0' only when
// the value is (or has been rounded to) zero, and then all digits are '0'.
struct TDecimal {
  char Digits[ExpansionDigits];
  int Exponent;
  bool Negative;

  bool IsZero() const { return Digits[0] == '0'; }

  // The digit standing for 10^power.
  char DigitAt(int64_t power) const {
    const int64_t index = Exponent - power;
    return index >= 0 && index < ExpansionDigits ? Digits[index] : '0';
  }

  // Number of significant digits left once trailing zeros are dropped.
  int SignificantDigits() const {
    int count = ExpansionDigits;
    while (count > 1 && Digits[count - 1] == '0') --count;
    return count;
  }
};

// The value must be finite.
TDecimal Expand(double value) {
  TDecimal result;
  result.Negative = std::signbit(value);
  // to_chars never looks at the locale; "d.ddddddddddddddddde+XXX" fits easily.
  char buffer[32];
  const auto conversion = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                        std::chars_format::scientific, ExpansionDigits - 1);
  const char* p = buffer;
  result.Digits[0] = *p++;
  ++p;  // the point
  for (int i = 1; i < ExpansionDigits; ++i) result.Digits[i] = *p++;
  ++p;  // 'e'
  const bool negativeExponent = *p++ == '-';
  int exponent = 0;
  for (; p < conversion.ptr; ++p) exponent = exponent * 10 + (*p - '0');
  result.Exponent = negativeExponent ? -exponent : exponent;
  if (result.IsZero()) result.Exponent = 0;
  return result;
}

// Keeps the first `keep` significant digits and rounds half away from zero on
// the first dropped one. `keep` may be 0 (only a carry into a new leading digit
// can survive) or negative (everything is dropped).
void RoundDigits(TDecimal& decimal, int64_t keep) {
  if (keep >= ExpansionDigits) return;
  if (keep < 0) {
    std::fill(std::begin(decimal.Digits), std::end(decimal.Digits), '0');
    return;
  }
  const std::size_t kept = static_cast<std::size_t>(keep);
  const bool up = decimal.Digits[kept] >= '5';
  std::fill(decimal.Digits + kept, std::end(decimal.Digits), '0');
  if (!up) return;
  std::size_t i = kept;
  while (i > 0 && decimal.Digits[i - 1] == '9') decimal.Digits[--i] = '0';
  if (i > 0) {
    ++decimal.Digits[i - 1];
  } else {
    // 9.99 -> 10.0: a new leading digit, one power of ten up.
    decimal.Digits[0] = '1';
    ++decimal.Exponent;
  }
}

// Nothing to round for NaN and the infinities; NaN's sign means nothing.
std::string NonFinite(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

}  // namespace

// ---------------------------------------------------------------------------

int32_t StrToInt(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // The magnitude may reach 2^31 only when negative.
  const int64_t limit = negative ? int64_t{2147483648} : int64_t{2147483647};
  int64_t magnitude = 0;
  bool valid = i < text.size();
  for (; valid && i < text.size(); ++i) {
    valid = IsDigit(text[i]);
    if (valid) {
      magnitude = magnitude * 10 + (text[i] - '0');
      valid = magnitude <= limit;
    }
  }
  if (!valid) RaiseError("'%s' is not a valid integer value", {text});
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

bool IsValidFloat(std::string_view text) {
  float value;
  return ParseFloat(text, value);
}

bool TryStrToFloat(std::string_view text, float& value) { return ParseFloat(text, value); }

float StrToFloat(std::string_view text) {
  float value = 0.0f;
  if (!ParseFloat(text, value)) RaiseError("'%s' is not a valid floating point value", {text});
  return value;
}

std::string FormatFixed(double value, int decimals) {
  if (!std::isfinite(value)) return NonFinite(value);
  const int64_t places = std::max(decimals, 0);
  TDecimal decimal = Expand(value);
  // The last digit kept stands for 10^-places.
  RoundDigits(decimal, int64_t{decimal.Exponent} + places + 1);

  std::string result;
  const int64_t highest = decimal.IsZero() ? 0 : std::max(decimal.Exponent, 0);
  result.reserve(static_cast<std::size_t>(highest + places + 3));
  if (decimal.Negative && !decimal.IsZero()) result += '-';
  for (int64_t power = highest; power >= 0; --power) result += decimal.DigitAt(power);
  if (places > 0) {
    result += '.';
    for (int64_t power = -1; power >= -places; --power) result += decimal.DigitAt(power);
  }
  return result;
}

std::string FormatGeneral(double value, int digits, int minExponent, int maxExponent) {
  if (!std::isfinite(value)) return NonFinite(value);
  TDecimal decimal = Expand(value);
  RoundDigits(decimal, std::clamp(digits, 1, ExpansionDigits));
  if (decimal.IsZero()) return "0";

  const int count = decimal.SignificantDigits();
  const int exponent = decimal.Exponent;
  std::string result;
  result.reserve(32);
  if (decimal.Negative) result += '-';

  if (exponent < minExponent || exponent > maxExponent) {
    result += decimal.Digits[0];
    if (count > 1) {
      result += '.';
      result.append(decimal.Digits + 1, static_cast<std::size_t>(count - 1));
    }
    result += 'E';
    char buffer[16];
    const auto conversion = std::to_chars(buffer, buffer + sizeof buffer, exponent);
    result.append(buffer, conversion.ptr);
  } else if (exponent >= 0) {
    for (int power = exponent; power >= 0; --power) result += decimal.DigitAt(power);
    if (count > exponent + 1) {
      result += '.';
      result.append(decimal.Digits + exponent + 1, static_cast<std::size_t>(count - exponent - 1));
    }
  } else {
    result += "0.";
    result.append(static_cast<std::size_t>(-exponent - 1), '0');
    result.append(decimal.Digits, static_cast<std::size_t>(count));
  }
  return result;
}

std::string FormatMeshFloat(float value) {
  // Widening to double is exact, so the expansion is that of the float itself.
  return FormatGeneral(static_cast<double>(value), 6, -4, 5);
}
