// The global stiffness matrix of one load case: 6 dofs per node (UX, UY, UZ, RX, RY, RZ), node n
// owning rows and columns 6(n-1) .. 6(n-1)+5. The stages of the solve see only this interface,
// never the storage behind it; each storage is one type (dense_global_matrix.hpp,
// band_global_matrix.hpp). What a model prints and returns does not depend on the storage.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "linalg/types.hpp"
#include "mechanics/element_dofs.hpp"
#include "model/member.hpp"

namespace velm::listing {

// Value put on the diagonal of a fixed dof once its row and column are cleared.
inline constexpr double kConstrainedDiagonal = 1e20;

using mechanics::ElementDofs;
using mechanics::kNoDof;

// The factorisation of a global matrix: its determinant and any number of solves.
class GlobalFactor {
 public:
  virtual ~GlobalFactor() = default;
  // A pivot was negligible against its column (linalg/negligible_pivot.hpp), or zero.
  virtual bool singular() const = 0;
  virtual double determinant() const = 0;
  // The solution x of K x = rhs; nothing when singular.
  virtual std::optional<linalg::Vector> solve(const linalg::Vector& rhs) const = 0;
};

class GlobalMatrix {
 public:
  virtual ~GlobalMatrix() = default;

  // The order of the matrix (rows = columns).
  virtual std::size_t size() const = 0;

  // Adds an element's 12 x 12 global-axes matrix: entry (a, b) into (dofs[a], dofs[b]), row by
  // row, skipping kNoDof. A member whose two ends share a node adds its four blocks into one.
  virtual void add_element(const linalg::Matrix12& element, const ElementDofs& dofs) = 0;

  // Fixes one dof: its row and column become zero and its diagonal 1e20, so the solve gives it
  // a displacement of (its load) / 1e20.
  virtual void constrain(std::size_t dof) = 0;

  // One entry, 0 where the storage holds none.
  virtual double at(std::size_t row, std::size_t col) const = 0;

  // For printing without knowing the storage: the first and last column (inclusive) that row may
  // hold non-zeros in, and a copy of rows first_row..last_row, columns first_col..last_col (all
  // inclusive) into a row-major tile of (last_row - first_row + 1) x (last_col - first_col + 1)
  // values, zeros included.
  virtual std::pair<std::size_t, std::size_t> row_extent(std::size_t row) const = 0;
  virtual void copy_rows(std::size_t first_row, std::size_t last_row, std::size_t first_col,
                         std::size_t last_col, double* tile) const = 0;

  // K v.
  virtual linalg::Vector multiply(const linalg::Vector& v) const = 0;

  virtual std::unique_ptr<GlobalMatrix> clone() const = 0;

  // Consumes the matrix to spare a copy; the matrix is left empty.
  virtual std::unique_ptr<GlobalFactor> factorise() && = 0;
};

enum class Storage { automatic, dense, band };

// The storage a matrix of this order and half-bandwidth gets: the one asked for, or for
// `automatic` the band when it is narrow enough to pay off. A matrix of order 0 is dense.
Storage chosen_storage(std::size_t size, std::uint64_t half_bandwidth, Storage requested);

// A zero matrix of the given order in the chosen storage, for entries at most `half_bandwidth`
// off the diagonal.
std::unique_ptr<GlobalMatrix> make_global_matrix(std::size_t size, std::uint64_t half_bandwidth,
                                                 Storage requested);

// The dofs of a member between nodes start_node and end_node (both 1..N).
ElementDofs member_dofs(std::uint32_t start_node, std::uint32_t end_node);

// Half-bandwidth of K for the members' node ids: 6 |start - end| + 5 at the widest member.
std::uint64_t half_bandwidth(const std::vector<model::MemberSet>& member_sets);

}  // namespace velm::listing
