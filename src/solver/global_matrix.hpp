// The global stiffness matrix of one load case: 6 dofs per node (UX, UY, UZ, RX, RY, RZ), node n
// owning rows and columns 6(n-1) .. 6(n-1)+5. The stages of the solve see only these
// operations, never the storage behind them.
//
// Storage: node numbering of real frames makes K a band matrix (a member couples only the dofs
// of its two nodes), so K is held as a band of half-bandwidth b found from the member node ids
// before anything is allocated, and factorised by the banded LU with partial pivoting. When the
// band is not much narrower than the matrix (badly numbered models) a dense column-major matrix
// and the dense LU are faster. What a model prints and returns does not depend on the choice.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "linalg/band_lu.hpp"
#include "linalg/dense_lu.hpp"
#include "linalg/types.hpp"
#include "model/member.hpp"
#include "report/console.hpp"

namespace velm::solver {

// Value put on the diagonal of a fixed dof once its row and column are cleared.
inline constexpr double kConstrainedDiagonal = 1e20;

enum class Storage { automatic, dense, band };

// The LU factor of a global matrix: its determinant and the solve, from one factorisation.
class GlobalFactor {
 public:
  explicit GlobalFactor(linalg::DenseLu lu) : lu_(std::move(lu)) {}
  explicit GlobalFactor(linalg::BandLu lu) : lu_(std::move(lu)) {}
  double determinant() const {
    return std::visit([](const auto& lu) { return lu.determinant(); }, lu_);
  }
  // Nothing when the factorisation met an exactly zero pivot.
  std::optional<linalg::Vector> solve(const linalg::Vector& rhs) const {
    return std::visit([&](const auto& lu) { return lu.solve(rhs); }, lu_);
  }

 private:
  std::variant<linalg::DenseLu, linalg::BandLu> lu_;
};

class GlobalMatrix {
 public:
  // Zero-filled, 6N x 6N, dense.
  explicit GlobalMatrix(std::uint32_t node_count)
      : GlobalMatrix(node_count, UINT64_MAX, Storage::dense) {}
  // Zero-filled, 6N x 6N, for entries at most `half_bandwidth` off the diagonal.
  GlobalMatrix(std::uint32_t node_count, std::uint64_t half_bandwidth, Storage storage);

  // Bytes that the dense matrices alive at once during a solve would need (the assembled
  // matrix, its constrained copy and the factor); nothing when the count overflows 64 bits.
  // The verdict on a model is the same whatever storage is chosen.
  static std::optional<std::uint64_t> bytes_needed(std::uint64_t node_count);

  std::uint32_t node_count() const { return node_count_; }
  Eigen::Index size() const { return static_cast<Eigen::Index>(size_); }
  bool is_band() const { return band_.has_value(); }
  std::uint64_t half_bandwidth() const { return bandwidth_; }
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
  double& band_entry(std::size_t row, std::size_t col) {
    return band_->values[band_->offset(row, col)];
  }

  std::uint32_t node_count_;
  std::size_t size_;
  std::uint64_t bandwidth_;
  linalg::DenseMatrix dense_;
  std::optional<linalg::BandStorage> band_;
};

// Half-bandwidth of K for the members' node ids: 6 |start - end| + 5 at the widest member.
std::uint64_t half_bandwidth(const std::vector<model::MemberSet>& member_sets);

}  // namespace velm::solver
