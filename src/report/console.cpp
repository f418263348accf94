#include "report/console.hpp"

#include <algorithm>
#include <cstring>

namespace velm::report {

Console::Console(Sink& out, Sink& err, std::size_t block_size)
    : out_(out), err_(err), buffer_(new char[block_size]), capacity_(block_size) {}

Console::~Console() {
  flush();
}

void Console::write(std::string_view text) {
  while (!text.empty()) {
    if (used_ == capacity_) flush();
    const std::size_t take = std::min(text.size(), capacity_ - used_);
    std::memcpy(buffer_.get() + used_, text.data(), take);
    used_ += take;
    text.remove_prefix(take);
  }
}

void Console::progress(std::string_view line) {
  write(line);
  flush();
}

void Console::flush() {
  if (used_ == 0) return;
  out_.write({buffer_.get(), used_});
  used_ = 0;
}

void Console::error(std::string_view text) {
  flush();
  err_.write(text);
}

}  // namespace velm::report
