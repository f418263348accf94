#include "base/units.hpp"

#include <fmt/format.h>

namespace velm::base {

std::string gigabytes(std::uint64_t bytes) {
  return fmt::format("{:.1f} GB", static_cast<double>(bytes) / 1e9);
}

}  // namespace velm::base
