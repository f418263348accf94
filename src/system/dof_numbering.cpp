#include "system/dof_numbering.hpp"

#include <algorithm>
#include <numeric>

namespace velm::system {

DofNumbering number_dofs(const std::vector<std::uint8_t>& restraints,
                         const std::vector<double>& coordinates) {
  const std::size_t nodes = restraints.size() / 6;
  std::vector<std::uint32_t> order(nodes);
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    const double* p = &coordinates[3 * std::size_t{a}];
    const double* q = &coordinates[3 * std::size_t{b}];
    if (p[2] != q[2]) return p[2] < q[2];
    if (p[1] != q[1]) return p[1] < q[1];
    if (p[0] != q[0]) return p[0] < q[0];
    return a < b;
  });

  DofNumbering dofs;
  dofs.index.assign(restraints.size(), -1);
  dofs.first.assign(nodes, 0);
  dofs.free.assign(nodes, 0);
  std::int64_t next = 0;
  for (const std::uint32_t n : order) {
    dofs.first[n] = next;
    for (std::size_t k = 0; k < 6; ++k) {
      if (restraints[6 * std::size_t{n} + k] != 0) continue;
      dofs.index[6 * std::size_t{n} + k] = next++;
      dofs.node_of.push_back(n + 1);
      ++dofs.free[n];
    }
  }
  return dofs;
}

}  // namespace velm::system
