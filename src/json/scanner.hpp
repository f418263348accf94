// Byte classes of JSON text, shared by the scanner (scanner.cpp) and the reader of values
// (reader.cpp). Private to the JSON layer: only its own sources include it.
#pragma once

namespace velm::json {

inline bool is_space(char c) {
  return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}
inline bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace velm::json
