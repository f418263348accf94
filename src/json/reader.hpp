// A pull tokenizer over a document held in memory. The record readers ask it for exactly the
// token they expect next, so every failure is detected, and stamped, where it happens; there is
// no document tree.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/monitor.hpp"
#include "json/error.hpp"

namespace velm::json {

template <class T>
using Result = std::expected<T, ReadError>;

// A key that a record does not have, skipped whole: the record's name (as in messages), the key,
// and the byte index just after its opening quote (describe() then points at that quote).
struct SkippedKey {
  std::string_view record;
  std::string key;
  std::size_t index = 0;
};

class Reader {
 public:
  static constexpr int kDepthLimit = 128;

  explicit Reader(std::string_view text) : text_(text) {}
  // Tells `monitor` how far the reading has come (the share of the text's bytes consumed, as
  // stage "read") and asks it whether to stop, every 1024 elements of the document's lists; a
  // stop fails the read as cancelled.
  Reader(std::string_view text, base::Monitor& monitor) : text_(text), monitor_(&monitor) {}

  // When given a list, the records note there every key they skip; without one nothing is kept.
  void note_skipped_keys(std::vector<SkippedKey>* sink) { skipped_ = sink; }
  std::vector<SkippedKey>* skipped_keys() const { return skipped_; }
  // The byte index after the opening quote of the key next_key read last.
  std::size_t key_index() const { return key_start_; }

  // Strings to look out for (each shorter than 64 bytes, the span outliving the reader): the
  // reader then notes whether a string it scans spells one of them, be it a value, a string in
  // a skipped value or a key scanned by next_key. A key that a record matches in place
  // (match_key) is not looked at. Whether any string held an escape is noted always.
  void watch_strings(std::span<const std::string_view> names) {
    watched_ = names;
    watched_lengths_ = 0;
    for (const std::string_view name : names) watched_lengths_ |= std::uint64_t{1} << name.size();
  }
  // Whether a string looked at spelled a watched one.
  bool saw_watched() const { return saw_watched_; }
  // Whether a string held an escape (a backslash).
  bool saw_escape() const { return saw_escape_; }
  // Looks at a string for the watched ones: a test of its length when none has it.
  void note_string(std::string_view s) {
    if (s.size() < 64 && ((watched_lengths_ >> s.size()) & 1u) != 0) note_watched(s);
  }

  // Skips whitespace and returns the next byte without consuming it (none at the end). Every
  // whitespace byte is at most ' ', so a byte above it is returned at once.
  std::optional<char> peek() {
    if (pos_ < text_.size() && static_cast<unsigned char>(text_[pos_]) > ' ') return text_[pos_];
    return peek_past_space();
  }
  void eat() { ++pos_; }

  // Errors stamped after the bytes consumed so far, or on the byte just peeked.
  ReadError error(std::string message) const { return {std::move(message), pos_}; }
  ReadError peek_error(std::string message) const;

  // The value that starts here does not have the expected kind: consumes it if it is a scalar
  // and describes what was found ("invalid type: integer `3`, expected struct Member").
  ReadError invalid_type(std::string_view expected);

  // Scalars. Each skips leading whitespace and reports a value of another kind as invalid type.
  // The usual numbers (short plain decimals, with neither exponent nor leading zeros) are read
  // in place; every other literal, and every error, the long way from where it starts.
  Result<std::uint32_t> read_u32() {
    const std::size_t at = skip_space(pos_);
    const PlainNumber plain = plain_number(at);
    if (plain.end != 0 && !plain.negative && plain.fraction_digits < 0 && plain.digits <= 9) {
      pos_ = plain.end;
      return static_cast<std::uint32_t>(plain.mantissa);
    }
    return read_u32_checked();
  }
  Result<std::uint64_t> read_u64();
  Result<double> read_f64() {
    const std::size_t at = skip_space(pos_);
    const PlainNumber plain = plain_number(at);
    // Digits below 2^53 and a power of ten up to 22 are both doubles exactly, so one quotient,
    // rounded once, is the double nearest the literal.
    if (plain.end != 0 && plain.mantissa <= (std::uint64_t{1} << 53)) {
      pos_ = plain.end;
      double value = static_cast<double>(plain.mantissa);
      if (plain.fraction_digits > 0)
        value /= kExactPowers[static_cast<std::size_t>(plain.fraction_digits)];
      return plain.negative ? -value : value;
    }
    return read_f64_checked();
  }
  Result<bool> read_bool();
  Result<std::string> read_string(std::string_view expected = "a string");
  // True (and consumed) when the next value is null.
  [[gnu::always_inline]] Result<bool> read_null() {
    const std::size_t at = skip_space(pos_);
    if (at < text_.size() && text_[at] != 'n') {
      pos_ = at;
      return false;
    }
    if (text_.substr(at, 4) == "null") {
      pos_ = at + 4;
      return true;
    }
    return read_null_checked();
  }

  // The powers of ten that doubles hold exactly.
  static constexpr std::array<double, 23> kExactPowers = {
      1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

  // The small steps of the usual case are always inlined where they are taken: each is a few
  // instructions, and a record's reader takes them dozens of times.

  // Containers: begin_* checks the nesting limit and consumes the bracket after the caller
  // has peeked it; next_* returns false when the closing bracket is next (not consumed);
  // end_* consumes the closing bracket or reports what stands in its way.
  Result<void> begin_container();
  void end_container() { --depth_; }
  Result<bool> next_element(bool& first) {
    if (monitor_ != nullptr && !keep_going()) return std::unexpected(ReadError{{}, pos_, true});
    // The usual case decided in place: a value after `[` or after a comma; all else (and every
    // error) the long way from where it starts.
    std::size_t at = skip_space(pos_);
    if (at < text_.size()) {
      if (first) {
        if (text_[at] != ']') {
          pos_ = at;
          first = false;
          return true;
        }
      } else if (text_[at] == ',') {
        at = skip_space(at + 1);
        if (at < text_.size() && text_[at] != ']') {
          pos_ = at;
          return true;
        }
      }
    }
    return next_element_checked(first);
  }
  Result<bool> next_key(bool& first, std::string& key);
  // The same, the key a view: into the text when it holds no escape and no byte beyond ASCII,
  // else into a buffer of the reader's that the next key or skipped string overwrites.
  Result<bool> next_key(bool& first, std::string_view& key) {
    auto more = next_entry(first);
    if (!more || !*more) return more;
    if (auto ok = key_after_quote(key); !ok) return std::unexpected(ok.error());
    return true;
  }
  // next_key(view) in two steps. First: moves to the key of the next entry of an object and
  // consumes its opening quote; false (and nothing consumed) when the object closes here. The
  // usual case is decided in place.
  [[gnu::always_inline]] Result<bool> next_entry(bool& first) {
    std::size_t at = skip_space(pos_);
    if (at < text_.size() && !first && text_[at] == ',')
      at = skip_space(at + 1);
    else if (!first)
      return next_entry_checked(first);
    if (at < text_.size() && text_[at] == '"') {
      pos_ = at + 1;
      first = false;
      return true;
    }
    return next_entry_checked(first);
  }
  // Then: the key up to and including its closing quote.
  Result<void> key_after_quote(std::string_view& key) {
    key_start_ = pos_;
    const std::size_t end = plain_run_end(pos_);
    if (end < text_.size() && text_[end] == '"') {  // plain: a view into the text
      key = text_.substr(pos_, end - pos_);
      pos_ = end + 1;
      note_string(key);
      return {};
    }
    auto text = scan_string_view();
    if (!text) return std::unexpected(text.error());
    key = *text;
    note_string(key);
    return {};
  }
  // Or, instead of key_after_quote: consumes the key and its closing quote when the text spells
  // exactly `key` there (a key spelled with escapes is left to key_after_quote).
  [[gnu::always_inline]] bool match_key(std::string_view key) {
    const std::size_t end = pos_ + key.size();
    if (end >= text_.size() || text_[end] != '"' ||
        std::memcmp(text_.data() + pos_, key.data(), key.size()) != 0)
      return false;
    key_start_ = pos_;
    pos_ = end + 1;
    return true;
  }

  // The bytes that end a plain run of a string: the quote, the backslash, control characters
  // and every byte beyond ASCII (which starts a sequence to check).
  static constexpr std::array<bool, 256> kStringStops = [] {
    std::array<bool, 256> stops{};
    for (std::size_t c = 0; c < 256; ++c) stops[c] = c == '"' || c == '\\' || c < 0x20 || c >= 0x80;
    return stops;
  }();
  // A map key holding an unsigned 32-bit integer in quotes ("12").
  Result<bool> next_numeric_key(bool& first, std::uint32_t& key);
  [[gnu::always_inline]] Result<void> colon() {
    const std::size_t at = skip_space(pos_);
    if (at < text_.size() && text_[at] == ':') {
      pos_ = at + 1;
      return {};
    }
    return colon_missing();
  }
  Result<void> end_seq();
  Result<void> end_map();

  // Skips one well-formed value of any kind.
  Result<void> skip_value();
  // Only whitespace may follow the document.
  Result<void> finish();

 private:
  // A number literal's extent and its decimal parts: the digits as an integer (exact when there
  // are at most 19 of them), and the power of ten that scales it (the exponent less the count of
  // fraction digits).
  struct Number {
    std::size_t begin = 0, end = 0;
    bool negative = false;
    bool integral = true;  // no fraction and no exponent
    int digits = 0;
    std::uint64_t mantissa = 0;
    std::int64_t scale = 0;
  };

  void note_watched(std::string_view s);
  Result<bool> next_entry_checked(bool& first);
  Result<std::uint32_t> read_u32_checked();
  Result<double> read_f64_checked();
  Result<bool> read_null_checked();

  // A number literal of the usual form at `at`: an optional minus, at most 19 digits without a
  // leading zero (but "0" itself) and at most one point among them, no exponent, ended by a
  // byte that cannot continue a number. `end` is 0 when the literal has another form.
  struct PlainNumber {
    std::size_t end = 0;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fraction_digits = -1;  // -1 without a point
    bool negative = false;
  };
  // The end of the run of plain string bytes (none of kStringStops) that starts at `at`. On
  // little-endian machines eight bytes at a time, each test exact per byte: with the high bits
  // cleared, adding 0x60 sets a byte's high bit unless it is below 0x20, and adding 0x7F to its
  // xor with a byte sets the high bit unless the two are equal (no carry crosses bytes).
  std::size_t plain_run_end(std::size_t at) const {
    const std::size_t size = text_.size();
    if constexpr (std::endian::native == std::endian::little) {
      constexpr std::uint64_t kHigh = 0x8080808080808080u, kLow = 0x7F7F7F7F7F7F7F7Fu;
      for (; at + 8 <= size; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, text_.data() + at, sizeof word);
        const std::uint64_t low = word & kLow;
        const std::uint64_t control = ~(low + 0x6060606060606060u);
        const std::uint64_t quote = ~((low ^ 0x2222222222222222u) + kLow);
        const std::uint64_t backslash = ~((low ^ 0x5C5C5C5C5C5C5C5Cu) + kLow);
        const std::uint64_t stops = (word | control | quote | backslash) & kHigh;
        if (stops != 0) return at + static_cast<std::size_t>(std::countr_zero(stops)) / 8;
      }
    }
    while (at < size && !kStringStops[static_cast<unsigned char>(text_[at])]) ++at;
    return at;
  }

  PlainNumber plain_number(std::size_t at) const {
    PlainNumber plain;
    const std::size_t size = text_.size();
    if (at < size && text_[at] == '-') {
      plain.negative = true;
      ++at;
    }
    const std::size_t digits_start = at;
    for (; at < size && text_[at] >= '0' && text_[at] <= '9'; ++at)
      plain.mantissa = 10 * plain.mantissa + static_cast<std::uint64_t>(text_[at] - '0');
    std::size_t count = at - digits_start;
    if (count == 0 || (count > 1 && text_[digits_start] == '0')) return {};
    if (at < size && text_[at] == '.') {
      const std::size_t fraction_start = ++at;
      for (; at < size && text_[at] >= '0' && text_[at] <= '9'; ++at)
        plain.mantissa = 10 * plain.mantissa + static_cast<std::uint64_t>(text_[at] - '0');
      if (at == fraction_start) return {};
      plain.fraction_digits = static_cast<int>(at - fraction_start);
      count += at - fraction_start;
    }
    if (count > 19 || (at < size && (text_[at] == 'e' || text_[at] == 'E'))) return {};
    plain.digits = static_cast<int>(count);
    plain.end = at;
    return plain;
  }
  Result<bool> next_element_checked(bool& first);
  Result<void> colon_missing();
  [[gnu::always_inline]] std::size_t skip_space(std::size_t at) const {
    while (at < text_.size() && static_cast<unsigned char>(text_[at]) <= ' ' &&
           (text_[at] == ' ' || text_[at] == '\n' || text_[at] == '\t' || text_[at] == '\r'))
      ++at;
    return at;
  }
  Result<Number> scan_number();
  Result<double> number_value(const Number& number) const;
  std::string describe_number(const Number& number) const;
  template <class Unsigned>
  Result<Unsigned> read_unsigned(std::string_view expected);
  Result<void> scan_string(std::string& out);
  // The opening quote consumed: the string up to its closing quote, as next_key(view) keeps it.
  Result<std::string_view> scan_string_view();
  std::optional<char> peek_past_space();
  Result<void> scan_escape(std::string& out);
  Result<std::uint32_t> scan_hex4();
  Result<void> scan_ident(std::string_view rest);
  Result<void> skip_nested();

  bool keep_going();

  std::string_view text_;
  base::Monitor* monitor_ = nullptr;
  std::size_t elements_ = 0;
  std::size_t pos_ = 0;
  int depth_ = 0;
  std::vector<SkippedKey>* skipped_ = nullptr;
  std::size_t key_start_ = 0;
  std::string buffer_;  // a string with escapes, decoded for scan_string_view
  std::span<const std::string_view> watched_;
  std::uint64_t watched_lengths_ = 0;  // bit n set when a watched string has n bytes
  bool saw_watched_ = false;
  bool saw_escape_ = false;
};

}  // namespace velm::json
