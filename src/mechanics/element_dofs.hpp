// Where a member's 12 dofs (start node UX..RZ, end node UX..RZ) go in a global system.
#pragma once

#include <array>
#include <cstdint>

namespace velm::mechanics {

// Global row of each of an element's 12 dofs, or kNoDof for a dof that is not an unknown.
using ElementDofs = std::array<std::int64_t, 12>;
inline constexpr std::int64_t kNoDof = -1;

}  // namespace velm::mechanics
