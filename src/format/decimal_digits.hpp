// Digit-level helpers shared by the number writers of this directory. Internal to the format
// layer: nothing outside src/format includes this header.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace velm::format::detail {

// "00" "01" ... "99": two digits per lookup halve the number of divisions.
inline constexpr char kDigitPairs[201] =
    "0001020304050607080910111213141516171819"
    "2021222324252627282930313233343536373839"
    "4041424344454647484950515253545556575859"
    "6061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline constexpr std::uint64_t kPow10[20] = {1ULL,
                                             10ULL,
                                             100ULL,
                                             1000ULL,
                                             10000ULL,
                                             100000ULL,
                                             1000000ULL,
                                             10000000ULL,
                                             100000000ULL,
                                             1000000000ULL,
                                             10000000000ULL,
                                             100000000000ULL,
                                             1000000000000ULL,
                                             10000000000000ULL,
                                             100000000000000ULL,
                                             1000000000000000ULL,
                                             10000000000000000ULL,
                                             100000000000000000ULL,
                                             1000000000000000000ULL,
                                             10000000000000000000ULL};

// Number of decimal digits of v (1 for 0). bits * 1233 / 4096 is floor(bits * log10(2)) for
// every bit count up to 64, so one comparison corrects the estimate.
inline int decimal_length(std::uint64_t v) {
  const int bits = 64 - std::countl_zero(v | 1);
  const int estimate = (bits * 1233) >> 12;
  return estimate + (v >= kPow10[estimate] ? 1 : 0);
}

// Writes exactly `count` low digits of v (with leading zeros) so that they end at `end`;
// returns the start and leaves the remaining high part in v.
inline char* write_low_digits_backward(char* end, std::uint64_t& v, int count) {
  for (; count >= 2; count -= 2) {
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * (v % 100), 2);
    v /= 100;
  }
  if (count == 1) {
    *--end = static_cast<char>('0' + v % 10);
    v /= 10;
  }
  return end;
}

// Writes the four digits of v < 10000 so that they end at `end`.
inline void write_four_digits(char* end, std::uint32_t v) {
  std::memcpy(end - 4, kDigitPairs + 2 * (v / 100), 2);
  std::memcpy(end - 2, kDigitPairs + 2 * (v % 100), 2);
}

// Writes all digits of v (at least one) so that they end at `end`; returns the start. Blocks of
// eight digits split into two independent four-digit halves, which keeps the chain of dependent
// divisions short; the leading block works in 32-bit arithmetic.
inline char* write_digits_backward(char* end, std::uint64_t v) {
  while (v >= 100000000) {
    const auto block = static_cast<std::uint32_t>(v % 100000000);
    v /= 100000000;
    write_four_digits(end, block % 10000);
    write_four_digits(end - 4, block / 10000);
    end -= 8;
  }
  auto w = static_cast<std::uint32_t>(v);
  while (w >= 100) {
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * (w % 100), 2);
    w /= 100;
  }
  if (w >= 10) {
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * w, 2);
  } else {
    *--end = static_cast<char>('0' + w);
  }
  return end;
}

// The shortest decimal digits that read back to a finite double: |value| = 0.d1..dn * 10^point.
// Zero is the single digit "0" with point 1.
struct ShortestDigits {
  char digits[17];
  int count;
  int point;
  bool negative;
};
ShortestDigits shortest_digits(double value);

}  // namespace velm::format::detail
