// The global matrix of the engineering analysis: over the unknowns only (fixed dofs are
// eliminated, not penalised), sparse and symmetric, its upper triangle held once per position,
// factorised by the sparse LDL^T. The positions are laid out node pair by node pair from the
// member connectivity before any value is added, so assembly is a scatter into fixed slots and
// the entry order (and with it every result) depends on nothing but the model.
#pragma once

#include <array>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/monitor.hpp"
#include "linalg/factor_process.hpp"
#include "linalg/sparse_ldlt.hpp"
#include "linalg/sparse_matrix.hpp"
#include "linalg/types.hpp"
#include "mechanics/element_dofs.hpp"
#include "system/dof_numbering.hpp"

namespace velm::system {

using mechanics::ElementDofs;
using mechanics::kNoDof;

class SparseGlobalMatrix {
 public:
  // Zero-filled, with a position for every pair of unknowns of the nodes that `couplings`
  // pairs (node ids; a member couples the two nodes its ends follow).
  SparseGlobalMatrix(const DofNumbering& dofs,
                     const std::vector<std::array<std::uint32_t, 2>>& couplings);

  // Bytes of the positions and values held (the factor is estimated by its own type).
  std::uint64_t bytes() const { return matrix_.bytes(); }

  std::size_t size() const { return static_cast<std::size_t>(matrix_.size); }
  // Adds an element's 12 x 12 matrix in global axes at its unknowns: entry (a, b) into
  // (dofs[a], dofs[b]), skipping kNoDof. Entries in the lower triangle are the mirror of the
  // upper one and are skipped.
  void add_element(const linalg::Matrix12& element, const mechanics::ElementDofs& dofs);
  // One entry, 0 where the pattern holds none.
  double at(std::size_t row, std::size_t col) const;
  // K v.
  linalg::Vector multiply(const linalg::Vector& v) const;

  // this = (this - other) / divisor, entry by entry; both laid out from the same numbering and
  // couplings.
  void subtract_and_divide(const SparseGlobalMatrix& other, double divisor);

  const linalg::SparseSymmetricMatrix& matrix() const { return matrix_; }
  linalg::SparseSymmetricMatrix release() && { return std::move(matrix_); }

 private:
  // Index of the first entry of the block of nodes a, b (zero-based, a before b, or a == b).
  std::int64_t block_start(std::size_t a, std::size_t b) const;
  // The position of (row, col), row <= col, or -1 when the pattern has none.
  std::int64_t position(std::size_t row, std::size_t col) const;

  const DofNumbering* dofs_;
  std::vector<std::int64_t> neighbour_starts_;  // per node: first of the neighbours after it
  std::vector<std::uint32_t> neighbours_;       // zero-based, ascending within a node
  std::vector<std::int64_t> block_starts_;      // per neighbour entry: first entry of its block
  std::vector<std::int64_t> diagonal_starts_;   // per node: first entry of its diagonal block
  linalg::SparseSymmetricMatrix matrix_;
};

// Why a sparse factorisation did not come about.
struct FactorFailure {
  enum class Kind { too_large, out_of_memory, failed, cancelled };
  Kind kind;
  std::string text;
  std::uint64_t estimated_bytes = 0;  // too_large: what the factorisation would need
};

class SparseGlobalFactor {
 public:
  // A matrix of this many unknowns or more is ordered and factorised in a process of its own,
  // so that a stop is answered at once. Measured on a building frame of 3,300 nodes (19,200
  // unknowns): 0.04 s to order, 0.4 s to factorise; at 12,000 unknowns (2,000 nodes) the two
  // take some 0.15 s, short enough to wait for. The process costs a fork and a copy of the
  // right-hand sides per solve: milliseconds.
  static constexpr std::int32_t kProcessUnknowns = 12000;

  // Orders the matrix, which gives the solver's estimate of the factorisation's memory; refuses
  // it when that exceeds `available_bytes`; then factorises, listing the unknowns that nothing
  // holds (null pivots) rather than failing on them. Reports "order" and "factorise" as stages,
  // and stops between the two when the observer asks. A matrix of kProcessUnknowns or more is
  // ordered, factorised and solved in a process of its own (linalg::FactorProcess), which the
  // observer's stop ends within FactorProcess::kPollMilliseconds. `expected` positive factorises
  // without pivoting, and with pivoting again should the matrix turn out not to be positive
  // definite.
  static std::expected<std::unique_ptr<SparseGlobalFactor>, FactorFailure> create(
      linalg::SparseSymmetricMatrix matrix, std::optional<std::uint64_t> available_bytes,
      base::Monitor& monitor, linalg::Definiteness expected = linalg::Definiteness::indefinite);

  // The solver's estimate of the memory the factorisation needs.
  std::uint64_t estimated_bytes() const {
    return process_ ? process_->estimated_bytes() : ldlt_.estimated_bytes();
  }
  // The solver's estimate of the factorisation's floating-point operations.
  double estimated_flops() const {
    return process_ ? process_->estimated_flops() : ldlt_.estimated_flops();
  }
  // Unknowns with a null pivot, ascending.
  const std::vector<std::int64_t>& null_pivots() const {
    return process_ ? process_->null_pivots() : ldlt_.null_pivots();
  }

  // Negative pivots: the number of negative eigenvalues of K (0 while K is positive definite
  // or semi-definite).
  std::int64_t negative_pivots() const {
    return process_ ? process_->negative_pivots() : ldlt_.negative_pivots();
  }

  bool singular() const { return !null_pivots().empty(); }
  double determinant() const { return process_ ? process_->determinant() : ldlt_.determinant(); }
  // Positive when factorised without pivoting.
  linalg::Definiteness definiteness() const {
    return process_ ? process_->definiteness() : ldlt_.definiteness();
  }
  // The solution x of K x = rhs; nothing when singular.
  std::optional<linalg::Vector> solve(const linalg::Vector& rhs) const;
  // Solves for `count` right-hand sides at once, stored column after column, in place. With
  // `stop`, a solve in the factorisation's process asks it as it waits, and fails as cancelled
  // when it says to (the process has then ended); a solve in this process is not asked.
  std::expected<void, linalg::SparseSolverError> solve_in_place(
      double* rhs, std::int32_t count, const linalg::FactorProcess::Stop* stop = nullptr) const;

 private:
  SparseGlobalFactor(linalg::SparseSymmetricMatrix matrix, linalg::Definiteness expected)
      : ldlt_(std::move(matrix), expected) {}
  mutable linalg::SparseLdlt ldlt_;
  // Where the matrix is large enough to be worth a process of its own: that process, which
  // holds the analysis and the factor and does the solves.
  std::unique_ptr<linalg::FactorProcess> process_;
};

}  // namespace velm::system
