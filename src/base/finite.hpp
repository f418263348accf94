// The first value of a run that is not a finite number.
#pragma once

#include <cmath>
#include <cstddef>
#include <optional>

namespace velm::base {

// The index of the first NaN or infinity among values[0, count), if any.
inline std::optional<std::size_t> first_non_finite(const double* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    if (!std::isfinite(values[i])) return i;
  return std::nullopt;
}

}  // namespace velm::base
