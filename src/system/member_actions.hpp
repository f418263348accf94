// What one member of the engineering analysis contributes: its stiffness and fixed-end forces
// as the nodes see them (releases, springs and member type applied), in member axes and in
// global axes at the unknowns of the nodes it hangs on (rigid links included).
#pragma once

#include <array>
#include <span>
#include <vector>

#include "linalg/types.hpp"
#include "mechanics/member_loads.hpp"
#include "system/dof_numbering.hpp"
#include "mechanics/element_dofs.hpp"
#include "frame/structure.hpp"

namespace velm::system {

using frame::Structure;
using frame::StructureMember;
using mechanics::ElementDofs;

struct MemberActions {
  linalg::Matrix12 stiffness;         // member axes
  linalg::Vector12 fixed_end_forces;  // member axes
  bool load_not_carried = false;
};

// The member's local stiffness and fixed-end forces for `loads` (member axes).
MemberActions member_actions(const StructureMember& member,
                             std::span<const mechanics::MemberLoad> loads);

// The motion of a member end's node in terms of the node it follows (rigid links): u_node =
// C u_root with C = [[I, -[r]x], [0, I]], r = x_node - x_root. Identity for a node that
// follows itself.
linalg::Matrix6 follower_map(const Structure& structure, std::uint32_t node_id);

// The pairs of nodes that the members (rigid links aside) couple: the nodes their ends follow.
std::vector<std::array<std::uint32_t, 2>> member_couplings(const Structure& structure);

// The unknowns of a member's 12 dofs: those of the nodes its ends follow.
ElementDofs member_unknowns(const Structure& structure, const DofNumbering& dofs,
                            const StructureMember& member);

// Local matrix and vector in global axes at the followed nodes: G^T T^T k T G and G^T T^T f
// with T = diag(lambda x 4) and G = diag(C_start, C_end).
void to_unknowns(const Structure& structure, const StructureMember& member,
                 const linalg::Matrix12& local, const linalg::Vector12& local_forces,
                 linalg::Matrix12* global, linalg::Vector12* global_forces);

}  // namespace velm::system
