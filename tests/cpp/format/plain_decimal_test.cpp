// Plain decimal without exponent: integral values lose the fraction, extremes keep every zero.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "format/numbers.hpp"

namespace velm::format {
namespace {

TEST(PlainDecimal, NamedValues) {
  EXPECT_EQ(plain_decimal(3.0), "3");
  EXPECT_EQ(plain_decimal(-0.0), "-0");
  EXPECT_EQ(plain_decimal(0.0), "0");
  EXPECT_EQ(plain_decimal(2.5), "2.5");
  EXPECT_EQ(plain_decimal(-0.125), "-0.125");
  EXPECT_EQ(plain_decimal(1e21), "1000000000000000000000");
  EXPECT_EQ(plain_decimal(1.5e-7), "0.00000015");
  EXPECT_EQ(plain_decimal(123456789012345680000.0), "123456789012345680000");
  EXPECT_EQ(plain_decimal(1e300), "1" + std::string(300, '0'));
  EXPECT_EQ(plain_decimal(5e-324), "0." + std::string(323, '0') + "5");
}

TEST(PlainDecimal, NonFiniteValues) {
  EXPECT_EQ(plain_decimal(std::numeric_limits<double>::quiet_NaN()), "NaN");
  EXPECT_EQ(plain_decimal(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(plain_decimal(-std::numeric_limits<double>::infinity()), "-inf");
}

TEST(PlainDecimal, RandomBitPatternsReadBackExactly) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 50000; ++i) {
    const double v = std::bit_cast<double>(rng());
    if (!std::isfinite(v)) continue;
    const std::string text = plain_decimal(v);
    ASSERT_EQ(text.find('e'), std::string::npos) << text;
    const double back = std::strtod(text.c_str(), nullptr);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(v)) << text;
  }
}

}  // namespace
}  // namespace velm::format
