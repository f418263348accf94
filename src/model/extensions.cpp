#include "model/extensions.hpp"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "json/error.hpp"
#include "json/read_value.hpp"

namespace velm::model {

namespace {

// Whether the text may hold an extension key: a string that begins like one, or an escape (a
// key may spell its letters as \u escapes). A text that holds neither holds no extensions and
// needs no second pass of the reader. One search for a backslash, then a look at the byte after
// each quote.
bool may_hold_extensions(std::string_view text) {
  // A backslash can stand only in a string; one anywhere is enough.
  if (text.find('\\') != std::string_view::npos) return true;
  static constexpr std::array<bool, 256> kFirstLetters = [] {
    std::array<bool, 256> letters{};
    for (const std::string_view key : kExtensionKeys)
      letters[static_cast<unsigned char>(key[0])] = true;
    return letters;
  }();
  const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  // Whether the quote at i opens a string that begins like a key.
  const auto opens_key = [&](std::size_t i) {
    if (i + 1 >= size || !kFirstLetters[bytes[i + 1]]) return false;
    const std::string_view rest = text.substr(i + 1);
    for (const std::string_view key : kExtensionKeys)
      if (rest.size() > key.size() && rest.starts_with(key) && rest[key.size()] == '"') return true;
    return false;
  };
  // Eight bytes at a time: a byte equal to the quote is one whose xor with it is zero, found
  // exactly by adding 0x7F to the low seven bits (a carry into the high bit unless all are
  // zero) and or-ing in the byte itself; the lowest byte of the word is its first in memory on
  // little-endian machines (elsewhere the bytes are looked at one by one).
  constexpr std::uint64_t kLow = 0x7F7F7F7F7F7F7F7Fu, kQuotes = 0x2222222222222222u;
  std::size_t i = 0;
  for (; std::endian::native == std::endian::little && i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + i, sizeof word);
    const std::uint64_t x = word ^ kQuotes;
    std::uint64_t quotes = ~(((x & kLow) + kLow) | x | kLow);
    while (quotes != 0) {
      if (opens_key(i + static_cast<std::size_t>(std::countr_zero(quotes)) / 8)) return true;
      quotes &= quotes - 1;
    }
  }
  for (; i < size; ++i)
    if (bytes[i] == '"' && opens_key(i)) return true;
  return false;
}

}  // namespace

base::Expected<Extensions> parse_extensions(std::string_view text, base::Monitor& monitor) {
  return parse_extensions(text, monitor, may_hold_extensions(text));
}

base::Expected<Extensions> parse_extensions(std::string_view text, base::Monitor& monitor,
                                            bool may_hold) {
  if (!may_hold) return Extensions{};
  auto extensions = json::read_document<Extensions>(text, monitor);
  if (!extensions && extensions.error().cancelled) return base::fail(base::ErrorCode::cancelled);
  if (!extensions)
    return base::fail(base::ErrorCode::not_well_formed, json::describe(extensions.error(), text));
  return std::move(*extensions);
}

}  // namespace velm::model
