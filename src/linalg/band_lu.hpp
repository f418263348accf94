// LU decomposition with partial pivoting of a square band matrix.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "linalg/huge_page_allocator.hpp"
#include "linalg/types.hpp"

namespace velm::linalg {

// Band storage with `bandwidth` sub- and super-diagonals, column by column, in the layout of
// the LAPACK band routines: A(i, j) is values[(2b + i - j) + j * (3b + 1)] for |i - j| <= b; the
// first b rows of every column are room for the fill-in that row interchanges create.
struct BandStorage {
  std::size_t size = 0;
  std::size_t bandwidth = 0;
  std::vector<double, HugePageAllocator<double>> values;

  std::size_t leading_dimension() const { return 3 * bandwidth + 1; }
  std::size_t offset(std::size_t row, std::size_t col) const {
    return (2 * bandwidth + row - col) + col * leading_dimension();
  }
};

class BandLu {
 public:
  // Factorises in place; the same algorithm as the dense one restricted to the band, so a
  // negligible pivot (negligible_pivot.hpp) is met exactly where the dense factorisation would
  // meet it, and makes the matrix singular.
  explicit BandLu(BandStorage matrix);

  double determinant() const;
  bool singular() const { return singular_; }
  std::optional<Vector> solve(const Vector& rhs) const;

 private:
  BandStorage lu_;
  std::vector<int> pivots_;
  bool singular_ = false;
};

}  // namespace velm::linalg
