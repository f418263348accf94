// The elastic supports and enforced support displacements of the engineering analysis over its
// unknowns.
//
// A spring of stiffness k on a dof of node n adds k to the diagonal of that dof; at a node that
// follows another through rigid links (u_n = C u_root) it adds C^T diag(k) C to the root's
// block. Its force on the structure is -k u_n.
//
// An enforced displacement u_p of a fixed dof is no unknown: the members at it see it as a
// displacement of their ends, f = k' (u + u_p) + f0, so that k' u_p acts as a further
// fixed-end force and moves to the right-hand side as -T^T k' u_p; the reaction is what
// imposes it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "system/discrete_model.hpp"
#include "system/sparse_global_matrix.hpp"

namespace velm::system {

// Adds every spring to `matrix` (over the unknowns).
void add_springs(const DiscreteModel& model, SparseGlobalMatrix& matrix);

// Subtracts the springs' resistance K_s u from rhs (over the unknowns), `solution` the
// displacements of the unknowns.
void subtract_spring_forces(const DiscreteModel& model, const double* solution, double* rhs);

// The enforced displacements of every node (6 per node, global axes) from those of the fixed
// dofs (6 per node, 0 where none): nodes that follow others through rigid links move with them.
// Empty when `imposed` is.
std::vector<double> imposed_field(const frame::Structure& structure,
                                  std::span<const double> imposed);

}  // namespace velm::system
