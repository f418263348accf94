#include "engineering/equilibrium.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace velm::engineering {

std::optional<Unbalanced> find_unbalanced(std::span<const std::array<std::uint32_t, 2>> nodes,
                                          std::span<const double> axes,
                                          std::span<const double> end_forces,
                                          std::span<const double> nodal_loads,
                                          std::span<const std::uint8_t> fixed, double tolerance) {
  const std::size_t dofs = nodal_loads.size();
  std::vector<double> taken(dofs, 0.0), size(dofs, 0.0);
  for (std::size_t m = 0; m < nodes.size(); ++m) {
    const double* a = &axes[9 * m];
    const double* f = &end_forces[12 * m];
    for (std::size_t b = 0; b < 4; ++b) {
      const std::size_t first = 6 * (nodes[m][b / 2] - std::size_t{1}) + 3 * (b % 2);
      for (std::size_t j = 0; j < 3; ++j) {
        // global = A^T local
        const double g = a[j] * f[3 * b] + a[3 + j] * f[3 * b + 1] + a[6 + j] * f[3 * b + 2];
        taken[first + j] += g;
        size[first + j] += std::abs(g);
      }
    }
  }
  double largest = 0.0;
  for (std::size_t i = 0; i < dofs; ++i)
    largest = std::max(largest, size[i] + std::abs(nodal_loads[i]));
  std::optional<Unbalanced> worst;
  for (std::size_t i = 0; i < dofs; ++i) {
    if (fixed[i]) continue;
    const double misfit = std::abs(taken[i] - nodal_loads[i]);
    if (!(misfit <= tolerance * largest) && (!worst || misfit / largest > worst->misfit))
      worst = Unbalanced{static_cast<std::uint32_t>(i / 6 + 1), static_cast<int>(i % 6),
                         misfit / largest};
  }
  return worst;
}

}  // namespace velm::engineering
