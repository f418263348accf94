// Where a member's 12 dofs go among the unknowns: at the nodes its ends follow (rigid links
// included), and its local matrices and vectors moved there.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "frame/structure.hpp"
#include "linalg/types.hpp"
#include "mechanics/element_dofs.hpp"
#include "system/dof_numbering.hpp"

namespace velm::system {

// The pairs of nodes that the members (rigid links aside) couple: the nodes their ends follow.
std::vector<std::array<std::uint32_t, 2>> member_couplings(const frame::Structure& structure);

// The unknowns of a member's 12 dofs: those of the nodes its ends follow.
mechanics::ElementDofs member_unknowns(const frame::Structure& structure, const DofNumbering& dofs,
                                       const frame::StructureMember& member);

// Local matrix and vector in global axes at the followed nodes: G^T T^T k T G and G^T T^T f
// with T = diag(lambda x 4) and G = diag(C_start, C_end) (follower_map).
void to_unknowns(const frame::Structure& structure, const frame::StructureMember& member,
                 const linalg::Matrix12& local, const linalg::Vector12& local_forces,
                 linalg::Matrix12* global, linalg::Vector12* global_forces);

// The local end displacements of member `member` under the node displacements `field`
// (6 per node, global axes).
linalg::Vector12 local_end_displacements(const frame::StructureMember& member,
                                         std::span<const double> field);

}  // namespace velm::system
