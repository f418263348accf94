// LU decomposition with partial pivoting of a dense square matrix.
#pragma once

#include <optional>
#include <vector>

#include "linalg/types.hpp"

namespace velm::linalg {

class DenseLu {
 public:
  // Factorises the matrix in place (it is consumed). A pivot that is negligible against its
  // column (negligible_pivot.hpp), an exactly zero one included, does not stop the
  // factorisation; it makes the matrix singular and solve() yields nothing.
  explicit DenseLu(DenseMatrix matrix);

  // Product of U's diagonal with the sign of the row permutation; 1 for a 0 x 0 matrix.
  double determinant() const;
  bool singular() const { return singular_; }
  // Solution x of A x = b, or nothing when a pivot was negligible.
  std::optional<Vector> solve(const Vector& rhs) const;

 private:
  DenseMatrix lu_;
  std::vector<int> pivots_;
  bool singular_ = false;
};

// Determinant of an element matrix by LU decomposition with partial pivoting.
double determinant(const Matrix12& matrix);

}  // namespace velm::linalg
