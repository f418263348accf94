// The factorised stiffness over the unknowns, behind one small interface: factorise once, solve
// any number of times. Every failure is a base::Error.
#pragma once

#include <cstdint>
#include <memory>

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "system/dof_numbering.hpp"
#include "system/sparse_global_matrix.hpp"

namespace velm::system {

class Factorisation {
 public:
  // Orders and factorises K (stages "order" and "factorise"). Fails with too_large when the
  // solver's estimate exceeds the memory available, out_of_memory, solver_failed, cancelled
  // (asked between the stages or after them), or unstable when a null pivot shows a mechanism
  // ("node 12 is free to move in RX", the first such unknown). A system without unknowns needs
  // no factor. `expected` positive, for a stiffness that is positive definite unless the
  // structure is a mechanism, factorises without pivoting (and with pivoting again, to name the
  // unknown, when it is not).
  static base::Expected<Factorisation> of(
      SparseGlobalMatrix stiffness, const DofNumbering& dofs, base::Monitor& monitor,
      linalg::Definiteness expected = linalg::Definiteness::indefinite);

  // Solves K x = rhs for `count` right-hand sides stored column after column, in place; fails
  // with solve_failed, or with cancelled when `monitor` asks to stop during a solve in the
  // factorisation's process.
  base::Expected<void> solve_in_place(double* rhs, std::int32_t count,
                                      base::Monitor* monitor = nullptr) const;

  // The negative pivots of the factorisation: the negative eigenvalues of K (0 when K is
  // positive definite, and for a system without unknowns).
  std::int64_t negative_pivots() const { return factor_ ? factor_->negative_pivots() : 0; }

  // Frees the factor.
  void reset() { factor_.reset(); }

 private:
  explicit Factorisation(std::unique_ptr<SparseGlobalFactor> factor) : factor_(std::move(factor)) {}
  std::unique_ptr<SparseGlobalFactor> factor_;
};

}  // namespace velm::system
