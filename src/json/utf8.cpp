#include "json/utf8.hpp"

#include <cstdint>
#include <cstring>

namespace velm::json {

std::size_t utf8_sequence_length(std::string_view s) {
  if (s.empty()) return 0;
  const auto b0 = static_cast<unsigned char>(s[0]);
  if (b0 < 0x80) return 1;
  std::size_t length;
  std::uint32_t cp;
  if (b0 < 0xC2) return 0;  // continuation byte, or the lead of an overlong two-byte form
  if (b0 < 0xE0) {
    length = 2, cp = b0 & 0x1Fu;
  } else if (b0 < 0xF0) {
    length = 3, cp = b0 & 0x0Fu;
  } else if (b0 < 0xF5) {
    length = 4, cp = b0 & 0x07u;
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3Fu);
  }
  if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
  if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
  return length;
}

bool is_valid_utf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    // Eight ASCII bytes at a time: none has its high bit set.
    if (i + 8 <= text.size()) {
      std::uint64_t word;
      std::memcpy(&word, text.data() + i, sizeof word);
      if ((word & 0x8080808080808080u) == 0) {
        i += 8;
        continue;
      }
    }
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t length = utf8_sequence_length(text.substr(i));
    if (length == 0) return false;
    i += length;
  }
  return true;
}

}  // namespace velm::json
