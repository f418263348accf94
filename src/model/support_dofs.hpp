// The rule by which a support record fixes dofs, shared by every analysis.
#pragma once

#include <array>

#include "model/support.hpp"

namespace velm::model {

// Per local dof UX, UY, UZ, RX, RY, RZ: whether the record fixes it. Only the keys "X", "Y",
// "Z" with the value "Fixed" (case-sensitive) count.
std::array<bool, 6> fixed_dofs(const NodalSupport& support);

}  // namespace velm::model
