// How the structure's dofs are tied: the dofs that are no unknowns, and the motion of a node
// that a rigid link makes follow another.
#pragma once

#include <cstdint>
#include <vector>

#include "frame/structure.hpp"
#include "linalg/types.hpp"

namespace velm::system {

// The dofs that are no unknowns (6 per node, 1 where eliminated): the fixed ones, the rotations
// that only axial members reach, and every dof of a node that a rigid link makes follow another.
std::vector<std::uint8_t> eliminated_dofs(const frame::Structure& structure);

// The motion of a node in terms of the node it follows (rigid links): u_node = C u_root with
// C = [[I, -[r]x], [0, I]], r = x_node - x_root. Identity for a node that follows itself.
linalg::Matrix6 follower_map(const frame::Structure& structure, std::uint32_t node_id);

}  // namespace velm::system
