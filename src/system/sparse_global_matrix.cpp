#include "system/sparse_global_matrix.hpp"

#include <algorithm>
#include <limits>
#include <new>

#include "base/internal_fault.hpp"

namespace velm::system {

namespace {

// A pivot whose row of the remaining matrix is below this, in the matrix scaled to a unit
// diagonal, is a mechanism. Rounding leaves the pivots of a true mechanism near 1e-15; the
// weakest stable members of real frames (slender members with tiny torsion constants, long
// cantilever chains) stay above 1e-11.
constexpr double kNullPivotThreshold = 1e-12;
// The rate at which the factorisation's operations are taken to run, to turn the solver's
// count of them into an expected duration for the progress shown: 2e10 flop/s. Measured on the
// building frames of scripts/make_examples.py (3,000 to 22,000 nodes, 5.7e9 to 2.8e11
// operations, a shared two-core machine) at 1.9e10 to 3.1e10 flop/s; a figure at the low end
// keeps the estimate on the long side, so that the fraction shown rather lags, and then jumps
// when the stage ends, than waits at its cap.
constexpr double kFactorisationFlopRate = 2e10;

}  // namespace

SparseGlobalMatrix::SparseGlobalMatrix(const DofNumbering& dofs,
                                       const std::vector<std::array<std::uint32_t, 2>>& couplings)
    : dofs_(&dofs) {
  const std::size_t nodes = dofs.first.size();
  if (dofs.count() > std::numeric_limits<std::int32_t>::max())
    throw InternalFault("Too many unknowns for the sparse solver.");
  // The neighbours that come after each node in the numbering: counted, placed, then sorted
  // and made unique.
  const auto ordered = [&](const std::array<std::uint32_t, 2>& pair) {
    const std::size_t s = pair[0] - std::size_t{1}, e = pair[1] - std::size_t{1};
    return dofs.before(s, e) ? std::pair{s, e} : std::pair{e, s};
  };
  std::vector<std::int64_t> starts(nodes + 1, 0);
  for (const auto& pair : couplings)
    if (pair[0] != pair[1]) ++starts[ordered(pair).first + 1];
  for (std::size_t n = 0; n < nodes; ++n) starts[n + 1] += starts[n];
  std::vector<std::uint32_t> all(static_cast<std::size_t>(starts[nodes]));
  std::vector<std::int64_t> fill(starts.begin(), starts.end() - 1);
  for (const auto& pair : couplings) {
    if (pair[0] == pair[1]) continue;
    const auto [a, b] = ordered(pair);
    all[static_cast<std::size_t>(fill[a]++)] = static_cast<std::uint32_t>(b);
  }
  neighbour_starts_.assign(nodes + 1, 0);
  neighbours_.reserve(all.size());
  for (std::size_t n = 0; n < nodes; ++n) {
    auto first = all.begin() + starts[n], last = all.begin() + starts[n + 1];
    std::sort(first, last);
    last = std::unique(first, last);
    neighbours_.insert(neighbours_.end(), first, last);
    neighbour_starts_[n + 1] = static_cast<std::int64_t>(neighbours_.size());
  }

  diagonal_starts_.resize(nodes);
  block_starts_.resize(neighbours_.size());
  std::int64_t entries = 0;
  for (std::size_t n = 0; n < nodes; ++n) {
    const std::int64_t f = dofs.free[n];
    diagonal_starts_[n] = entries;
    entries += f * (f + 1) / 2;
    for (auto k = neighbour_starts_[n]; k < neighbour_starts_[n + 1]; ++k) {
      block_starts_[static_cast<std::size_t>(k)] = entries;
      entries += f * dofs.free[neighbours_[static_cast<std::size_t>(k)]];
    }
  }

  matrix_.size = static_cast<std::int32_t>(dofs.count());
  // Each node's unknowns are one group: they share the node's pattern.
  for (std::size_t n = 0; n < nodes; ++n)
    if (dofs.free[n] > 0) matrix_.groups.push_back(static_cast<std::int32_t>(dofs.first[n]));
  std::sort(matrix_.groups.begin(), matrix_.groups.end());
  matrix_.rows.resize(static_cast<std::size_t>(entries));
  matrix_.cols.resize(static_cast<std::size_t>(entries));
  matrix_.values.assign(static_cast<std::size_t>(entries), 0.0);
  std::size_t e = 0;
  for (std::size_t n = 0; n < nodes; ++n) {
    const auto first = static_cast<std::int32_t>(dofs.first[n]) + 1;
    const std::int32_t f = dofs.free[n];
    for (std::int32_t i = 0; i < f; ++i)
      for (std::int32_t j = i; j < f; ++j, ++e) {
        matrix_.rows[e] = first + i;
        matrix_.cols[e] = first + j;
      }
    for (auto k = neighbour_starts_[n]; k < neighbour_starts_[n + 1]; ++k) {
      const std::size_t b = neighbours_[static_cast<std::size_t>(k)];
      const auto other = static_cast<std::int32_t>(dofs.first[b]) + 1;
      const std::int32_t g = dofs.free[b];
      for (std::int32_t i = 0; i < f; ++i)
        for (std::int32_t j = 0; j < g; ++j, ++e) {
          // Unknowns of one node are consecutive, so the row of the earlier node is lower.
          matrix_.rows[e] = first + i;
          matrix_.cols[e] = other + j;
        }
    }
  }
}

std::int64_t SparseGlobalMatrix::block_start(std::size_t a, std::size_t b) const {
  if (a == b) return diagonal_starts_[a];
  const auto first = neighbours_.begin() + neighbour_starts_[a];
  const auto last = neighbours_.begin() + neighbour_starts_[a + 1];
  const auto found = std::lower_bound(first, last, static_cast<std::uint32_t>(b));
  if (found == last || *found != b) return -1;
  return block_starts_[static_cast<std::size_t>(found - neighbours_.begin())];
}

std::int64_t SparseGlobalMatrix::position(std::size_t row, std::size_t col) const {
  if (row > col) std::swap(row, col);
  if (col >= size()) throw InternalFault(kIndexOutOfBounds);
  const std::size_t a = dofs_->node_of[row] - std::size_t{1};
  const std::size_t b = dofs_->node_of[col] - std::size_t{1};
  const auto rank_a = static_cast<std::int64_t>(row) - dofs_->first[a];
  const auto rank_b = static_cast<std::int64_t>(col) - dofs_->first[b];
  if (a == b) {
    const std::int64_t f = dofs_->free[a];
    return diagonal_starts_[a] + rank_a * f - rank_a * (rank_a - 1) / 2 + (rank_b - rank_a);
  }
  const std::int64_t block = block_start(a, b);
  return block < 0 ? -1 : block + rank_a * dofs_->free[b] + rank_b;
}

void SparseGlobalMatrix::add_element(const linalg::Matrix12& element, const ElementDofs& dofs) {
  // The nodes of the two ends, from any of their unknowns (an end without unknowns adds nothing).
  std::size_t nodes[2] = {0, 0};
  bool has[2] = {false, false};
  for (int p = 0; p < 12; ++p) {
    if (dofs[static_cast<std::size_t>(p)] == kNoDof || has[p / 6]) continue;
    if (dofs[static_cast<std::size_t>(p)] < 0 || dofs[static_cast<std::size_t>(p)] >= matrix_.size)
      throw InternalFault(kIndexOutOfBounds);
    nodes[p / 6] = dofs_->node_of[static_cast<std::size_t>(dofs[static_cast<std::size_t>(p)])] - 1;
    has[p / 6] = true;
  }
  const bool coupled = has[0] && has[1] && nodes[0] != nodes[1];
  const int row_side = coupled && dofs_->before(nodes[1], nodes[0]) ? 1 : 0;
  const std::int64_t coupling =
      coupled ? block_start(nodes[row_side], nodes[1 - row_side]) : std::int64_t{-1};
  if (coupled && coupling < 0) throw InternalFault(kIndexOutOfBounds);
  double* values = matrix_.values.data();
  for (int p = 0; p < 12; ++p) {
    const std::int64_t row = dofs[static_cast<std::size_t>(p)];
    if (row == kNoDof) continue;
    const int side_p = p / 6;
    const std::int64_t rp = row - dofs_->first[nodes[side_p]];
    for (int q = 0; q < 12; ++q) {
      const std::int64_t col = dofs[static_cast<std::size_t>(q)];
      if (col == kNoDof) continue;
      const int side_q = q / 6;
      const std::int64_t rq = col - dofs_->first[nodes[side_q]];
      if (nodes[side_p] == nodes[side_q]) {
        // Upper triangle of the node's diagonal block, packed row by row.
        if (rq < rp) continue;
        const std::int64_t f = dofs_->free[nodes[side_p]];
        values[diagonal_starts_[nodes[side_p]] + rp * f - rp * (rp - 1) / 2 + (rq - rp)] +=
            element(p, q);
      } else if (side_p == row_side) {
        values[coupling + rp * dofs_->free[nodes[side_q]] + rq] += element(p, q);
      }
    }
  }
}

double SparseGlobalMatrix::at(std::size_t row, std::size_t col) const {
  const std::int64_t k = position(row, col);
  return k < 0 ? 0.0 : matrix_.values[static_cast<std::size_t>(k)];
}

void SparseGlobalMatrix::subtract_and_divide(const SparseGlobalMatrix& other, double divisor) {
  if (other.matrix_.values.size() != matrix_.values.size()) throw InternalFault(kIndexOutOfBounds);
  for (std::size_t k = 0; k < matrix_.values.size(); ++k)
    matrix_.values[k] = (matrix_.values[k] - other.matrix_.values[k]) / divisor;
}

linalg::Vector SparseGlobalMatrix::multiply(const linalg::Vector& v) const {
  if (static_cast<std::size_t>(v.size()) != size()) throw InternalFault(kIndexOutOfBounds);
  linalg::Vector y(v.size());
  linalg::multiply_into(matrix_, v.data(), y.data());
  return y;
}

std::expected<std::unique_ptr<SparseGlobalFactor>, FactorFailure> SparseGlobalFactor::create(
    linalg::SparseSymmetricMatrix matrix, std::optional<std::uint64_t> available_bytes,
    base::Monitor& monitor, linalg::Definiteness expected) {
  const auto failure = [](const linalg::SparseSolverError& error) {
    using Kind = linalg::SparseSolverError::Kind;
    return std::unexpected(
        FactorFailure{error.kind == Kind::cancelled       ? FactorFailure::Kind::cancelled
                      : error.kind == Kind::out_of_memory ? FactorFailure::Kind::out_of_memory
                                                          : FactorFailure::Kind::failed,
                      error.text});
  };
  const linalg::FactorProcess::Stop stop = [&monitor] { return monitor.stop_requested(); };
  std::unique_ptr<SparseGlobalFactor> factor(new SparseGlobalFactor(std::move(matrix), expected));
  monitor.stage_progress("order", 0.0);
  if (factor->ldlt_.size() >= kProcessUnknowns) {
    auto process = linalg::FactorProcess::analyse(factor->ldlt_, linalg::Ordering::automatic, stop);
    if (!process) return failure(process.error());
    factor->process_ = std::move(*process);  // none to be had: the work is done here
  }
  if (!factor->process_)
    if (auto ordered = factor->ldlt_.analyse(); !ordered) return failure(ordered.error());
  monitor.stage_end("order");
  if (monitor.stop_requested())
    return std::unexpected(FactorFailure{FactorFailure::Kind::cancelled, ""});
  monitor.stage_progress("factorise", 0.0);
  monitor.stage_estimate("factorise", factor->estimated_flops() / kFactorisationFlopRate);
  if (available_bytes && factor->estimated_bytes() > *available_bytes)
    return std::unexpected(
        FactorFailure{FactorFailure::Kind::too_large, "", factor->estimated_bytes()});
  if (auto factorised = factor->process_ ? factor->process_->factorise(kNullPivotThreshold, stop)
                                         : factor->ldlt_.factorise(kNullPivotThreshold);
      !factorised)
    return failure(factorised.error());
  monitor.stage_end("factorise");
  return factor;
}

std::optional<linalg::Vector> SparseGlobalFactor::solve(const linalg::Vector& rhs) const {
  if (singular()) return std::nullopt;
  linalg::Vector x = rhs;
  if (auto solved = solve_in_place(x.data(), 1); !solved) {
    if (solved.error().kind == linalg::SparseSolverError::Kind::out_of_memory)
      throw std::bad_alloc();
    throw InternalFault("The sparse solve failed: " + solved.error().text);
  }
  return x;
}

std::expected<void, linalg::SparseSolverError> SparseGlobalFactor::solve_in_place(
    double* rhs, std::int32_t count, const linalg::FactorProcess::Stop* stop) const {
  if (process_) return process_->solve(rhs, count, stop);
  return ldlt_.solve(rhs, count);
}

}  // namespace velm::system
