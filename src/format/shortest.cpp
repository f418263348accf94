// Shortest round-trip text of a double. std::to_chars in scientific form without a precision
// yields the shortest digit string that reads back exactly; this file only re-lays it out:
// plain notation while the decimal point falls within 16 digits of the start (or at most four
// zeros after "0."), exponent notation outside.
#include <charconv>
#include <cstring>
#include <string>

#include "format/decimal_digits.hpp"
#include "format/numbers.hpp"

namespace velm::format {

namespace detail {

ShortestDigits shortest_digits(double value) {
  char text[kMaxShortestLength];
  const char* const end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
  ShortestDigits result{};
  const char* p = text;
  result.negative = *p == '-';
  if (result.negative) ++p;
  for (; p < end && *p != 'e'; ++p) {
    if (*p != '.') result.digits[result.count++] = *p;
  }
  ++p;  // 'e'
  const bool negative_exponent = *p == '-';
  ++p;  // sign
  int exponent = 0;
  for (; p < end; ++p) exponent = exponent * 10 + (*p - '0');
  result.point = (negative_exponent ? -exponent : exponent) + 1;
  return result;
}

}  // namespace detail

namespace {

char* fill(char* out, char c, int count) {
  for (int i = 0; i < count; ++i) *out++ = c;
  return out;
}

char* copy(char* out, const char* from, int count) {
  std::memcpy(out, from, static_cast<std::size_t>(count));
  return out + count;
}

}  // namespace

char* write_shortest(char* out, double value) {
  const detail::ShortestDigits d = detail::shortest_digits(value);
  const int n = d.count;
  const int point = d.point;  // value = 0.d1..dn * 10^point
  if (d.negative) *out++ = '-';
  if (point >= n && point <= 16) {  // integral: 1000000000000000.0
    out = copy(out, d.digits, n);
    out = fill(out, '0', point - n);
    return copy(out, ".0", 2);
  }
  if (point > 0 && point <= 16) {  // 123.456
    out = copy(out, d.digits, point);
    *out++ = '.';
    return copy(out, d.digits + point, n - point);
  }
  if (point > -5 && point <= 0) {  // 0.0001
    out = copy(out, "0.", 2);
    out = fill(out, '0', -point);
    return copy(out, d.digits, n);
  }
  *out++ = d.digits[0];  // 1e16, 1.5e-7
  if (n > 1) {
    *out++ = '.';
    out = copy(out, d.digits + 1, n - 1);
  }
  *out++ = 'e';
  return std::to_chars(out, out + 5, point - 1).ptr;
}

std::string shortest(double value) {
  char text[kMaxShortestLength];
  return std::string(text, write_shortest(text, value));
}

}  // namespace velm::format
