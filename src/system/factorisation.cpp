#include "system/factorisation.hpp"

#include <fmt/format.h>

#include "base/memory_budget.hpp"
#include "base/units.hpp"
#include "model/dof_labels.hpp"

namespace velm::system {

base::Expected<Factorisation> Factorisation::of(SparseGlobalMatrix stiffness,
                                                const DofNumbering& dofs, base::Monitor& monitor,
                                                linalg::Definiteness expected) {
  const auto unknowns = static_cast<std::size_t>(dofs.count());
  if (unknowns == 0) return Factorisation(nullptr);
  const std::optional<std::uint64_t> available = base::analysis_budget();
  auto factor =
      SparseGlobalFactor::create(std::move(stiffness).release(), available, monitor, expected);
  if (!factor) {
    switch (factor.error().kind) {
      case FactorFailure::Kind::too_large:
        return base::fail(
            base::ErrorCode::too_large,
            fmt::format(
                "The model is too large for this machine: the factorisation of its stiffness "
                "matrix ({} unknowns) would need about {} of memory, more than the {} available.",
                unknowns, base::gigabytes(factor.error().estimated_bytes),
                base::gigabytes(available.value_or(0))));
      case FactorFailure::Kind::out_of_memory:
        return base::fail(base::ErrorCode::out_of_memory, factor.error().text);
      case FactorFailure::Kind::failed:
        return base::fail(base::ErrorCode::solver_failed, factor.error().text);
      case FactorFailure::Kind::cancelled:
        return base::fail(base::ErrorCode::cancelled);
    }
  }
  if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
  if ((*factor)->singular()) {
    const std::int64_t unknown = (*factor)->null_pivots().front();
    const std::uint32_t node = dofs.node_of[static_cast<std::size_t>(unknown)];
    std::size_t dof = 0;
    for (std::size_t k = 0; k < 6; ++k)
      if (dofs.index[6 * (node - std::size_t{1}) + k] == unknown) dof = k;
    return base::fail(base::ErrorCode::unstable,
                      fmt::format("node {} is free to move in {}", node, model::kDofLabels[dof]));
  }
  return Factorisation(std::move(*factor));
}

base::Expected<void> Factorisation::solve_in_place(double* rhs, std::int32_t count,
                                                   base::Monitor* monitor) const {
  if (!factor_) return {};
  const linalg::FactorProcess::Stop stop = [monitor] { return monitor->stop_requested(); };
  if (auto solved = factor_->solve_in_place(rhs, count, monitor != nullptr ? &stop : nullptr);
      !solved) {
    if (solved.error().kind == linalg::SparseSolverError::Kind::cancelled)
      return base::fail(base::ErrorCode::cancelled);
    return base::fail(base::ErrorCode::solve_failed, solved.error().text);
  }
  return {};
}

}  // namespace velm::system
