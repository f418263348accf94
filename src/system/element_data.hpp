// What the analysis keeps of each member, computed once: its stiffness as the nodes see it
// (releases, springs and member type applied, member axes) and the unknowns its 12 dofs go to.
// The assembly, the load vectors and the result recovery all read it. (A geometric stiffness
// and a mass matrix of the member belong here too.)
#pragma once

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
  // The frame stiffness k of the member, condensed for its released and sprung ends: k'.
  mechanics::Condensation condensation;
  mechanics::ElementDofs unknowns{};

  const linalg::Matrix12& stiffness() const { return condensation.stiffness(); }  // member axes
};

ElementData element_data(const frame::Structure& structure, const DofNumbering& dofs,
                         const frame::StructureMember& member);

// The fixed-end forces of `loads` on the member as the nodes see them (member axes): those of
// the member held fixed at both ends, condensed like its stiffness. No loads give zeros.
mechanics::CondensedLoads fixed_end_forces(const ElementData& element,
                                           const frame::StructureMember& member,
                                           std::span<const mechanics::MemberLoad> loads);

}  // namespace velm::system
