// Shortest round-trip digits in plain decimal, however far the point lies from them: the form
// of values that are read by people and by tools that do not accept exponents.
#include <cmath>
#include <string>

#include "format/decimal_digits.hpp"
#include "format/numbers.hpp"

namespace velm::format {

std::string plain_decimal(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  const detail::ShortestDigits d = detail::shortest_digits(value);
  const int n = d.count;
  const int point = d.point;  // value = 0.d1..dn * 10^point
  std::string text;
  text.reserve(static_cast<std::size_t>(n + (point > 0 ? point : 2 - point) + 2));
  if (d.negative) text += '-';
  if (point >= n) {  // integral
    text.append(d.digits, static_cast<std::size_t>(n));
    text.append(static_cast<std::size_t>(point - n), '0');
  } else if (point > 0) {
    text.append(d.digits, static_cast<std::size_t>(point));
    text += '.';
    text.append(d.digits + point, static_cast<std::size_t>(n - point));
  } else {
    text += "0.";
    text.append(static_cast<std::size_t>(-point), '0');
    text.append(d.digits, static_cast<std::size_t>(n));
  }
  return text;
}

}  // namespace velm::format
