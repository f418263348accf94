#include "json/reader.hpp"

#include <array>
#include <charconv>
#include <limits>
#include <string>

#include <fmt/format.h>

#include "format/numbers.hpp"
#include "json/scanner.hpp"

namespace velm::json {
namespace {

// The power of ten of a JSON number's leading non-zero digit (0 for "1.5", -3 for "0.002e0",
// 4 for "12e3"), saturated far beyond the range of doubles; 0 for a literal of zeros.
std::int64_t decimal_magnitude(std::string_view literal) {
  constexpr std::int64_t kLimit = std::int64_t{1} << 40;
  std::int64_t integer_digits = 0;  // from the leading non-zero one on
  std::int64_t fraction_zeros = 0;  // before the leading non-zero digit, when it is a fraction
  bool in_fraction = false, found = false;
  std::size_t i = literal.starts_with('-') ? 1 : 0;
  for (; i < literal.size() && literal[i] != 'e' && literal[i] != 'E'; ++i) {
    const char c = literal[i];
    if (c == '.') {
      in_fraction = true;
    } else if (!in_fraction) {
      if (c != '0' || integer_digits > 0) ++integer_digits;
    } else if (integer_digits == 0 && !found) {
      if (c == '0')
        ++fraction_zeros;
      else
        found = true;
    }
  }
  if (integer_digits == 0 && !found) return 0;
  const std::int64_t lead = integer_digits > 0 ? integer_digits - 1 : -(fraction_zeros + 1);
  std::int64_t exponent = 0;
  if (i < literal.size()) {
    ++i;
    const bool negative = i < literal.size() && literal[i] == '-';
    if (i < literal.size() && (literal[i] == '-' || literal[i] == '+')) ++i;
    for (; i < literal.size() && exponent < kLimit; ++i)
      exponent = 10 * exponent + (literal[i] - '0');
    if (negative) exponent = -exponent;
  }
  return lead + exponent;
}

// A string as a message shows it: quoted, with quotes, backslashes and control characters
// escaped.
std::string quoted(std::string_view s) {
  std::string out = "\"";
  for (const char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
          out += fmt::format("\\u{{{:x}}}", static_cast<unsigned>(static_cast<unsigned char>(c)));
        else
          out.push_back(c);
    }
  }
  out.push_back('"');
  return out;
}

}  // namespace

ReadError Reader::invalid_type(std::string_view expected) {
  const auto next = peek();
  std::string found;
  if (!next) return peek_error("EOF while parsing a value");
  switch (*next) {
    case 'n':
      eat();
      if (auto ok = scan_ident("ull"); !ok) return ok.error();
      found = "null";
      break;
    case 't':
      eat();
      if (auto ok = scan_ident("rue"); !ok) return ok.error();
      found = "boolean `true`";
      break;
    case 'f':
      eat();
      if (auto ok = scan_ident("alse"); !ok) return ok.error();
      found = "boolean `false`";
      break;
    case '"': {
      eat();
      std::string text;
      if (auto ok = scan_string(text); !ok) return ok.error();
      found = "string " + quoted(text);
      break;
    }
    case '[':
      found = "sequence";
      break;
    case '{':
      found = "map";
      break;
    default: {
      if (*next != '-' && !is_digit(*next)) return peek_error("expected value");
      auto number = scan_number();
      if (!number) return number.error();
      if (!number->integral) {
        auto value = number_value(*number);
        if (!value) return value.error();
      }
      found = describe_number(*number);
    }
  }
  return error(fmt::format("invalid type: {}, expected {}", found, expected));
}

Result<double> Reader::number_value(const Number& number) const {
  // Digits below 2^53 and a power of ten up to 22 are both doubles exactly, so one product or
  // quotient, rounded once, is the double nearest the literal.
  if (number.digits <= 19 && number.mantissa <= (std::uint64_t{1} << 53) && number.scale >= -22 &&
      number.scale <= 22) {
    double value = static_cast<double>(number.mantissa);
    value = number.scale < 0 ? value / kExactPowers[static_cast<std::size_t>(-number.scale)]
                             : value * kExactPowers[static_cast<std::size_t>(number.scale)];
    return number.negative ? -value : value;
  }
  const char* first = text_.data() + number.begin;
  const char* last = text_.data() + number.end;
  double value = 0.0;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec == std::errc::result_out_of_range) {
    // Out of range is either side of the finite doubles: a literal below the smallest
    // subnormal reads as the nearest double, zero; one above the largest has none.
    if (decimal_magnitude(std::string_view(first, static_cast<std::size_t>(last - first))) < 0)
      return number.negative ? -0.0 : 0.0;
    return std::unexpected(error("number out of range"));
  }
  if (ec != std::errc() || end != last) return std::unexpected(error("invalid number"));
  return value;
}

std::string Reader::describe_number(const Number& number) const {
  const std::string_view literal = text_.substr(number.begin, number.end - number.begin);
  if (number.integral) {
    // Negative zero is a floating-point value, not an integer.
    if (literal.find_first_not_of("-0") != std::string_view::npos || !number.negative)
      return fmt::format("integer `{}`", literal);
  }
  const auto value = number_value(number);
  return fmt::format("floating point `{}`",
                     value ? format::shortest(*value) : std::string(literal));
}

template <class Unsigned>
Result<Unsigned> Reader::read_unsigned(std::string_view expected) {
  const auto next = peek();
  if (!next) return std::unexpected(peek_error("EOF while parsing a value"));
  if (*next != '-' && !is_digit(*next)) return std::unexpected(invalid_type(expected));
  auto number = scan_number();
  if (!number) return std::unexpected(number.error());
  if (number->integral && !number->negative && number->digits <= 19 &&
      number->mantissa <= std::numeric_limits<Unsigned>::max())
    return static_cast<Unsigned>(number->mantissa);
  const std::string found = describe_number(*number);
  if (!number->integral || found.starts_with("floating")) {
    if (auto value = number_value(*number); !value) return std::unexpected(value.error());
    return std::unexpected(error(fmt::format("invalid type: {}, expected {}", found, expected)));
  }
  Unsigned value = 0;
  const char* first = text_.data() + number->begin;
  const char* last = text_.data() + number->end;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (number->negative || ec != std::errc() || end != last)
    return std::unexpected(error(fmt::format("invalid value: {}, expected {}", found, expected)));
  return value;
}

Result<std::uint32_t> Reader::read_u32_checked() {
  return read_unsigned<std::uint32_t>("u32");
}
Result<std::uint64_t> Reader::read_u64() {
  return read_unsigned<std::uint64_t>("u64");
}

Result<double> Reader::read_f64_checked() {
  const auto next = peek();
  if (!next) return std::unexpected(peek_error("EOF while parsing a value"));
  if (*next != '-' && !is_digit(*next)) return std::unexpected(invalid_type("f64"));
  auto number = scan_number();
  if (!number) return std::unexpected(number.error());
  return number_value(*number);
}

Result<bool> Reader::read_bool() {
  const auto next = peek();
  if (!next) return std::unexpected(peek_error("EOF while parsing a value"));
  if (*next == 't' || *next == 'f') {
    eat();
    if (auto ok = scan_ident(*next == 't' ? "rue" : "alse"); !ok)
      return std::unexpected(ok.error());
    return *next == 't';
  }
  return std::unexpected(invalid_type("a boolean"));
}

Result<std::string> Reader::read_string(std::string_view expected) {
  const auto next = peek();
  if (!next) return std::unexpected(peek_error("EOF while parsing a value"));
  if (*next != '"') return std::unexpected(invalid_type(expected));
  eat();
  std::string out;
  if (auto ok = scan_string(out); !ok) return std::unexpected(ok.error());
  note_string(out);
  return out;
}

Result<bool> Reader::read_null_checked() {
  const auto next = peek();
  if (next != 'n') return false;
  eat();
  if (auto ok = scan_ident("ull"); !ok) return std::unexpected(ok.error());
  return true;
}

Result<void> Reader::begin_container() {
  if (++depth_ >= kDepthLimit) return std::unexpected(peek_error("recursion limit exceeded"));
  eat();
  return {};
}

bool Reader::keep_going() {
  if (monitor_ == nullptr || ++elements_ % 1024 != 0) return true;
  monitor_->stage_progress("read", static_cast<double>(pos_) / static_cast<double>(text_.size()));
  return !monitor_->stop_requested();
}

// The monitor has been asked already.
Result<bool> Reader::next_element_checked(bool& first) {
  auto next = peek();
  if (!next) return std::unexpected(peek_error("EOF while parsing a list"));
  if (*next == ']') return false;
  if (!first) {
    if (*next != ',') return std::unexpected(peek_error("expected `,` or `]`"));
    eat();
    next = peek();
  }
  first = false;
  if (!next) return std::unexpected(peek_error("EOF while parsing a value"));
  if (*next == ']') return std::unexpected(peek_error("trailing comma"));
  return true;
}

Result<bool> Reader::next_entry_checked(bool& first) {
  auto next = peek();
  if (!next) return std::unexpected(peek_error("EOF while parsing an object"));
  if (*next == '}') return false;
  if (!first) {
    if (*next != ',') return std::unexpected(peek_error("expected `,` or `}`"));
    eat();
    next = peek();
  }
  first = false;
  if (!next) return std::unexpected(peek_error("EOF while parsing a value"));
  if (*next == '}') return std::unexpected(peek_error("trailing comma"));
  if (*next != '"') return std::unexpected(peek_error("key must be a string"));
  eat();
  return true;
}

Result<bool> Reader::next_key(bool& first, std::string& key) {
  auto more = next_entry(first);
  if (!more || !*more) return more;
  key.clear();
  key_start_ = pos_;
  if (auto ok = scan_string(key); !ok) return std::unexpected(ok.error());
  note_string(key);
  return true;
}

void Reader::note_watched(std::string_view s) {
  for (const std::string_view name : watched_)
    if (s == name) saw_watched_ = true;
}

Result<bool> Reader::next_numeric_key(bool& first, std::uint32_t& key) {
  auto more = next_entry(first);
  if (!more || !*more) return more;
  if (pos_ == text_.size() || !(is_digit(text_[pos_]) || text_[pos_] == '-'))
    return std::unexpected(error("invalid value: expected key to be a number in quotes"));
  auto value = read_u32();
  if (!value) return std::unexpected(value.error());
  if (pos_ == text_.size() || text_[pos_] != '"')
    return std::unexpected(peek_error("expected `\"`"));
  eat();
  key = *value;
  return true;
}

Result<void> Reader::colon_missing() {
  const auto next = peek();
  if (!next) return std::unexpected(peek_error("EOF while parsing an object"));
  if (*next != ':') return std::unexpected(peek_error("expected `:`"));
  eat();
  return {};
}

Result<void> Reader::end_seq() {
  const auto next = peek();
  if (!next) return std::unexpected(peek_error("EOF while parsing a list"));
  if (*next == ']') {
    eat();
    return {};
  }
  if (*next == ',') {
    eat();
    if (peek() == ']') return std::unexpected(peek_error("trailing comma"));
  }
  return std::unexpected(peek_error("trailing characters"));
}

Result<void> Reader::end_map() {
  const auto next = peek();
  if (!next) return std::unexpected(peek_error("EOF while parsing an object"));
  if (*next == '}') {
    eat();
    return {};
  }
  if (*next == ',') return std::unexpected(peek_error("trailing comma"));
  return std::unexpected(peek_error("trailing characters"));
}

Result<void> Reader::skip_value() {
  const auto next = peek();
  if (!next) return std::unexpected(peek_error("EOF while parsing a value"));
  // The usual scalars pass at once: a plain number is always in range.
  if (const PlainNumber plain = plain_number(pos_); plain.end != 0) {
    pos_ = plain.end;
    return {};
  }
  if (text_.substr(pos_, 4) == "null" || text_.substr(pos_, 4) == "true") {
    pos_ += 4;
    return {};
  }
  switch (*next) {
    case 'n':
      eat();
      return scan_ident("ull");
    case 't':
      eat();
      return scan_ident("rue");
    case 'f':
      eat();
      return scan_ident("alse");
    case '"': {
      eat();
      auto text = scan_string_view();
      if (!text) return std::unexpected(text.error());
      note_string(*text);
      return {};
    }
    case '[':
    case '{':
      return skip_nested();
    default: {
      if (*next != '-' && !is_digit(*next)) return std::unexpected(peek_error("expected value"));
      auto number = scan_number();
      if (!number) return std::unexpected(number.error());
      if (!number->integral) {
        if (auto value = number_value(*number); !value) return std::unexpected(value.error());
      }
      return {};
    }
  }
}

Result<void> Reader::skip_nested() {
  const bool is_object = text_[pos_] == '{';
  if (auto ok = begin_container(); !ok) return ok;
  bool first = true;
  if (is_object) {
    std::string_view key;
    while (true) {
      auto more = next_key(first, key);
      if (!more) return std::unexpected(more.error());
      if (!*more) break;
      if (auto ok = colon(); !ok) return ok;
      if (auto ok = skip_value(); !ok) return ok;
    }
  } else {
    while (true) {
      auto more = next_element(first);
      if (!more) return std::unexpected(more.error());
      if (!*more) break;
      if (auto ok = skip_value(); !ok) return ok;
    }
  }
  end_container();
  return is_object ? end_map() : end_seq();
}

Result<void> Reader::finish() {
  if (peek()) return std::unexpected(peek_error("trailing characters"));
  return {};
}

}  // namespace velm::json
