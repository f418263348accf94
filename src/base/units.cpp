#include "base/units.hpp"

#include <fmt/format.h>

namespace velm::base {

std::string gigabytes(std::uint64_t bytes) {
  return fmt::format("{:.1f} GB", static_cast<double>(bytes) / 1e9);
}

std::string gigabytes_and_bytes(std::uint64_t bytes) {
  return fmt::format("{} ({} bytes)", gigabytes(bytes), bytes);
}

}  // namespace velm::base
