// The mass matrix over the unknowns: the consistent masses of the members and the masses at
// the nodes, moved to the unknowns as the stiffness is.
#pragma once

#include <span>

#include "linalg/types.hpp"
#include "mechanics/member_mass.hpp"
#include "system/discrete_model.hpp"
#include "system/sparse_global_matrix.hpp"

namespace velm::system {

// The local mass of a member carrying `mass` uniformly (member axes, as its nodes see it):
// frame members the consistent mass M, moved to the node dofs through the motion of their
// released ends, T^T M T (a released end moves as the condensed stiffness has it, so the mass
// goes where the member end goes); axial-only members the bar mass; rigid links none.
linalg::Matrix12 member_mass(const frame::StructureMember& member, const ElementData& element,
                             const mechanics::LineMass& mass);

// M over the unknowns: `member_masses` per member of the model's structure (uniform along it),
// `node_masses` per node (mass in all three translations, at the node's position).
SparseGlobalMatrix assemble_mass(const DiscreteModel& model,
                                 std::span<const mechanics::LineMass> member_masses,
                                 std::span<const double> node_masses);

}  // namespace velm::system
