#include "system/mass_assembly.hpp"

#include "system/constraints.hpp"
#include "system/member_unknowns.hpp"

namespace velm::system {

linalg::Matrix12 member_mass(const frame::StructureMember& member, const ElementData& element,
                             const mechanics::LineMass& mass) {
  if (member.type == model::MemberType::Rigid ||
      (mass.translational == 0.0 && mass.torsional == 0.0))
    return linalg::Matrix12::Zero();
  if (member.axial_only())
    return mechanics::bar_mass(mass.translational, member.length, 0.0, member.length);
  const linalg::Matrix12 m = mechanics::consistent_mass(mass, member.length, 0.0, member.length);
  if (!member.released) return m;
  const linalg::Matrix12 t = element.condensation.end_motion();
  return t.transpose() * m * t;
}

SparseGlobalMatrix assemble_mass(const DiscreteModel& model,
                                 std::span<const mechanics::LineMass> member_masses,
                                 std::span<const double> node_masses) {
  const frame::Structure& structure = model.structure;
  SparseGlobalMatrix mass(model.dofs, model.couplings);
  for (std::size_t m = 0; m < structure.members.size(); ++m) {
    const frame::StructureMember& member = structure.members[m];
    const linalg::Matrix12 local = member_mass(member, model.elements[m], member_masses[m]);
    if (local.isZero(0.0)) continue;
    linalg::Matrix12 global;
    to_unknowns(structure, member, local, linalg::Vector12::Zero(), &global, nullptr);
    mass.add_element(global, model.elements[m].unknowns);
  }
  for (std::uint32_t node = 1; node <= structure.node_count; ++node) {
    const double m = node_masses[node - 1];
    if (m == 0.0) continue;
    linalg::Matrix6 at_node = linalg::Matrix6::Zero();
    at_node.topLeftCorner<3, 3>().diagonal().setConstant(m);
    const std::uint32_t root = structure.root[node - 1];
    if (root != node) {
      const linalg::Matrix6 c = follower_map(structure, node);
      at_node = (c.transpose() * at_node * c).eval();
    }
    linalg::Matrix12 block = linalg::Matrix12::Zero();
    block.topLeftCorner<6, 6>() = at_node;
    mechanics::ElementDofs dofs;
    dofs.fill(mechanics::kNoDof);
    for (std::size_t k = 0; k < 6; ++k) dofs[k] = model.dofs.index[6 * (root - std::size_t{1}) + k];
    mass.add_element(block, dofs);
  }
  return mass;
}

}  // namespace velm::system
