// Named cases of the fixed-point writers: ties decided on the exact binary value, signs, the
// non-finite forms, padding and values outside the 64-bit fast path.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "format/numbers.hpp"

namespace velm::format {
namespace {

std::string fixed(double value, int decimals) {
  std::string text(max_fixed_length(decimals), '\0');
  text.resize(static_cast<std::size_t>(write_fixed(text.data(), value, decimals) - text.data()));
  return text;
}

std::string c_library_fixed(double value, int decimals) {
  std::string text(max_fixed_length(decimals) + 1, '\0');
  const int length = std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

std::string padded(double value, int width, int decimals) {
  std::string text(max_fixed_length(decimals) + static_cast<std::size_t>(width), '\0');
  char* end = write_fixed_padded(text.data(), value, width, decimals);
  text.resize(static_cast<std::size_t>(end - text.data()));
  return text;
}

TEST(FixedFormat, ExactTiesRoundToEven) {
  EXPECT_EQ(fixed(0.125, 2), "0.12");
  EXPECT_EQ(fixed(0.375, 2), "0.38");
  EXPECT_EQ(fixed(2.5, 0), "2");
  EXPECT_EQ(fixed(3.5, 0), "4");
  EXPECT_EQ(fixed(-2.5, 0), "-2");
  EXPECT_EQ(fixed(0.5, 0), "0");
  EXPECT_EQ(fixed(1.5, 0), "2");
  EXPECT_EQ(fixed(0.0625, 3), "0.062");
  EXPECT_EQ(fixed(1099511627776.5, 0), "1099511627776");
}

TEST(FixedFormat, DecimalTiesAreDecidedOnTheBinaryValue) {
  EXPECT_EQ(fixed(1.005, 2), "1.00");  // 1.00499999999999989...
  EXPECT_EQ(fixed(0.005, 2), "0.01");  // 0.005000000000000000104...
  EXPECT_EQ(fixed(2.675, 2), "2.67");
  EXPECT_EQ(fixed(1.115, 2), "1.11");
  EXPECT_EQ(fixed(1.125, 2), "1.12");
  EXPECT_EQ(fixed(0.045, 2), "0.04");
  EXPECT_EQ(fixed(std::nextafter(0.125, 1.0), 2), "0.13");
  EXPECT_EQ(fixed(std::nextafter(0.375, 0.0), 2), "0.37");
}

TEST(FixedFormat, SignsAndZeros) {
  EXPECT_EQ(fixed(0.0, 2), "0.00");
  EXPECT_EQ(fixed(-0.0, 2), "-0.00");
  EXPECT_EQ(fixed(-0.001, 2), "-0.00");
  EXPECT_EQ(fixed(-1234.5678, 2), "-1234.57");
  EXPECT_EQ(fixed(7.0, 0), "7");
  EXPECT_EQ(fixed(0.7, -3), "1");
}

TEST(FixedFormat, NonFiniteValues) {
  EXPECT_EQ(fixed(std::numeric_limits<double>::quiet_NaN(), 2), "NaN");
  EXPECT_EQ(fixed(-std::numeric_limits<double>::quiet_NaN(), 2), "NaN");
  EXPECT_EQ(fixed(std::numeric_limits<double>::infinity(), 2), "inf");
  EXPECT_EQ(fixed(-std::numeric_limits<double>::infinity(), 2), "-inf");
  EXPECT_EQ(padded(std::numeric_limits<double>::quiet_NaN(), 10, 2), "       NaN");
  EXPECT_EQ(padded(-std::numeric_limits<double>::infinity(), 6, 4), "  -inf");
}

TEST(FixedFormat, HugeValuesAreWrittenInFull) {
  EXPECT_EQ(fixed(1e20, 2), "100000000000000000000.00");
  EXPECT_EQ(fixed(9007199254740993.0, 2), "9007199254740992.00");
  const std::string huge = fixed(1e300, 2);
  EXPECT_EQ(huge.size(), 301U + 3U);
  EXPECT_EQ(huge.substr(0, 20), "10000000000000000525");
  EXPECT_EQ(huge, c_library_fixed(1e300, 2));
  const std::string max = fixed(std::numeric_limits<double>::max(), 2);
  EXPECT_EQ(max.size(), 309U + 3U);
  EXPECT_EQ(max.substr(0, 17), "17976931348623157");
  EXPECT_EQ(fixed(-std::numeric_limits<double>::max(), 0).size(), 310U);
}

TEST(FixedFormat, TinyValues) {
  EXPECT_EQ(fixed(5e-324, 2), "0.00");
  EXPECT_EQ(fixed(-5e-324, 4), "-0.0000");
  EXPECT_EQ(fixed(1e-10, 10), "0.0000000001");
  EXPECT_EQ(fixed(0.1, 20), "0.10000000000000000555");
  const std::string denormal = fixed(5e-324, 1074);
  EXPECT_EQ(denormal.size(), 1076U);
  EXPECT_EQ(denormal.substr(0, 2 + 323), "0." + std::string(323, '0'));
  EXPECT_EQ(denormal.substr(325, 5), "49406");
  EXPECT_EQ(denormal.back(), '5');
}

TEST(FixedFormat, PaddedFields) {
  EXPECT_EQ(padded(0.0, 10, 2), kZeroCell10_2);
  EXPECT_EQ(padded(0.0, 10, 4), kZeroCell10_4);
  EXPECT_EQ(padded(-1.5, 10, 2), "     -1.50");
  EXPECT_EQ(padded(12345678.125, 10, 2), "12345678.12");
  EXPECT_EQ(padded(-1234567.0, 10, 2), "-1234567.00");
  EXPECT_EQ(padded(3.14159, 10, 4), "    3.1416");
  EXPECT_EQ(padded(1e20, 10, 2), "100000000000000000000.00");
  EXPECT_EQ(padded(1e20, 30, 2), "      100000000000000000000.00");
  EXPECT_EQ(padded(2.0, 0, 2), "2.00");
  EXPECT_EQ(padded(2.0, 20, 2), "                2.00");
}

}  // namespace
}  // namespace velm::format
