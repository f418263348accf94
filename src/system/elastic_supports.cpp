#include "system/elastic_supports.hpp"

#include "system/constraints.hpp"

namespace velm::system {

namespace {

// The springs of node n as seen at the unknowns of its root: C^T diag(k) C.
linalg::Matrix6 spring_block(const frame::Structure& structure, std::uint32_t node) {
  const Eigen::Map<const linalg::Vector6> k(&structure.springs[6 * (node - std::size_t{1})]);
  if (structure.root[node - 1] == node) return k.asDiagonal();
  const linalg::Matrix6 c = follower_map(structure, node);
  return c.transpose() * k.asDiagonal() * c;
}

bool has_spring(const frame::Structure& structure, std::size_t n) {
  for (std::size_t k = 0; k < 6; ++k)
    if (structure.springs[6 * n + k] != 0.0) return true;
  return false;
}

}  // namespace

void add_springs(const DiscreteModel& model, SparseGlobalMatrix& matrix) {
  const frame::Structure& structure = model.structure;
  if (structure.springs.empty()) return;
  for (std::size_t n = 0; n < structure.node_count; ++n) {
    if (!has_spring(structure, n)) continue;
    const auto node = static_cast<std::uint32_t>(n + 1);
    const std::uint32_t root = structure.root[n];
    linalg::Matrix12 element = linalg::Matrix12::Zero();
    element.block<6, 6>(0, 0) = spring_block(structure, node);
    ElementDofs dofs;
    dofs.fill(kNoDof);
    for (std::size_t k = 0; k < 6; ++k) dofs[k] = model.dofs.index[6 * (root - std::size_t{1}) + k];
    matrix.add_element(element, dofs);
  }
}

void subtract_spring_forces(const DiscreteModel& model, const double* solution, double* rhs) {
  const frame::Structure& structure = model.structure;
  if (structure.springs.empty()) return;
  for (std::size_t n = 0; n < structure.node_count; ++n) {
    if (!has_spring(structure, n)) continue;
    const std::uint32_t root = structure.root[n];
    linalg::Vector6 u = linalg::Vector6::Zero();
    for (std::size_t k = 0; k < 6; ++k)
      if (const std::int64_t unknown = model.dofs.index[6 * (root - std::size_t{1}) + k];
          unknown >= 0)
        u(static_cast<Eigen::Index>(k)) = solution[unknown];
    const linalg::Vector6 f = spring_block(structure, static_cast<std::uint32_t>(n + 1)) * u;
    for (std::size_t k = 0; k < 6; ++k)
      if (const std::int64_t unknown = model.dofs.index[6 * (root - std::size_t{1}) + k];
          unknown >= 0)
        rhs[unknown] -= f(static_cast<Eigen::Index>(k));
  }
}

std::vector<double> imposed_field(const frame::Structure& structure,
                                  std::span<const double> imposed) {
  if (imposed.empty()) return {};
  std::vector<double> field(imposed.begin(), imposed.end());
  for (std::size_t n = 0; n < structure.node_count; ++n) {
    const std::uint32_t root = structure.root[n];
    if (root == n + 1) continue;
    const Eigen::Map<const linalg::Vector6> u_root(&imposed[6 * (root - std::size_t{1})]);
    const linalg::Vector6 u = follower_map(structure, static_cast<std::uint32_t>(n + 1)) * u_root;
    std::copy(u.data(), u.data() + 6, &field[6 * n]);
  }
  return field;
}

}  // namespace velm::system
