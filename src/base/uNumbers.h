#pragma once
// Reading and writing numbers exactly as the platform's files and the editor's
// XML expect them: "." as decimal separator whatever the process locale, and
// decimal rounding half away from zero from an 18-significant-digit expansion.
// Writers give "NAN", "INF" and "-INF" for non-finite values, and never a minus
// sign on a value that rounds to zero.

#include <cstdint>
#include <string>
#include <string_view>

// An optional sign and decimal digits within the signed 32-bit range, nothing
// else. Anything else raises "'%s' is not a valid integer value".
int32_t StrToInt(std::string_view text);

// True when the whole text is a number: optional leading blanks, an optional
// sign, digits with an optional "." and fraction, an optional exponent ("E" or
// "e", an optional sign, digits), and nothing after it. The value must fit a
// single-precision float (values too small for one become zero).
bool IsValidFloat(std::string_view text);

// The text as a single-precision float, rounded once, correctly. Text that
// IsValidFloat rejects raises "'%s' is not a valid floating point value".
float StrToFloat(std::string_view text);
// The same without the error, for a reader that has a slower way of its own
// to report it: false where StrToFloat raises, and `value` is left as it was.
bool TryStrToFloat(std::string_view text, float& value);

// "%.7f": fixed point with exactly `decimals` decimals (a negative count means
// none), never an exponent; large values show all their integer digits.
std::string FormatFixed(double value, int decimals = 7);

// "%.7g": at most `digits` significant digits (clamped to 1..18), trailing zeros and a trailing
// point dropped; plain notation when the value, rounded to its digits and
// written d.ddd x 10^x, has minExponent <= x <= maxExponent, otherwise
// scientific notation ("1.5E-6", "1E6").
std::string FormatGeneral(double value, int digits = 7, int minExponent = -5, int maxExponent = 6);

// The XML mesh's number form: six significant digits, plain notation for
// values 0.0001 <= |v| < 1000000 after rounding.
std::string FormatMeshFloat(float value);
