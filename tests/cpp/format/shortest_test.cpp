// The shortest round-trip form: its layout switches and the exact read-back of any double.
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

TEST(ShortestFormat, PlainNotationInsideSixteenDigits) {
  EXPECT_EQ(shortest(1.0), "1.0");
  EXPECT_EQ(shortest(0.1), "0.1");
  EXPECT_EQ(shortest(0.0), "0.0");
  EXPECT_EQ(shortest(-0.0), "-0.0");
  EXPECT_EQ(shortest(12.34), "12.34");
  EXPECT_EQ(shortest(-123.456), "-123.456");
  EXPECT_EQ(shortest(100.0), "100.0");
  EXPECT_EQ(shortest(1e15), "1000000000000000.0");
  EXPECT_EQ(shortest(1234567890123456.0), "1234567890123456.0");
  EXPECT_EQ(shortest(0.0001), "0.0001");
  EXPECT_EQ(shortest(1e-5), "0.00001");
  EXPECT_EQ(shortest(1.25e-5), "0.0000125");
  EXPECT_EQ(shortest(0.30000000000000004), "0.30000000000000004");
}

TEST(ShortestFormat, ExponentNotationOutside) {
  EXPECT_EQ(shortest(1e16), "1e16");
  EXPECT_EQ(shortest(1e20), "1e20");
  EXPECT_EQ(shortest(1e-6), "1e-6");
  EXPECT_EQ(shortest(1e-7), "1e-7");
  EXPECT_EQ(shortest(1.5e-7), "1.5e-7");
  EXPECT_EQ(shortest(-2.5e300), "-2.5e300");
  EXPECT_EQ(shortest(1.234e33), "1.234e33");
  EXPECT_EQ(shortest(12345678901234567.0), "1.2345678901234568e16");
  EXPECT_EQ(shortest(123456789012345680000.0), "1.2345678901234568e20");
  EXPECT_EQ(shortest(5e-324), "5e-324");
  EXPECT_EQ(shortest(std::numeric_limits<double>::max()), "1.7976931348623157e308");
  EXPECT_EQ(shortest(-std::numeric_limits<double>::denorm_min()), "-5e-324");
  EXPECT_EQ(shortest(2.2250738585072014e-308), "2.2250738585072014e-308");
}

TEST(ShortestFormat, RandomBitPatternsReadBackExactly) {
  std::mt19937_64 rng(42);
  char text[kMaxShortestLength + 1];
  for (int i = 0; i < 200000; ++i) {
    const double v = std::bit_cast<double>(rng());
    if (!std::isfinite(v)) continue;
    char* end = write_shortest(text, v);
    ASSERT_LE(end - text, static_cast<std::ptrdiff_t>(kMaxShortestLength));
    *end = '\0';
    const double back = std::strtod(text, nullptr);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(v)) << text;
  }
}

}  // namespace
}  // namespace velm::format
