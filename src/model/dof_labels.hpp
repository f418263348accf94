// The names of the six dofs of a node and of the six forces that act along them.
#pragma once

#include <array>

namespace velm::model {

// Displacements along and rotations about the global (or local) x, y, z.
inline constexpr std::array<const char*, 6> kDofLabels = {"UX", "UY", "UZ", "RX", "RY", "RZ"};
// Forces along and moments about the same axes.
inline constexpr std::array<const char*, 6> kForceLabels = {"FX", "FY", "FZ", "MX", "MY", "MZ"};

}  // namespace velm::model
