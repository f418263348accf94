// The groups of nodes that rigid links join.
#pragma once

#include "base/error.hpp"
#include "frame/checks.hpp"
#include "frame/structure.hpp"

namespace velm::frame {

// Groups the nodes that rigid links join: each group follows one node, its root (the one with
// a support, if any), and the links are ordered from the leaves towards the roots. Fills root
// and links_leaves_first; needs the members and the restraints. Fails on links that close a
// loop or join two supported nodes.
base::Expected<void> join_rigid_links(Structure& structure, CheckProgress& progress);

}  // namespace velm::frame
