#include "base/uNumbers.h"

#include "base/uException.h"

#include <gtest/gtest.h>

#include "../support/ErrorOf.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <string_view>

// Expected digits below were worked out from each double's exact binary value,
// which is quoted (as its 18-significant-digit expansion) wherever the result
// depends on it.

namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

void ExpectIntRejected(std::string_view text) {
  SCOPED_TRACE("text: \"" + std::string(text) + "\"");
  EXPECT_EQ(ErrorOf([&] { StrToInt(text); }), "'" + std::string(text) + "' is not a valid integer value");
}

void ExpectFloatRejected(std::string_view text) {
  SCOPED_TRACE("text: \"" + std::string(text) + "\"");
  EXPECT_FALSE(IsValidFloat(text));
  EXPECT_EQ(ErrorOf([&] { StrToFloat(text); }), "'" + std::string(text) + "' is not a valid floating point value");
}

// Checks both entry points: IsValidFloat must agree with StrToFloat.
void ExpectFloat(std::string_view text, float expected) {
  SCOPED_TRACE("text: \"" + std::string(text) + "\"");
  EXPECT_TRUE(IsValidFloat(text));
  const float value = StrToFloat(text);
  EXPECT_EQ(value, expected);
  EXPECT_EQ(std::signbit(value), std::signbit(expected));
}

}  // namespace

// ---------------------------------------------------------------------------
// StrToInt

TEST(StrToInt, ReadsSignedDecimalDigits) {
  EXPECT_EQ(StrToInt("0"), 0);
  EXPECT_EQ(StrToInt("7"), 7);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("-7"), -7);
  EXPECT_EQ(StrToInt("-0"), 0);
  EXPECT_EQ(StrToInt("123456"), 123456);
}

TEST(StrToInt, LeadingZerosAreFine) {
  EXPECT_EQ(StrToInt("007"), 7);
  EXPECT_EQ(StrToInt("-007"), -7);
  EXPECT_EQ(StrToInt("000000000000000000000000000042"), 42);
  EXPECT_EQ(StrToInt("00000000002147483647"), 2147483647);
}

TEST(StrToInt, AcceptsTheWholeSigned32BitRange) {
  EXPECT_EQ(StrToInt("2147483647"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(StrToInt("+2147483647"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(StrToInt("-2147483648"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(StrToInt("-2147483647"), -2147483647);
}

TEST(StrToInt, RejectsValuesOutsideTheRange) {
  ExpectIntRejected("2147483648");
  ExpectIntRejected("+2147483648");
  ExpectIntRejected("-2147483649");
  ExpectIntRejected("4294967296");
  ExpectIntRejected("99999999999999999999999999");
  ExpectIntRejected("-99999999999999999999999999");
}

TEST(StrToInt, RejectsAnythingButSignAndDigits) {
  for (const char* text : {"", "+", "-", " 1", "1 ", " ", "0x10", "1.0", "1e3", "--1", "+-1", "1-",
                           "1,000", "12a", "a12", "\t1", "1\n"}) {
    ExpectIntRejected(text);
  }
  ExpectIntRejected(std::string_view("1\0", 2));
}

TEST(StrToInt, ErrorQuotesTheTextVerbatim) {
  EXPECT_EQ(ErrorOf([&] { StrToInt("0.5"); }), "'0.5' is not a valid integer value");
  // A placeholder inside the text is user data, not part of the pattern.
  ExpectIntRejected("%s");
}

// ---------------------------------------------------------------------------
// IsValidFloat / StrToFloat

TEST(StrToFloat, ReadsTheAcceptedForms) {
  ExpectFloat("1.5", 1.5f);
  ExpectFloat("-2.25", -2.25f);
  ExpectFloat("+3", 3.0f);
  ExpectFloat("42", 42.0f);
  ExpectFloat("5.", 5.0f);
  ExpectFloat(".5", 0.5f);
  ExpectFloat("-.5", -0.5f);
  ExpectFloat("+.25", 0.25f);
  ExpectFloat("0", 0.0f);
  ExpectFloat("-0", -0.0f);
  ExpectFloat("0000.1250000", 0.125f);
}

TEST(StrToFloat, ReadsExponents) {
  ExpectFloat("1e3", 1000.0f);
  ExpectFloat("1E3", 1000.0f);
  ExpectFloat("1e+3", 1000.0f);
  ExpectFloat("25e-1", 2.5f);
  ExpectFloat("2.5E-001", 0.25f);
  ExpectFloat(".5e1", 5.0f);
  ExpectFloat("5.e1", 50.0f);
  ExpectFloat("-1.5e0", -1.5f);
  ExpectFloat("0e99999999999999999999", 0.0f);
}

TEST(StrToFloat, SkipsLeadingBlanksOnly) {
  ExpectFloat(" 1.5", 1.5f);
  ExpectFloat("     -1.5", -1.5f);
  ExpectFloat("  +1", 1.0f);
  ExpectFloatRejected("1.5 ");
  ExpectFloatRejected(" 1.5 ");
  ExpectFloatRejected("- 1.5");
  ExpectFloatRejected("\t1.5");
}

TEST(StrToFloat, RejectsMalformedText) {
  for (const char* text : {"", " ", ".", "-", "+", "-.", "+.", "e5", ".e5", "1e", "1e+", "1e-", "1E ",
                           "1.5x", "1,5", "1..5", "1.2.3", "++1", "+-1", "--1", "1e5.0", "1e5e5",
                           "1 e5", "1e 5", "0x10", "0x1p3", "inf", "-inf", "INF", "infinity", "nan",
                           "NAN", "1f", "1.5d"}) {
    ExpectFloatRejected(text);
  }
  ExpectFloatRejected(std::string_view("1.5\0", 4));
}

TEST(StrToFloat, ErrorQuotesTheOriginalText) {
  EXPECT_EQ(ErrorOf([&] { StrToFloat("  1,5"); }), "'  1,5' is not a valid floating point value");
  ExpectFloatRejected("%s");
}

TEST(StrToFloat, RejectsValuesThatOverflowAFloat) {
  ExpectFloatRejected("1e39");
  ExpectFloatRejected("-3.5e38");
  ExpectFloatRejected("100000000000000000000000000000000000000000");  // 1e41 written out
  ExpectFloatRejected("0.00001e44");
  ExpectFloatRejected("1e99999999999999999999999");
  ExpectFloatRejected("-1e99999999999999999999999");
}

TEST(StrToFloat, LargestFloatAndTheOverflowThreshold) {
  // The largest float is 2^128 - 2^104; values round to it up to the midpoint
  // 2^128 - 2^103 = 340282356779733661637539395458142568448. The midpoint itself
  // goes to the even neighbour, which is 2^128: overflow.
  const float largest = std::numeric_limits<float>::max();
  ExpectFloat("340282346638528859811704183484516925440", largest);
  ExpectFloat("3.4028235e38", largest);
  ExpectFloat("-3.4028235677973366e38", -largest);
  ExpectFloatRejected("3.4028235677973367e38");
  ExpectFloatRejected("340282356779733661637539395458142568448");
}

TEST(StrToFloat, ValuesTooSmallBecomeSignedZero) {
  ExpectFloat("1e-50", 0.0f);
  ExpectFloat("-1e-50", -0.0f);
  ExpectFloat("0.0000000000000000000000000000000000000000000000001", 0.0f);
  ExpectFloat("100000e-51", 0.0f);
  ExpectFloat("1e-99999999999999999999999", 0.0f);
  ExpectFloat("-1e-99999999999999999999999", -0.0f);
}

TEST(StrToFloat, SubnormalsAndTheUnderflowThreshold) {
  // The smallest subnormal is 2^-149 = 1.40129846e-45; half of it is
  // 7.00649232e-46, below which values become zero.
  const float smallest = std::numeric_limits<float>::denorm_min();
  EXPECT_EQ(smallest, std::ldexp(1.0f, -149));
  ExpectFloat("1.4e-45", smallest);
  ExpectFloat("8e-46", smallest);
  ExpectFloat("-8e-46", -smallest);
  ExpectFloat("7e-46", 0.0f);
  ExpectFloat("-7e-46", -0.0f);
  ExpectFloat("1e-40", 1e-40f);
  EXPECT_NE(StrToFloat("1e-40"), 0.0f);
}

TEST(StrToFloat, RoundsOnceDirectlyToFloat) {
  // Each text lies a hair beside a float midpoint. Going through double would
  // land exactly on the midpoint and then tie to even, the wrong way.
  const float oneUp = std::nextafter(1.0f, 2.0f);  // 1 + 2^-23
  EXPECT_EQ(oneUp, 1.0f + std::ldexp(1.0f, -23));
  // 1 + 2^-24 = 1.000000059604644775390625 is the midpoint of 1 and 1 + 2^-23.
  ExpectFloat("1.000000059604644775390625000000001", oneUp);
  ExpectFloat("1.000000059604644775390624999999999", 1.0f);
  // 1 + 3 * 2^-24 = 1.000000178813934326171875 is the midpoint of 1 + 2^-23 and
  // 1 + 2^-22; the even one is above it.
  ExpectFloat("1.000000178813934326171874999999999", oneUp);
  // 2^24 + 1 is the midpoint of 2^24 and 2^24 + 2.
  ExpectFloat("16777217.000000000000000000001", 16777218.0f);
  ExpectFloat("16777216.999999999999999999999", 16777216.0f);
}

TEST(StrToFloat, ExactMidpointsTieToEven) {
  ExpectFloat("16777217", 16777216.0f);
  ExpectFloat("16777219", 16777220.0f);
  ExpectFloat("1.000000059604644775390625", 1.0f);
}

TEST(StrToFloat, NineDigitsReadBackTheSameFloat) {
  // Nine significant digits identify every float, so writing with nine and
  // reading back must return the very same value: a check of reading and
  // writing against each other over floats of every magnitude.
  for (uint32_t bits = 1; bits < 0x7F800000u; bits += 0x00012345u) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    const std::string text = FormatGeneral(static_cast<double>(value), 9);
    ASSERT_EQ(StrToFloat(text), value) << text;
    ASSERT_EQ(StrToFloat("-" + text), -value) << text;
  }
}

TEST(StrToFloat, ShortDecimalsMatchTheFullConversion) {
  // Short decimals take a quicker road than long ones or exponents; both must
  // give the very same float. Whole numbers near 2^24, where the quicker road
  // ends, and every count of decimals up to past its limit of ten.
  std::mt19937 random(20261208);
  for (int i = 0; i < 200000; ++i) {
    const auto whole = static_cast<uint32_t>(i % 4 == 0 ? (1u << 24) - 1 - static_cast<uint32_t>(i % 64) : random() % (1u << 25));
    const int decimals = static_cast<int>(random() % 13);
    std::string digits = std::to_string(whole);
    if (decimals > 0) {
      if (digits.size() <= static_cast<std::size_t>(decimals))
        digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
      digits.insert(digits.size() - static_cast<std::size_t>(decimals), ".");
    }
    // Zeros after the decimals, as the editor writes its coordinates.
    if (decimals > 0 && i % 3 == 0) digits += std::string(random() % 8, '0');
    const std::string text = (i % 2 ? "-" : "") + digits;
    float expected = 0;
    std::from_chars(text.data(), text.data() + text.size(), expected);
    ASSERT_EQ(std::signbit(StrToFloat(text)), std::signbit(expected)) << text;
    ASSERT_EQ(StrToFloat(text), expected) << text;
  }
  // Forms at the road's edges.
  ExpectFloat("-0", -0.0f);
  ExpectFloat("0.0000000000", 0.0f);
  ExpectFloat(".5", 0.5f);
  ExpectFloat("7.", 7.0f);
  ExpectFloat("0.1", 0.1f);
  ExpectFloat("16777215.5", 16777216.0f);
  ExpectFloat("32.000000", 32.0f);
  ExpectFloat("0.000000", 0.0f);
  ExpectFloat("-0.000000", -0.0f);
  ExpectFloat("100", 100.0f);
  ExpectFloat("2.6229320000", 2.622932f);
}

TEST(StrToFloat, PlainDecimalsUpToDoublePrecisionMatchTheFullConversion) {
  // Plain decimals of up to sixteen digits and twenty-two decimals are read
  // through one double division; the float must still be the one that the
  // text rounds to, also for texts right beside a float midpoint, where a
  // double rounded again to float can go the wrong way. Reference: from_chars.
  const auto expectSameAsFull = [](const std::string& text) {
    float expected = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), expected);
    ASSERT_TRUE(error == std::errc() && end == text.data() + text.size()) << text;
    const float value = StrToFloat(text);
    ASSERT_EQ(value, expected) << text;
    ASSERT_EQ(std::signbit(value), std::signbit(expected)) << text;
  };
  std::mt19937_64 random(20261209);
  for (int i = 0; i < 200000; ++i) {
    // Digits around 2^53, where the quick road ends, and below.
    const uint64_t whole = i % 5 == 0 ? (uint64_t{1} << 53) - 8 + random() % 16 : random() % (uint64_t{1} << (1 + i % 54));
    const std::size_t decimals = static_cast<std::size_t>(random() % 25);
    std::string digits = std::to_string(whole);
    if (decimals > 0) {
      if (digits.size() <= decimals) digits.insert(0, decimals + 1 - digits.size(), '0');
      digits.insert(digits.size() - decimals, ".");
    }
    // Zeros after the decimals take the digits past 19 as often as not,
    // where all of them no longer fit 64 bits.
    if (decimals > 0 && i % 3 == 0) digits += std::string(static_cast<std::size_t>(random() % 12), '0');
    expectSameAsFull((i % 2 ? "-" : "") + digits);
  }
  // The midpoints between neighbouring floats, written with 15 to 17
  // significant digits: texts on the midpoint, a hair below and above it.
  for (uint32_t bits = 0x00800000u; bits < 0x7F000000u; bits += 0x0001F3A7u) {
    float low;
    std::memcpy(&low, &bits, sizeof low);
    const double midpoint = (static_cast<double>(low) + static_cast<double>(std::nextafter(low, 1e38f))) / 2;
    for (int precision = 14; precision <= 16; ++precision) {
      char buffer[64];
      const auto conversion = std::to_chars(buffer, buffer + sizeof buffer, midpoint, std::chars_format::fixed,
                                            std::max(0, precision - static_cast<int>(std::floor(std::log10(midpoint)))));
      expectSameAsFull(std::string(buffer, conversion.ptr));
    }
  }
  // 2^24 + 1 and 2^24 + 3 lie exactly between two floats; the double division
  // lands on them exactly, and the quotient ties to even.
  ExpectFloat("16777217.0", 16777216.0f);
  ExpectFloat("16777219.000", 16777220.0f);
  ExpectFloat("17.402515", 17.402515f);
  ExpectFloat("-9007199254740991", -9007199254740992.0f);
  ExpectFloat("0.0000000000000000000001", 1e-22f);
  ExpectFloat("0.00000000000000000000010000000", 1e-22f);
  ExpectFloat("1.5000000000000000000000000000000", 1.5f);
  ExpectFloat("9007199254740993.0000", 9007199254740992.0f);
}

// ---------------------------------------------------------------------------
// FormatFixed

TEST(FormatFixed, WritesTheGivenNumberOfDecimals) {
  EXPECT_EQ(FormatFixed(0.5), "0.5000000");
  EXPECT_EQ(FormatFixed(0.5, 7), "0.5000000");
  EXPECT_EQ(FormatFixed(-1.5), "-1.5000000");
  EXPECT_EQ(FormatFixed(123456789.0), "123456789.0000000");
  EXPECT_EQ(FormatFixed(1.25, 1), "1.3");
  EXPECT_EQ(FormatFixed(3.0, 2), "3.00");
  EXPECT_EQ(FormatFixed(42.0, 0), "42");
  EXPECT_EQ(FormatFixed(0.75, 0), "1");
}

TEST(FormatFixed, RoundsTheEighteenDigitExpansion) {
  // 1.23456785 is stored as 1.23456784999999991...: the dropped part is below half.
  EXPECT_EQ(FormatFixed(1.23456785), "1.2345678");
  // 2.5/1000 is stored as 2.50000000000000005e-03.
  EXPECT_EQ(FormatFixed(2.5 / 1000, 3), "0.003");
  EXPECT_EQ(FormatFixed(2.5 / 1000), "0.0025000");
  // 0.00000005 is stored as 4.99999999999999977e-08, just below the half; the
  // next double up, 5.00000000000000044e-08, is above it.
  EXPECT_EQ(FormatFixed(0.00000005), "0.0000000");
  EXPECT_EQ(FormatFixed(std::nextafter(0.00000005, 1.0)), "0.0000001");
  EXPECT_EQ(FormatFixed(-std::nextafter(0.00000005, 1.0)), "-0.0000001");
}

TEST(FormatFixed, HalfwayRoundsAwayFromZero) {
  EXPECT_EQ(FormatFixed(0.125, 2), "0.13");
  EXPECT_EQ(FormatFixed(-0.125, 2), "-0.13");
  EXPECT_EQ(FormatFixed(0.0625, 3), "0.063");
  EXPECT_EQ(FormatFixed(0.5, 0), "1");
  EXPECT_EQ(FormatFixed(-0.5, 0), "-1");
  EXPECT_EQ(FormatFixed(2.5, 0), "3");
  EXPECT_EQ(FormatFixed(-2.5, 0), "-3");
  EXPECT_EQ(FormatFixed(1048576.5, 0), "1048577");
  EXPECT_EQ(FormatFixed(0.00000025, 6), "0.000000");  // stored as 2.49999999999999989e-07
}

TEST(FormatFixed, JustBelowHalfRoundsDown) {
  // nextafter(0.125, 0) = 1.24999999999999986e-01, nextafter(2.5, 0) = 2.49999999999999956.
  EXPECT_EQ(FormatFixed(std::nextafter(0.125, 0.0), 2), "0.12");
  EXPECT_EQ(FormatFixed(-std::nextafter(0.125, 0.0), 2), "-0.12");
  EXPECT_EQ(FormatFixed(std::nextafter(2.5, 0.0), 0), "2");
  // 999999.95 is stored as 9.99999949999999953e+05.
  EXPECT_EQ(FormatFixed(999999.95, 1), "999999.9");
}

TEST(FormatFixed, CarriesRippleIntoNewDigits) {
  EXPECT_EQ(FormatFixed(999.96875, 1), "1000.0");
  EXPECT_EQ(FormatFixed(-999.96875, 1), "-1000.0");
  EXPECT_EQ(FormatFixed(99.5, 0), "100");
  EXPECT_EQ(FormatFixed(0.96875, 1), "1.0");
  EXPECT_EQ(FormatFixed(0.96875, 0), "1");
  EXPECT_EQ(FormatFixed(0.0996875, 3), "0.100");  // stored as 9.96874999999999983e-02
  EXPECT_EQ(FormatFixed(9.96875, 2), "9.97");
}

TEST(FormatFixed, ValuesRoundingToZeroHaveNoSign) {
  EXPECT_EQ(FormatFixed(0.0), "0.0000000");
  EXPECT_EQ(FormatFixed(-0.0), "0.0000000");
  EXPECT_EQ(FormatFixed(-0.0, 0), "0");
  EXPECT_EQ(FormatFixed(-0.00000004), "0.0000000");
  EXPECT_EQ(FormatFixed(-0.4, 0), "0");
  EXPECT_EQ(FormatFixed(-0.04, 0), "0");
  EXPECT_EQ(FormatFixed(-1e-300), "0.0000000");
  EXPECT_EQ(FormatFixed(std::numeric_limits<double>::denorm_min()), "0.0000000");
}

TEST(FormatFixed, LargeValuesWriteEveryIntegerDigit) {
  // 2^70 = 1180591620717411303424; its expansion is 1.18059162071741130e+21, so
  // the digits past the eighteenth are zeros.
  const double big = std::ldexp(1.0, 70);
  EXPECT_EQ(FormatFixed(big, 0), "1180591620717411300000");
  EXPECT_EQ(FormatFixed(-big, 2), "-1180591620717411300000.00");
  // 1e300 is stored as 1.00000000000000005e+300.
  EXPECT_EQ(FormatFixed(1e300), "100000000000000005" + std::string(283, '0') + ".0000000");
  const std::string largest = FormatFixed(std::numeric_limits<double>::max(), 0);
  EXPECT_EQ(largest.size(), 309u);
  EXPECT_EQ(largest.substr(0, 19), "1797693134862315710");
}

TEST(FormatFixed, NegativeDecimalsMeanNone) {
  EXPECT_EQ(FormatFixed(2.5, -3), "3");
  EXPECT_EQ(FormatFixed(1234.4, -1), "1234");
}

TEST(FormatFixed, NonFiniteValues) {
  EXPECT_EQ(FormatFixed(NaN), "NAN");
  EXPECT_EQ(FormatFixed(-NaN), "NAN");
  EXPECT_EQ(FormatFixed(Inf), "INF");
  EXPECT_EQ(FormatFixed(-Inf, 0), "-INF");
}

// ---------------------------------------------------------------------------
// FormatGeneral

TEST(FormatGeneral, WorkedValues) {
  EXPECT_EQ(FormatGeneral(0.0), "0");
  EXPECT_EQ(FormatGeneral(1.0 / 255), "0.003921569");   // 3.92156862745098034e-03
  EXPECT_EQ(FormatGeneral(128.0 / 255), "0.5019608");   // 5.01960784313725483e-01
  EXPECT_EQ(FormatGeneral(255.0 / 255), "1");
  EXPECT_EQ(FormatGeneral(0.000001), "1E-6");           // 9.99999999999999955e-07
  EXPECT_EQ(FormatGeneral(0.00001), "0.00001");         // 1.00000000000000008e-05
  EXPECT_EQ(FormatGeneral(1234567.0), "1234567");
  EXPECT_EQ(FormatGeneral(12345678.0), "1.234568E7");
  EXPECT_EQ(FormatGeneral(10000000.0), "1E7");
  EXPECT_EQ(FormatGeneral(0.1), "0.1");
  EXPECT_EQ(FormatGeneral(120.5), "120.5");
  EXPECT_EQ(FormatGeneral(100.0), "100");
}

TEST(FormatGeneral, NegativeValues) {
  EXPECT_EQ(FormatGeneral(-0.5), "-0.5");
  EXPECT_EQ(FormatGeneral(-12345678.0), "-1.234568E7");
  EXPECT_EQ(FormatGeneral(-0.0000015), "-1.5E-6");
  EXPECT_EQ(FormatGeneral(-0.0), "0");
  // General notation never rounds a non-zero value away.
  EXPECT_EQ(FormatGeneral(-1e-30), "-1E-30");
}

TEST(FormatGeneral, ExponentWindowAfterRounding) {
  EXPECT_EQ(FormatGeneral(999999.4), "999999.4");   // x = 5
  EXPECT_EQ(FormatGeneral(1000000.0), "1000000");  // x = 6, the last plain one
  EXPECT_EQ(FormatGeneral(0.0000099999), "9.9999E-6");
  // 9999999.7 (stored 9.99999969999999925e+06) rounds to 1.000000 x 10^7.
  EXPECT_EQ(FormatGeneral(9999999.7), "1E7");
  // 9.99999999e-6 (stored 9.99999998999999930e-06) rounds to 1.000000 x 10^-5.
  EXPECT_EQ(FormatGeneral(9.99999999e-6), "0.00001");
}

TEST(FormatGeneral, CustomDigitsAndWindow) {
  EXPECT_EQ(FormatGeneral(1234.5, 7, -5, 2), "1.2345E3");
  EXPECT_EQ(FormatGeneral(123.45, 7, -5, 2), "123.45");
  EXPECT_EQ(FormatGeneral(0.0123, 7, -1, 6), "1.23E-2");
  EXPECT_EQ(FormatGeneral(0.123, 7, -1, 6), "0.123");
  // The window alone decides the notation, whatever the number of digits.
  EXPECT_EQ(FormatGeneral(123456.0, 3), "123000");
  EXPECT_EQ(FormatGeneral(3.14159, 3), "3.14");
}

TEST(FormatGeneral, DigitsAreClampedToTheExpansion) {
  // 0.1 is stored as 1.00000000000000006e-01.
  EXPECT_EQ(FormatGeneral(0.1, 18), "0.100000000000000006");
  EXPECT_EQ(FormatGeneral(0.1, 40), "0.100000000000000006");
  EXPECT_EQ(FormatGeneral(0.1, 17), "0.10000000000000001");
  EXPECT_EQ(FormatGeneral(0.1, 16), "0.1");
  EXPECT_EQ(FormatGeneral(2.5, 0), "3");
  EXPECT_EQ(FormatGeneral(2.5, -4), "3");
}

TEST(FormatGeneral, HalfwayRoundsAwayFromZero) {
  EXPECT_EQ(FormatGeneral(2.5, 1), "3");
  EXPECT_EQ(FormatGeneral(-2.5, 1), "-3");
  EXPECT_EQ(FormatGeneral(0.125, 2), "0.13");
  EXPECT_EQ(FormatGeneral(1048576.5), "1048577");  // 2^20 + 0.5
  EXPECT_EQ(FormatGeneral(-1048576.5), "-1048577");
  EXPECT_EQ(FormatGeneral(0.03125, 3), "0.0313");  // 2^-5
  EXPECT_EQ(FormatGeneral(0.0009765625, 6), "0.000976563");  // 2^-10
}

TEST(FormatGeneral, JustBelowHalfRoundsDown) {
  EXPECT_EQ(FormatGeneral(std::nextafter(2.5, 0.0), 1), "2");
  EXPECT_EQ(FormatGeneral(std::nextafter(1048576.5, 0.0)), "1048576");
  EXPECT_EQ(FormatGeneral(std::nextafter(0.03125, 0.0), 3), "0.0312");
  // 9.9999995 is stored as 9.99999949999999949: below the half, so no carry.
  EXPECT_EQ(FormatGeneral(9.9999995), "9.999999");
}

TEST(FormatGeneral, CarriesMoveTheExponent) {
  EXPECT_EQ(FormatGeneral(9.5, 1), "10");
  EXPECT_EQ(FormatGeneral(9.96875), "9.96875");
  EXPECT_EQ(FormatGeneral(9.96875, 2), "10");
  EXPECT_EQ(FormatGeneral(std::nextafter(9.9999995, 10.0)), "10");
  EXPECT_EQ(FormatGeneral(999999.5, 6), "1000000");
  EXPECT_EQ(FormatGeneral(9999999.5), "1E7");
  EXPECT_EQ(FormatGeneral(-9999999.5), "-1E7");
  EXPECT_EQ(FormatGeneral(0.0999999999), "0.1");
}

TEST(FormatGeneral, ExtremeMagnitudes) {
  EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::max()), "1.797693E308");
  EXPECT_EQ(FormatGeneral(std::numeric_limits<double>::denorm_min()), "4.940656E-324");
  EXPECT_EQ(FormatGeneral(1e300), "1E300");
  EXPECT_EQ(FormatGeneral(-1e-300), "-1E-300");
}

TEST(FormatGeneral, NonFiniteValues) {
  EXPECT_EQ(FormatGeneral(NaN), "NAN");
  EXPECT_EQ(FormatGeneral(-NaN), "NAN");
  EXPECT_EQ(FormatGeneral(Inf), "INF");
  EXPECT_EQ(FormatGeneral(-Inf), "-INF");
}

// ---------------------------------------------------------------------------
// FormatMeshFloat

TEST(FormatMeshFloat, WorkedValues) {
  EXPECT_EQ(FormatMeshFloat(0.0f), "0");
  EXPECT_EQ(FormatMeshFloat(-0.0f), "0");
  EXPECT_EQ(FormatMeshFloat(1.5f), "1.5");
  EXPECT_EQ(FormatMeshFloat(-2.5f), "-2.5");
  EXPECT_EQ(FormatMeshFloat(0.000123456f), "0.000123456");  // 1.23456004075706005e-04
  EXPECT_EQ(FormatMeshFloat(123456.7f), "123457");          // 123456.703125
  EXPECT_EQ(FormatMeshFloat(1234567.0f), "1.23457E6");
  EXPECT_EQ(FormatMeshFloat(0.00001f), "1E-5");             // 9.99999974737875164e-06
  EXPECT_EQ(FormatMeshFloat(999999.7f), "1E6");             // 999999.6875
  // 0.1f is 1.00000001490116119e-01: widening must not show the binary noise.
  EXPECT_EQ(FormatMeshFloat(0.1f), "0.1");
}

TEST(FormatMeshFloat, PlainBetweenTenThousandthAndMillion) {
  EXPECT_EQ(FormatMeshFloat(0.0001f), "0.0001");  // 9.99999974737875164e-05 rounds up
  EXPECT_EQ(FormatMeshFloat(0.00012f), "0.00012");
  EXPECT_EQ(FormatMeshFloat(0.00009f), "9E-5");
  EXPECT_EQ(FormatMeshFloat(-0.00009f), "-9E-5");
  EXPECT_EQ(FormatMeshFloat(999999.0f), "999999");
  EXPECT_EQ(FormatMeshFloat(1000000.0f), "1E6");
  EXPECT_EQ(FormatMeshFloat(-1000000.0f), "-1E6");
}

TEST(FormatMeshFloat, HalfwayAtTheSixthDigitRoundsAwayFromZero) {
  EXPECT_EQ(FormatMeshFloat(16384.25f), "16384.3");  // 2^14 + 2^-2
  EXPECT_EQ(FormatMeshFloat(-16384.25f), "-16384.3");
  EXPECT_EQ(FormatMeshFloat(1.015625f), "1.01563");  // 1 + 2^-6
  EXPECT_EQ(FormatMeshFloat(999999.5f), "1E6");
}

TEST(FormatMeshFloat, JustBelowHalfRoundsDown) {
  const float below = std::nextafter(16384.25f, 0.0f);  // 16384.248046875
  EXPECT_EQ(below, 16384.248046875f);
  EXPECT_EQ(FormatMeshFloat(below), "16384.2");
  EXPECT_EQ(FormatMeshFloat(std::nextafter(1.015625f, 0.0f)), "1.01562");
}

TEST(FormatMeshFloat, ExtremeAndNonFiniteValues) {
  EXPECT_EQ(FormatMeshFloat(std::numeric_limits<float>::max()), "3.40282E38");
  EXPECT_EQ(FormatMeshFloat(std::numeric_limits<float>::denorm_min()), "1.4013E-45");
  EXPECT_EQ(FormatMeshFloat(std::numeric_limits<float>::quiet_NaN()), "NAN");
  EXPECT_EQ(FormatMeshFloat(std::numeric_limits<float>::infinity()), "INF");
  EXPECT_EQ(FormatMeshFloat(-std::numeric_limits<float>::infinity()), "-INF");
}

// ---------------------------------------------------------------------------
// Locale independence

namespace {

// Puts the "C" locale back whatever happens inside the test.
struct TLocaleRestorer {
  ~TLocaleRestorer() { std::setlocale(LC_ALL, "C"); }
};

}  // namespace

TEST(NumbersLocale, DecimalCommaLocaleChangesNothing) {
  TLocaleRestorer restorer;
#ifdef _WIN32
  // The Windows C runtime names its locales differently.
  ASSERT_NE(std::setlocale(LC_ALL, "German_Germany.1252"), nullptr) << "no German locale in this C runtime";
#else
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
      << "the de_DE.UTF-8 locale is not installed; run scripts/setup.sh as root";
#endif
  // Make sure the locale really has a decimal comma, or the test proves nothing.
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");

  EXPECT_EQ(StrToFloat("1.5"), 1.5f);
  EXPECT_EQ(StrToFloat(" -2.5e-1"), -0.25f);
  EXPECT_FALSE(IsValidFloat("1,5"));
  EXPECT_TRUE(IsValidFloat("1.5"));
  EXPECT_THROW(StrToFloat("1,5"), TException);
  EXPECT_EQ(StrToInt("1234"), 1234);
  EXPECT_THROW(StrToInt("1.234"), TException);  // a thousands separator there

  EXPECT_EQ(FormatFixed(0.5), "0.5000000");
  EXPECT_EQ(FormatFixed(-1234567.125, 2), "-1234567.13");
  EXPECT_EQ(FormatGeneral(128.0 / 255), "0.5019608");
  EXPECT_EQ(FormatGeneral(12345678.0), "1.234568E7");
  EXPECT_EQ(FormatGeneral(1.5e-6), "1.5E-6");
  EXPECT_EQ(FormatMeshFloat(-2.5f), "-2.5");
  EXPECT_EQ(FormatMeshFloat(0.000123456f), "0.000123456");
}
