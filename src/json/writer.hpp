// The pretty layout of written documents: two spaces per level, one member or element per
// line, "[]" and "{}" for empty containers, no trailing newline.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velm::json {

class Writer {
 public:
  Writer() { out_.reserve(128); }

  void begin_object() { open('{'); }
  void end_object() { close('}'); }
  void begin_array() { open('['); }
  void end_array() { close(']'); }
  // Before each member of an object; the value follows.
  void key(std::string_view name);
  // Before each element of an array.
  void element();

  void null() { out_ += "null"; }
  void boolean(bool value) { out_ += value ? "true" : "false"; }
  void unsigned_integer(std::uint64_t value);
  // Shortest round-trip form; non-finite values have no JSON form and are written as null.
  void number(double value);
  void string(std::string_view value);

  std::string take() { return std::move(out_); }

 private:
  void open(char bracket);
  void close(char bracket);
  void newline_and_indent();

  std::string out_;
  int depth_ = 0;
  bool first_ = true;
};

}  // namespace velm::json
