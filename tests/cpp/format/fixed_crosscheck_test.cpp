// The fixed-point writers against the C library's "%.*f" on a million values per precision:
// random bit patterns, random magnitudes, exact ties k/8 and the neighbours of decimal ties.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

#include "format/numbers.hpp"

namespace velm::format {
namespace {

double sample(std::mt19937_64& rng, std::uint64_t i) {
  switch (i % 8) {
    case 0: {  // any finite bit pattern, the huge and the subnormal included
      double v = std::bit_cast<double>(rng());
      while (!std::isfinite(v)) v = std::bit_cast<double>(rng());
      return v;
    }
    case 1:
    case 2: {  // random magnitudes 1e-12..1e25
      std::uniform_real_distribution<double> exponent(-12.0, 25.0);
      const double v = std::pow(10.0, exponent(rng));
      return (rng() & 1) != 0 ? -v : v;
    }
    case 3: {  // exact binary ties k/8
      const auto k = static_cast<std::int64_t>(rng() % 4000001) - 2000000;
      return static_cast<double>(k) / 8.0;
    }
    case 4: {  // exact binary ties of finer grids k/2^j
      const auto k = static_cast<std::int64_t>(rng() % 2000001) - 1000000;
      return std::ldexp(static_cast<double>(k), -static_cast<int>(rng() % 20));
    }
    default: {  // next to a decimal tie of the 2nd, 4th or 6th decimal
      const int decimals = 2 * static_cast<int>(1 + rng() % 3);
      const double scale = std::pow(10.0, decimals);
      const double tie = (static_cast<double>(rng() % 100000000) + 0.5) / scale;
      const double toward = (rng() & 1) != 0 ? 0.0 : 1e300;
      double v = tie;
      for (auto steps = rng() % 3; steps > 0; --steps) v = std::nextafter(v, toward);
      return (rng() & 1) != 0 ? -v : v;
    }
  }
}

TEST(FixedFormat, AgreesWithCLibraryOnAMillionValues) {
  std::mt19937_64 rng(0x5eed);
  char expected[max_fixed_length(6) + 16];
  char actual[max_fixed_length(6) + 16];
  int failures = 0;
  for (std::uint64_t i = 0; i < 1000000 && failures < 10; ++i) {
    const double v = sample(rng, i);
    for (const int decimals : {2, 4, 6}) {
      const int width = decimals == 6 ? 0 : 10;
      const int length = std::snprintf(expected, sizeof expected, "%*.*f", width, decimals, v);
      const char* end = write_fixed_padded(actual, v, width, decimals);
      const std::string_view got(actual, static_cast<std::size_t>(end - actual));
      const std::string_view want(expected, static_cast<std::size_t>(length));
      if (got != want) {
        ADD_FAILURE() << std::hexfloat << v << " %" << width << "." << decimals << "f: want "
                      << want << " got " << got;
        ++failures;
      }
    }
    if (i % 4 != 0) continue;  // the unpadded entry point shares the same core
    const int length = std::snprintf(expected, sizeof expected, "%.2f", v);
    const char* end = write_fixed(actual, v, 2);
    EXPECT_EQ(std::string_view(actual, static_cast<std::size_t>(end - actual)),
              std::string_view(expected, static_cast<std::size_t>(length)));
  }
}

}  // namespace
}  // namespace velm::format
