#include "json/reader.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include <fmt/format.h>

#include "format/numbers.hpp"
#include "json/utf8.hpp"

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

bool is_space(char c) {
  return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void append_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
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

std::optional<char> Reader::peek() {
  while (pos_ < text_.size() && is_space(text_[pos_])) ++pos_;
  if (pos_ == text_.size()) return std::nullopt;
  return text_[pos_];
}

ReadError Reader::peek_error(std::string message) const {
  return {std::move(message), std::min(text_.size(), pos_ + 1)};
}

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

Result<Reader::Number> Reader::scan_number() {
  Number number;
  number.begin = pos_;
  if (text_[pos_] == '-') {
    number.negative = true;
    eat();
  }
  if (pos_ == text_.size()) return std::unexpected(error("EOF while parsing a value"));
  const char first = text_[pos_];
  eat();
  if (first == '0') {
    if (pos_ < text_.size() && is_digit(text_[pos_]))
      return std::unexpected(peek_error("invalid number"));
  } else if (!is_digit(first)) {
    return std::unexpected(error("invalid number"));
  }
  while (pos_ < text_.size() && is_digit(text_[pos_])) eat();
  if (pos_ < text_.size() && text_[pos_] == '.') {
    number.integral = false;
    eat();
    const std::size_t digits = pos_;
    while (pos_ < text_.size() && is_digit(text_[pos_])) eat();
    if (pos_ == digits) {
      return std::unexpected(pos_ < text_.size() ? peek_error("invalid number")
                                                 : peek_error("EOF while parsing a value"));
    }
  }
  if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
    number.integral = false;
    eat();
    if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) eat();
    if (pos_ == text_.size()) return std::unexpected(error("EOF while parsing a value"));
    const char digit = text_[pos_];
    eat();
    if (!is_digit(digit)) return std::unexpected(error("invalid number"));
    while (pos_ < text_.size() && is_digit(text_[pos_])) eat();
  }
  number.end = pos_;
  return number;
}

Result<double> Reader::number_value(const Number& number) const {
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

Result<std::uint32_t> Reader::read_u32() {
  return read_unsigned<std::uint32_t>("u32");
}
Result<std::uint64_t> Reader::read_u64() {
  return read_unsigned<std::uint64_t>("u64");
}

Result<double> Reader::read_f64() {
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
  return out;
}

Result<bool> Reader::read_null() {
  const auto next = peek();
  if (next != 'n') return false;
  eat();
  if (auto ok = scan_ident("ull"); !ok) return std::unexpected(ok.error());
  return true;
}

Result<void> Reader::scan_ident(std::string_view rest) {
  for (const char expected : rest) {
    if (pos_ == text_.size()) return std::unexpected(error("EOF while parsing a value"));
    const char c = text_[pos_];
    eat();
    if (c != expected) return std::unexpected(error("expected ident"));
  }
  return {};
}

// The opening quote has been consumed; decodes up to and including the closing quote.
Result<void> Reader::scan_string(std::string& out) {
  while (true) {
    const std::size_t run = pos_;
    while (pos_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[pos_]);
      if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80) break;
      ++pos_;
    }
    out.append(text_.substr(run, pos_ - run));
    if (pos_ == text_.size()) return std::unexpected(error("EOF while parsing a string"));
    const auto c = static_cast<unsigned char>(text_[pos_]);
    if (c == '"') {
      eat();
      return {};
    }
    if (c == '\\') {
      eat();
      if (auto ok = scan_escape(out); !ok) return ok;
    } else if (c < 0x20) {
      eat();
      return std::unexpected(
          error("control character (\\u0000-\\u001F) found while parsing a string"));
    } else {
      const std::size_t length = utf8_sequence_length(text_.substr(pos_));
      if (length == 0) {
        eat();
        return std::unexpected(error("invalid unicode code point"));
      }
      out.append(text_.substr(pos_, length));
      pos_ += length;
    }
  }
}

Result<std::uint32_t> Reader::scan_hex4() {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    if (pos_ == text_.size()) return std::unexpected(error("EOF while parsing a string"));
    const int digit = hex_value(text_[pos_]);
    eat();
    if (digit < 0) return std::unexpected(error("invalid escape"));
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

Result<void> Reader::scan_escape(std::string& out) {
  if (pos_ == text_.size()) return std::unexpected(error("EOF while parsing a string"));
  const char c = text_[pos_];
  eat();
  switch (c) {
    case '"':
      out.push_back('"');
      return {};
    case '\\':
      out.push_back('\\');
      return {};
    case '/':
      out.push_back('/');
      return {};
    case 'b':
      out.push_back('\b');
      return {};
    case 'f':
      out.push_back('\f');
      return {};
    case 'n':
      out.push_back('\n');
      return {};
    case 'r':
      out.push_back('\r');
      return {};
    case 't':
      out.push_back('\t');
      return {};
    case 'u':
      break;
    default:
      return std::unexpected(error("invalid escape"));
  }
  auto unit = scan_hex4();
  if (!unit) return std::unexpected(unit.error());
  std::uint32_t cp = *unit;
  if (cp >= 0xDC00 && cp <= 0xDFFF)
    return std::unexpected(error("lone trailing surrogate in hex escape"));
  if (cp >= 0xD800 && cp <= 0xDBFF) {
    // A leading surrogate must be followed by the escape of its trailing half; alone it has
    // no UTF-8 form and would corrupt the results document.
    if (pos_ + 1 >= text_.size() || text_[pos_] != '\\' || text_[pos_ + 1] != 'u') {
      return std::unexpected(error("lone leading surrogate in hex escape"));
    }
    pos_ += 2;
    auto low = scan_hex4();
    if (!low) return std::unexpected(low.error());
    if (*low < 0xDC00 || *low > 0xDFFF)
      return std::unexpected(error("lone leading surrogate in hex escape"));
    cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
  }
  append_utf8(out, cp);
  return {};
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

Result<bool> Reader::next_element(bool& first) {
  if (!keep_going()) return std::unexpected(ReadError{{}, pos_, true});
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

// Moves to the key of the next entry of an object and consumes its opening quote; false (and
// nothing consumed) when the object closes here.
Result<bool> Reader::next_entry(bool& first) {
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
  if (auto ok = scan_string(key); !ok) return std::unexpected(ok.error());
  return true;
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

Result<void> Reader::colon() {
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
      std::string ignored;
      return scan_string(ignored);
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
    std::string key;
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
