// What the analysis keeps of each member, computed once per stiffness: its stiffness as the
// nodes see it (releases, springs and member type applied, member axes) and the unknowns its
// 12 dofs go to. The assembly, the load vectors and the result recovery all read it. In second
// order a member's element data is that of its axial force: the tangent stiffness of the exact
// beam-column (stability functions) and its fixed-end forces, or, for truss, tension and
// compression members, the axial and string stiffness.
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "frame/structure.hpp"
#include "linalg/types.hpp"
#include "mechanics/element_dofs.hpp"
#include "mechanics/end_releases.hpp"
#include "mechanics/member_loads.hpp"
#include "system/dof_numbering.hpp"

namespace velm::system {

struct ElementData {
  // The frame stiffness k of the member (in second order its tangent at the axial force),
  // condensed for its released and sprung ends: k'. For an axial-only member in second order,
  // that of first order, which carries its line loads (a pinned beam between its nodes).
  mechanics::Condensation condensation;
  mechanics::ElementDofs unknowns{};
  // Second order: the constant axial force the member is analysed with (tension positive).
  bool second_order = false;
  double axial_force = 0.0;
  // Second order, axial-only members: EA/L along the axis and the string stiffness N/L across
  // it, in place of the condensed stiffness.
  std::shared_ptr<const linalg::Matrix12> string_stiffness;

  const linalg::Matrix12& stiffness() const {  // member axes
    return string_stiffness ? *string_stiffness : condensation.stiffness();
  }
};

ElementData element_data(const frame::Structure& structure, const DofNumbering& dofs,
                         const frame::StructureMember& member);

// The element data of a member carrying the constant axial force `axial_force` (tension
// positive) in second order.
ElementData second_order_element_data(const frame::Structure& structure, const DofNumbering& dofs,
                                      const frame::StructureMember& member, double axial_force);

// The fixed-end forces of `loads` on the member as the nodes see them (member axes): those of
// the member held fixed at both ends (in second order with its axial force), condensed like its
// stiffness. No loads give zeros.
mechanics::CondensedLoads fixed_end_forces(const ElementData& element,
                                           const frame::StructureMember& member,
                                           std::span<const mechanics::MemberLoad> loads);

// The displacements of the member's own ends (member axes) under the local node displacements
// `local` and the loads: the nodes' where the member is joined rigidly, the released and sprung
// ends' from their equilibrium (Condensation::end_displacements).
linalg::Vector12 member_end_displacements(const ElementData& element,
                                          const frame::StructureMember& member,
                                          std::span<const mechanics::MemberLoad> loads,
                                          const linalg::Vector12& local);

}  // namespace velm::system
