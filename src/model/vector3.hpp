#pragma once

#include <array>

namespace velm::model {

// Three components (x, y, z) in global axes; in JSON an array of exactly three numbers.
using Vector3 = std::array<double, 3>;

}  // namespace velm::model
