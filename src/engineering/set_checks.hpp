// The checks every result set passes before it is returned: finite values, and the balance of
// the forces at every node that no support fixes.
#pragma once

#include <optional>
#include <string>

#include "engineering/static_results.hpp"
#include "frame/load_sets.hpp"
#include "frame/structure.hpp"

namespace velm::engineering {

// The text of the first non-finite value of the result set (its displacements, reactions or
// member forces), naming where it is; nothing when all are finite.
std::optional<std::string> find_non_finite(const ResultSet& set, const std::string& which,
                                           const frame::Structure& structure);

// A result set whose member forces do not balance its nodal loads at some free dof (K u - F,
// with K u recovered member by member) is the solution of a matrix that is singular in all but
// rounding, or too ill-conditioned to be solved: it is refused, never returned. Sound solves
// balance to 1e-16..1e-13 of the largest force at a node (the bundled building: 2e-14); a
// member 10^6 times stiffer than its neighbours, standing in for a rigid link, leaves 6e-7;
// the near-mechanisms that random frames produce leave 1e-4 to 1. The text of the worst dof
// beyond 1e-5, or nothing. `structure`: the geometry the set was analysed on.
std::optional<std::string> find_unbalanced_dof(const frame::Structure& structure,
                                               const frame::LoadSet& set, const ResultSet& result);

}  // namespace velm::engineering
