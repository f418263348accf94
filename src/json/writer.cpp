#include "json/writer.hpp"

#include <charconv>
#include <cmath>

#include "format/numbers.hpp"

namespace velm::json {

void Writer::open(char bracket) {
  out_.push_back(bracket);
  ++depth_;
  first_ = true;
}

void Writer::close(char bracket) {
  --depth_;
  if (!first_) newline_and_indent();  // a container with members closes on its own line
  out_.push_back(bracket);
  first_ = false;
}

void Writer::newline_and_indent() {
  out_.push_back('\n');
  out_.append(static_cast<std::size_t>(2 * depth_), ' ');
}

void Writer::element() {
  if (!first_) out_.push_back(',');
  newline_and_indent();
  first_ = false;
}

void Writer::key(std::string_view name) {
  element();
  string(name);
  out_ += ": ";
}

void Writer::unsigned_integer(std::uint64_t value) {
  char buffer[24];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  out_.append(buffer, end);
}

void Writer::number(double value) {
  if (!std::isfinite(value)) {
    null();
    return;
  }
  char buffer[format::kMaxShortestLength];
  out_.append(buffer, format::write_shortest(buffer, value));
}

void Writer::string(std::string_view value) {
  static constexpr char kHex[] = "0123456789abcdef";
  out_.push_back('"');
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out_ += "\\\"";
        break;
      case '\\':
        out_ += "\\\\";
        break;
      case '\b':
        out_ += "\\b";
        break;
      case '\f':
        out_ += "\\f";
        break;
      case '\n':
        out_ += "\\n";
        break;
      case '\r':
        out_ += "\\r";
        break;
      case '\t':
        out_ += "\\t";
        break;
      default:
        if (byte < 0x20) {
          out_ += "\\u00";
          out_.push_back(kHex[byte >> 4]);
          out_.push_back(kHex[byte & 0xF]);
        } else {
          out_.push_back(c);
        }
    }
  }
  out_.push_back('"');
}

}  // namespace velm::json
