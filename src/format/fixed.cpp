// Fixed-point text of a double ("%.*f"), rounded half to even on the exact binary value.
//
// A finite double is m * 2^e with an integer mantissa m < 2^53. For |value| < 2^53 (e <= 0) and
// up to 19 decimals the scaled value m * 10^d fits in 117 bits, so
//   q = round_half_even(m * 10^d / 2^-e)
// is one 64x64->128 multiplication, a shift and a comparison of the shifted-out bits against
// the exact half: no floating-point rounding is involved anywhere. When q fits in 64 bits its
// digits are written straight into place; everything else (|value| >= 2^53, more than 19
// decimals, q beyond 64 bits) goes through std::to_chars, which is exact for any precision.
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "format/decimal_digits.hpp"
#include "format/numbers.hpp"

namespace velm::format {
namespace {

using detail::kPow10;
// The scaled mantissa needs up to 117 bits; __extension__ keeps -Wpedantic quiet about it.
__extension__ using Uint128 = unsigned __int128;

struct Scaled {
  std::uint64_t q;  // round_half_even(|value| * 10^decimals)
  bool ok;          // false: outside the exact 64-bit path
};

Scaled scale_exact(std::uint64_t bits, int decimals) {
  const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t mantissa = biased == 0 ? fraction : (fraction | (std::uint64_t{1} << 52));
  const int exponent = biased == 0 ? -1074 : biased - 1075;
  if (exponent > 0 || decimals > 19) return {0, false};

  const int shift = -exponent;
  if (decimals <= 3) {  // m * 10^d < 2^63: the same rounding in 64-bit arithmetic
    const std::uint64_t product = mantissa * kPow10[decimals];
    if (shift >= 64) return {0, true};
    std::uint64_t q = product >> shift;
    if (shift > 0) {
      const std::uint64_t rest = product & ((std::uint64_t{1} << shift) - 1);
      const std::uint64_t half = std::uint64_t{1} << (shift - 1);
      if (rest > half || (rest == half && (q & 1) != 0)) ++q;
    }
    return {q, true};
  }
  const Uint128 product = static_cast<Uint128>(mantissa) * kPow10[decimals];
  // product < 2^117: with 117 or more bits shifted out it is below one half.
  if (shift >= 117) return {0, true};
  Uint128 q = product >> shift;
  if (shift > 0) {
    const Uint128 rest = product & ((static_cast<Uint128>(1) << shift) - 1);
    const Uint128 half = static_cast<Uint128>(1) << (shift - 1);
    if (rest > half || (rest == half && (q & 1) != 0)) ++q;
  }
  if ((q >> 64) != 0) return {0, false};
  return {static_cast<std::uint64_t>(q), true};
}

// Length of the text of q with `decimals` decimals, without sign.
int fixed_length(std::uint64_t q, int decimals) {
  const int digits = detail::decimal_length(q);
  const int needed = digits > decimals ? digits : decimals + 1;
  return needed + (decimals > 0 ? 1 : 0);
}

// Writes q / 10^decimals so that it ends at `end`; returns the start.
char* write_scaled_backward(char* end, std::uint64_t q, int decimals) {
  if (decimals > 0) {
    end = detail::write_low_digits_backward(end, q, decimals);
    *--end = '.';
  }
  return detail::write_digits_backward(end, q);
}

// NaN and the infinities, or nullptr for finite values.
const char* special_text(std::uint64_t bits) {
  if (((bits >> 52) & 0x7ff) != 0x7ff) return nullptr;
  if ((bits & ((std::uint64_t{1} << 52) - 1)) != 0) return "NaN";
  return (bits >> 63) != 0 ? "-inf" : "inf";
}

char* write_slow(char* out, double value, int decimals) {
  // The caller guarantees room for max_fixed_length(decimals) characters.
  return std::to_chars(out, out + max_fixed_length(decimals), value, std::chars_format::fixed,
                       decimals)
      .ptr;
}

char* pad_left(char* out, char* end, int width) {
  const auto length = static_cast<int>(end - out);
  if (length >= width) return end;
  const int pad = width - length;
  std::memmove(out + pad, out, static_cast<std::size_t>(length));
  std::memset(out, ' ', static_cast<std::size_t>(pad));
  return out + width;
}

}  // namespace

char* write_fixed(char* out, double value, int decimals) {
  if (decimals < 0) decimals = 0;
  const auto bits = std::bit_cast<std::uint64_t>(value);
  if (const char* special = special_text(bits)) {
    const std::size_t length = std::strlen(special);
    std::memcpy(out, special, length);
    return out + length;
  }
  const Scaled scaled = scale_exact(bits, decimals);
  if (!scaled.ok) return write_slow(out, value, decimals);
  const bool negative = (bits >> 63) != 0;
  char* end = out + (negative ? 1 : 0) + fixed_length(scaled.q, decimals);
  write_scaled_backward(end, scaled.q, decimals);
  if (negative) *out = '-';
  return end;
}

char* write_fixed_padded(char* out, double value, int width, int decimals) {
  if (decimals < 0) decimals = 0;
  const auto bits = std::bit_cast<std::uint64_t>(value);
  if (const char* special = special_text(bits)) {
    const auto length = static_cast<int>(std::strlen(special));
    for (int i = length; i < width; ++i) *out++ = ' ';
    std::memcpy(out, special, static_cast<std::size_t>(length));
    return out + length;
  }
  const Scaled scaled = scale_exact(bits, decimals);
  if (!scaled.ok) return pad_left(out, write_slow(out, value, decimals), width);
  const bool negative = (bits >> 63) != 0;
  const int length = (negative ? 1 : 0) + fixed_length(scaled.q, decimals);
  const int total = length > width ? length : width;
  char* const end = out + total;
  // Spaces first: one eight-byte store covers the usual short pad and the digits overwrite what
  // it puts beyond the pad.
  const int pad = total - length;
  if (pad > 0 && pad <= 8 && total >= 8) {
    std::memcpy(out, "        ", 8);
  } else if (pad > 0) {
    std::memset(out, ' ', static_cast<std::size_t>(pad));
  }
  char* const start = write_scaled_backward(end, scaled.q, decimals);
  if (negative) start[-1] = '-';
  return end;
}

}  // namespace velm::format
