// A reading failure: the message and the byte index it refers to. Line and column are derived
// from the index in one place, when the message is formatted for the caller.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velm::json {

struct ReadError {
  std::string message;
  // Column convention: the 1-based column of the byte at `index - 1` on its line, i.e. an error
  // stamped after consuming a token points at the token's last byte, one stamped on a peeked
  // byte points at that byte, and an empty document gives column 0.
  std::size_t index = 0;
  // The read stopped because its monitor asked it to; the message is empty.
  bool cancelled = false;
};

// "<message> at line L column C".
std::string describe(const ReadError& error, std::string_view text);

}  // namespace velm::json
