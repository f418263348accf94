// The scanner half of Reader: whitespace, the extent of number literals, strings with their
// escapes and UTF-8 checks, and the literals null, true and false. Converting and type-checking
// the values is the reader's part (reader.cpp).
#include <algorithm>
#include <array>
#include <string>

#include "json/reader.hpp"
#include "json/scanner.hpp"
#include "json/utf8.hpp"

namespace velm::json {
namespace {

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

}  // namespace

std::optional<char> Reader::peek_past_space() {
  while (pos_ < text_.size() && is_space(text_[pos_])) ++pos_;
  if (pos_ == text_.size()) return std::nullopt;
  return text_[pos_];
}

ReadError Reader::peek_error(std::string message) const {
  return {std::move(message), std::min(text_.size(), pos_ + 1)};
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
  // The digits accumulate modulo 2^64; only a count of at most 19 makes the value exact.
  std::uint64_t mantissa = static_cast<std::uint64_t>(first - '0');
  int digits = 1;
  while (pos_ < text_.size() && is_digit(text_[pos_])) {
    mantissa = 10 * mantissa + static_cast<std::uint64_t>(text_[pos_] - '0');
    ++digits;
    eat();
  }
  std::int64_t scale = 0;
  if (pos_ < text_.size() && text_[pos_] == '.') {
    number.integral = false;
    eat();
    const std::size_t fraction = pos_;
    while (pos_ < text_.size() && is_digit(text_[pos_])) {
      mantissa = 10 * mantissa + static_cast<std::uint64_t>(text_[pos_] - '0');
      ++digits;
      eat();
    }
    if (pos_ == fraction) {
      return std::unexpected(pos_ < text_.size() ? peek_error("invalid number")
                                                 : peek_error("EOF while parsing a value"));
    }
    scale = -static_cast<std::int64_t>(pos_ - fraction);
  }
  if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
    number.integral = false;
    eat();
    bool negative_exponent = false;
    if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
      negative_exponent = text_[pos_] == '-';
      eat();
    }
    if (pos_ == text_.size()) return std::unexpected(error("EOF while parsing a value"));
    const char digit = text_[pos_];
    eat();
    if (!is_digit(digit)) return std::unexpected(error("invalid number"));
    constexpr std::int64_t kLimit = std::int64_t{1} << 40;  // far beyond the doubles' range
    std::int64_t exponent = digit - '0';
    while (pos_ < text_.size() && is_digit(text_[pos_])) {
      if (exponent < kLimit) exponent = 10 * exponent + (text_[pos_] - '0');
      eat();
    }
    scale += negative_exponent ? -exponent : exponent;
  }
  number.end = pos_;
  number.digits = digits;
  number.mantissa = mantissa;
  number.scale = scale;
  return number;
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
    pos_ = plain_run_end(pos_);
    out.append(text_.substr(run, pos_ - run));
    if (pos_ == text_.size()) return std::unexpected(error("EOF while parsing a string"));
    const auto c = static_cast<unsigned char>(text_[pos_]);
    if (c == '"') {
      eat();
      return {};
    }
    if (c == '\\') {
      saw_escape_ = true;
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

Result<std::string_view> Reader::scan_string_view() {
  const std::size_t run = pos_;
  pos_ = plain_run_end(pos_);
  if (pos_ < text_.size() && text_[pos_] == '"') {
    eat();
    return text_.substr(run, pos_ - 1 - run);
  }
  buffer_.assign(text_.substr(run, pos_ - run));
  if (auto ok = scan_string(buffer_); !ok) return std::unexpected(ok.error());
  return std::string_view(buffer_);
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

}  // namespace velm::json
