// Where text finally goes: a file descriptor for the real process, a string in tests.
#pragma once

#include <string>
#include <string_view>

namespace velm::report {

class Sink {
 public:
  virtual ~Sink() = default;
  virtual void write(std::string_view bytes) = 0;
};

// Writes straight to a file descriptor, retrying partial writes and interrupted calls. A failed
// write (a closed pipe, say) loses the text but never stops the analysis.
class FdSink final : public Sink {
 public:
  explicit FdSink(int fd) : fd_(fd) {}
  void write(std::string_view bytes) override;

 private:
  int fd_;
};

class StringSink final : public Sink {
 public:
  void write(std::string_view bytes) override { text.append(bytes); }
  std::string text;
};

}  // namespace velm::report
