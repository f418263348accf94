#include "system/constraints.hpp"

namespace velm::system {

std::vector<std::uint8_t> eliminated_dofs(const frame::Structure& structure) {
  std::vector<std::uint8_t> eliminated = structure.restraints;
  for (std::size_t n = 0; n < structure.node_count; ++n) {
    if (structure.axial_only_nodes[n])
      for (std::size_t k = 3; k < 6; ++k) eliminated[6 * n + k] = 1;
    if (structure.root[n] != n + 1)
      for (std::size_t k = 0; k < 6; ++k) eliminated[6 * n + k] = 1;
  }
  return eliminated;
}

linalg::Matrix6 follower_map(const frame::Structure& structure, std::uint32_t node_id) {
  linalg::Matrix6 c = linalg::Matrix6::Identity();
  const std::uint32_t root = structure.root.empty() ? node_id : structure.root[node_id - 1];
  if (root == node_id) return c;
  const double* p = structure.xyz(node_id);
  const double* q = structure.xyz(root);
  const double r[3] = {p[0] - q[0], p[1] - q[1], p[2] - q[2]};
  // theta x r = -[r]x theta
  c(0, 4) = r[2];
  c(0, 5) = -r[1];
  c(1, 3) = -r[2];
  c(1, 5) = r[0];
  c(2, 3) = r[1];
  c(2, 4) = -r[0];
  return c;
}

}  // namespace velm::system
