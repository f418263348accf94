// Cross-checks the fixed-point writer against the C library on ten million values and measures
// the throughput of the "%10.2f" cell writer on stiffness-like magnitudes.
//
//   format_check [count]      (default 10000000)
//
// Exits with status 1 on the first mismatch, printing the value and both texts.
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "format/numbers.hpp"

namespace {

double random_value(std::mt19937_64& rng, std::uint64_t i) {
  switch (i % 5) {
    case 0:
      return std::bit_cast<double>(rng());
    case 1: {
      std::uniform_real_distribution<double> exponent(-12.0, 25.0);
      const double v = std::pow(10.0, exponent(rng));
      return (rng() & 1) ? -v : v;
    }
    case 2:
      return static_cast<double>(static_cast<std::int64_t>(rng() % 2000001) - 1000000) / 8.0;
    case 3: {  // next to a tie of the second decimal
      const double tie = (static_cast<double>(rng() % 2000000) + 0.5) / 100.0;
      return std::nextafter(tie, (rng() & 1) ? 0.0 : 1e300);
    }
    default: {
      std::uniform_real_distribution<double> exponent(-3.0, 9.0);
      return std::pow(10.0, exponent(rng));
    }
  }
}

bool check(double v, int decimals, int width) {
  char expected[512];
  char actual[512];
  std::snprintf(expected, sizeof expected, "%*.*f", width, decimals, v);
  char* end = velm::format::write_fixed_padded(actual, v, width, decimals);
  *end = '\0';
  if (std::isnan(v))
    return std::strcmp(actual, std::string(static_cast<std::size_t>(width > 3 ? width - 3 : 0), ' ')
                                   .append("NaN")
                                   .c_str()) == 0;
  if (std::strcmp(expected, actual) == 0) return true;
  std::printf("mismatch for %a with %%%d.%df: expected '%s' got '%s'\n", v, width, decimals,
              expected, actual);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10000000ULL;
  std::mt19937_64 rng(20240611);
  for (std::uint64_t i = 0; i < count; ++i) {
    const double v = random_value(rng, i);
    if (!check(v, 2, 10) || !check(v, 4, 10) || !check(v, 6, 0)) return 1;
  }
  std::printf("cross-check: %llu values x 3 formats agree\n",
              static_cast<unsigned long long>(count));

  // Throughput: one matrix row of 1000 cells rewritten until 600 MB have been produced.
  std::vector<double> row(1000);
  std::uniform_real_distribution<double> exponent(-3.0, 9.0);
  for (double& v : row) v = ((rng() & 1) ? -1.0 : 1.0) * std::pow(10.0, exponent(rng));
  std::vector<char> buffer(row.size() * 64);
  double bytes = 0;
  unsigned checksum = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int pass = 0; pass < 60000; ++pass) {
    char* out = buffer.data();
    for (double v : row) out = velm::format::write_fixed_padded(out, v, 10, 2);
    bytes += static_cast<double>(out - buffer.data());
    checksum += static_cast<unsigned char>(buffer[static_cast<std::size_t>(pass) % 1000]);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%%10.2f writer: %.0f MB in %.3f s = %.2f GB/s (checksum %u)\n", bytes / 1e6, seconds,
              bytes / 1e9 / seconds, checksum);
  return 0;
}
