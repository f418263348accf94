// Number forms of the console, the CSV files and the JSON documents. All are exact: they are
// computed from the binary value of the double, never through the C locale or printf.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velm::format {

// Upper bound of the text write_fixed produces: sign, 309 integer digits, point, decimals.
constexpr std::size_t max_fixed_length(int decimals) {
  return 1 + 309 + 1 + static_cast<std::size_t>(decimals);
}

// "%.*f" of the exact binary value, rounded half to even: 0.125 -> "0.12", -0.0 -> "-0.00",
// 1e20 -> "100000000000000000000.00". NaN -> "NaN", infinities -> "inf", "-inf".
// Writes at most max_fixed_length(decimals) characters; returns the end.
char* write_fixed(char* out, double value, int decimals);

// write_fixed right-aligned in a field of `width` characters; wider values are written in full.
// The buffer needs room for max(width, max_fixed_length(decimals)) characters. A negative
// `decimals` counts as 0 here and in write_fixed.
char* write_fixed_padded(char* out, double value, int width, int decimals);

// The padded cells of an exact zero, for printers that copy runs of zero cells whole:
// write_fixed_padded(out, 0.0, 10, 2) and (out, 0.0, 10, 4).
inline constexpr std::string_view kZeroCell10_2 = "      0.00";
inline constexpr std::string_view kZeroCell10_4 = "    0.0000";

// The JSON form of a finite double: the shortest digits that read back to the same value, in
// plain notation for decimal exponents -5..15 ("1.0", "0.0", "-0.0", "0.0001", "123.456",
// "1000000000000000.0") and in exponent notation outside ("1e16", "1.5e-7", "-2.5e300").
// At most 32 characters; returns the end. Non-finite values are the caller's concern.
constexpr std::size_t kMaxShortestLength = 32;
char* write_shortest(char* out, double value);
std::string shortest(double value);

// The shortest digits that read back exactly, laid out in plain decimal without an exponent;
// integral values have no fraction: 3.0 -> "3", -0.0 -> "-0", 1e21 -> "1000000000000000000000",
// 1.5e-7 -> "0.00000015". NaN -> "NaN", infinities -> "inf", "-inf".
std::string plain_decimal(double value);

}  // namespace velm::format
