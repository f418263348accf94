#pragma once

#include <cstddef>
#include <string_view>

namespace velm::json {

// Length of the well-formed UTF-8 sequence that starts the text, or 0 when it is malformed
// (stray continuation bytes, overlong forms, surrogates, code points above U+10FFFF, truncation).
std::size_t utf8_sequence_length(std::string_view text);

bool is_valid_utf8(std::string_view text);

}  // namespace velm::json
