// Every result of one load set from its displacements over the unknowns: the displacements of
// every node (followers of rigid links included), the end forces, internal forces and their
// extremes of every member, the forces the rigid links carry, and the support reactions.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "engineering/static_results.hpp"
#include "frame/load_sets.hpp"
#include "system/discrete_model.hpp"

namespace velm::engineering {

// The displacements of every node (N x 6, global axes) from those over the unknowns: the
// unknowns, then every node that follows another through rigid links; 0 where fixed.
std::vector<double> node_displacements(const system::DiscreteModel& model, const double* solution);
// The same with the enforced displacements `imposed` of the fixed dofs (6 per node; none when
// empty) added, followers moving with them.
std::vector<double> node_displacements(const system::DiscreteModel& model, const double* solution,
                                       std::span<const double> imposed);

// The forces on every node besides the members' (6 per node, global axes): the load set's nodal
// forces and moments and the springs' -k u at the displacements `displacements` (6 per node).
std::vector<double> node_loads(const frame::Structure& structure, const frame::LoadSet& set,
                               std::span<const double> displacements);

// The end forces alone (12 per member, member axes; 0 for members switched off and rigid links):
// f = k' u_local + f0' with the members' element data `elements` (u including the set's enforced
// displacements), or k' u_local alone (of the unknowns only) without `set`.
std::vector<double> member_end_forces(const system::DiscreteModel& model,
                                      std::span<const system::ElementData> elements,
                                      const frame::LoadSet* set, const double* solution,
                                      const std::vector<std::uint8_t>& active);

// Fills the result arrays of `out` (its id and name are left alone). Members with active[m] == 0
// carry nothing and are listed in inactive_members. Sign conventions:
//   end forces f = k' u_local + f0' (member axes): what the nodes exert on the member;
//   reactions: K u - F summed over the nodes a support record holds, at the dofs it fixes, and
//   -k u at the dofs it springs.
//   node_reactions: the same per node (0 at the dofs no support fixes or springs).
void recover_results(const system::DiscreteModel& model, const frame::LoadSet& set,
                     const double* solution, const std::vector<std::uint8_t>& active, int stations,
                     ResultSet& out);

// The same with the members' element data `elements` in place of the model's own: in second
// order, end forces f = k_T' u_local + f0'(N) with the tangent stiffness and fixed-end forces of
// each member's axial force N, and moments along the member that include N times its deflection.
void recover_results(const system::DiscreteModel& model,
                     std::span<const system::ElementData> elements, const frame::LoadSet& set,
                     const double* solution, const std::vector<std::uint8_t>& active, int stations,
                     ResultSet& out);

// The same, asking `going` every few dozen members whether to go on: false when it said stop,
// and the arrays of `out` are then incomplete (the caller drops them).
bool recover_results(const system::DiscreteModel& model, const frame::LoadSet& set,
                     const double* solution, const std::vector<std::uint8_t>& active, int stations,
                     ResultSet& out, const std::function<bool()>& going);
bool recover_results(const system::DiscreteModel& model,
                     std::span<const system::ElementData> elements, const frame::LoadSet& set,
                     const double* solution, const std::vector<std::uint8_t>& active, int stations,
                     ResultSet& out, const std::function<bool()>* going);

}  // namespace velm::engineering
