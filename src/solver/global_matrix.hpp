// The global stiffness matrix of one load case: 6 dofs per node (UX, UY, UZ, RX, RY, RZ), node n
// owning rows and columns 6(n-1) .. 6(n-1)+5. The stages of the solve see only these
// operations, never the storage behind them (dense and column-major for now).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "linalg/dense_lu.hpp"
#include "linalg/types.hpp"
#include "report/console.hpp"

namespace velm::solver {

// Value put on the diagonal of a fixed dof once its row and column are cleared.
inline constexpr double kConstrainedDiagonal = 1e20;

// The LU factor of a global matrix: its determinant and the solve, from one factorisation.
class GlobalFactor {
 public:
  explicit GlobalFactor(linalg::DenseLu lu) : lu_(std::move(lu)) {}
  double determinant() const { return lu_.determinant(); }
  // Nothing when the factorisation met an exactly zero pivot.
  std::optional<linalg::Vector> solve(const linalg::Vector& rhs) const { return lu_.solve(rhs); }

 private:
  linalg::DenseLu lu_;
};

class GlobalMatrix {
 public:
  // Zero-filled, 6N x 6N.
  explicit GlobalMatrix(std::uint32_t node_count);

  // Bytes that the matrices alive at once during a solve need (the assembled matrix, its
  // constrained copy and the factor); nothing when the count overflows 64 bits.
  static std::optional<std::uint64_t> bytes_needed(std::uint64_t node_count);

  std::uint32_t node_count() const { return node_count_; }
  Eigen::Index size() const { return matrix_.rows(); }
  double operator()(Eigen::Index row, Eigen::Index col) const;

  // Adds a member's 12 x 12 global-axes matrix (start node dofs first) into the blocks of its
  // two nodes. Both ids must lie in 1..N.
  void add_element(const linalg::Matrix12& element, std::uint32_t start_node,
                   std::uint32_t end_node);

  // Fixes one dof: its row and column become zero and its diagonal 1e20, so the solve gives it
  // a displacement of (its load) / 1e20.
  void constrain(std::uint64_t dof);

  void print(report::Console& console, std::string_view title) const;

  linalg::Vector multiply(const linalg::Vector& vector) const;

  // LU decomposition with partial pivoting; consumes the matrix to spare a copy.
  GlobalFactor factorise() &&;

 private:
  std::uint32_t node_count_;
  linalg::DenseMatrix matrix_;
};

}  // namespace velm::solver
