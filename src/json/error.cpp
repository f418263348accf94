#include "json/error.hpp"

#include <algorithm>

#include <fmt/format.h>

namespace velm::json {

std::string describe(const ReadError& error, std::string_view text) {
  const std::size_t index = std::min(error.index, text.size());
  const std::string_view before = text.substr(0, index);
  const std::size_t last_newline = before.rfind('\n');
  const std::size_t line_start = last_newline == std::string_view::npos ? 0 : last_newline + 1;
  const auto line = 1 + std::count(before.begin(), before.begin() + line_start, '\n');
  return fmt::format("{} at line {} column {}", error.message, line, index - line_start);
}

}  // namespace velm::json
