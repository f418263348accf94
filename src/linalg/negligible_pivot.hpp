// When a pivot of an LU factorisation counts as zero. Rounding in the elimination of column k
// leaves errors of order n * eps * max_i |A(i, k)| in that column, so a pivot no larger than a
// small multiple of this carries no information: the matrix is singular to working precision,
// and a solve would return rounding noise amplified without bound.
#pragma once

#include <cstddef>
#include <limits>

namespace velm::linalg {

// The multiple c in |U(k, k)| <= c * n * eps * max_i |A(i, k)|. The pivots of a frame free to
// move are rounding noise, measured at 0.04 n eps of their column on an unsupported frame of
// askew members; the bound on that noise grows with the pivot growth of the elimination, so c
// leaves it a factor of 250. Soft but stable frames stay far above the bar: the softest pivot
// of a cantilever chain of 1,000 unit members (n = 6,006) sits at 2.5e5 n eps, that of a
// slender portal (ratio 1e-7, n = 24) at 2e7 n eps.
inline constexpr double kNegligiblePivotFactor = 10.0;

// True when `pivot` is negligible against `column_scale` (the largest magnitude in the pivot's
// column of the matrix before factorisation) for a matrix of order n. A zero pivot is always
// negligible, even in a zero column.
inline bool negligible_pivot(double pivot, double column_scale, std::size_t n) {
  const double bar = kNegligiblePivotFactor * static_cast<double>(n) *
                     std::numeric_limits<double>::epsilon() * column_scale;
  const double magnitude = pivot < 0 ? -pivot : pivot;
  return magnitude == 0.0 || magnitude <= bar;
}

}  // namespace velm::linalg
