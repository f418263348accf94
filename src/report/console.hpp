// The one buffered writer for standard output, passed through a whole analysis call. It gathers
// text in a block of at most 1 MiB and hands full blocks to its sink; progress lines flush, and
// anything for standard error is preceded by a flush so that the two streams stay in order.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "report/sink.hpp"

namespace velm::report {

class Console {
 public:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;

  Console(Sink& out, Sink& err, std::size_t block_size = kBlockSize);
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  void write(std::string_view text);
  // A progress line: written, then everything so far is flushed.
  void progress(std::string_view line);
  void flush();
  // Flushes standard output, then writes the text to standard error.
  void error(std::string_view text);

  // Direct access for hot loops: returns room for at least `size` bytes (size <= block size);
  // the caller writes into it and then calls commit with the number of bytes used.
  char* reserve(std::size_t size) {
    if (capacity_ - used_ < size) flush();
    return buffer_.get() + used_;
  }
  void commit(std::size_t size) { used_ += size; }
  std::size_t block_size() const { return capacity_; }

 private:
  Sink& out_;
  Sink& err_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t used_ = 0;
};

}  // namespace velm::report
