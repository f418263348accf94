// The stiffness matrix and the load vectors over the unknowns, from the element data.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "frame/load_sets.hpp"
#include "system/discrete_model.hpp"
#include "system/sparse_global_matrix.hpp"

namespace velm::system {

// K over the unknowns with the members that are on (active[m] != 0) and the springs of the
// supports; rigid links add nothing (their nodes follow others). Reports the stage "assemble";
// fails only when cancelled.
base::Expected<SparseGlobalMatrix> assemble_stiffness(const DiscreteModel& model,
                                                      const std::vector<std::uint8_t>& active,
                                                      base::Monitor& monitor);
// The same with the members' element data `elements` in place of the model's own (second order).
base::Expected<SparseGlobalMatrix> assemble_stiffness(const DiscreteModel& model,
                                                      std::span<const ElementData> elements,
                                                      const std::vector<std::uint8_t>& active,
                                                      base::Monitor& monitor);

// Adds the right-hand side of a load set over the unknowns to rhs: the nodal loads, minus the
// fixed-end forces of the member loads, moved to the nodes that loaded nodes follow, and minus
// the member forces k' u_p of the enforced displacements (of the members on, `active` null:
// all). Fails (invalid_model) when a member's releases leave a load without stiffness.
base::Expected<void> assemble_loads(const DiscreteModel& model, const frame::LoadSet& set,
                                    double* rhs, const std::vector<std::uint8_t>* active = nullptr);
base::Expected<void> assemble_loads(const DiscreteModel& model,
                                    std::span<const ElementData> elements,
                                    const frame::LoadSet& set, double* rhs,
                                    const std::vector<std::uint8_t>* active = nullptr);

// Subtracts from rhs (over the unknowns) what the nodes exert on the members whose end forces
// `end_forces` (12 per member, member axes) gives: rhs - sum of T^T f, the residual of the
// equilibrium of the nodes when rhs holds the loads. Members switched off or rigid are left out.
void subtract_member_forces(const DiscreteModel& model, std::span<const ElementData> elements,
                            std::span<const double> end_forces,
                            const std::vector<std::uint8_t>& active, double* rhs);

}  // namespace velm::system
