// Whether a result set is in equilibrium, checked before it is returned: at every dof that no
// support fixes, the forces the members take from the node (their end forces in global axes)
// balance the node's loads. A factorisation of a matrix that is singular in all but rounding,
// or too ill-conditioned to resolve, gives displacements whose member forces do not balance;
// such a result is refused rather than returned.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace velm::engineering {

struct Unbalanced {
  std::uint32_t node = 0;  // 1..N
  int dof = 0;             // 0..5: UX .. RZ
  double misfit = 0.0;     // relative to the largest force at any node
};

// The members' geometry: per member its two node ids and its axes (rows local x, y, z in global
// components, 9 values). `end_forces`: 12 per member, local axes, what the nodes exert on the
// member. `nodal_loads`, `fixed`: 6 per node. Nothing when every free dof balances to within
// `tolerance` times the largest sum of force magnitudes at a dof; else the worst dof.
std::optional<Unbalanced> find_unbalanced(std::span<const std::array<std::uint32_t, 2>> nodes,
                                          std::span<const double> axes,
                                          std::span<const double> end_forces,
                                          std::span<const double> nodal_loads,
                                          std::span<const std::uint8_t> fixed, double tolerance);

}  // namespace velm::engineering
