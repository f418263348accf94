// A sparse symmetric positive definite test matrix: a 3-D lattice of side^3 points, three
// unknowns a point (one group), each point coupled to its neighbours along x, y and z. With
// `loose`, the last point holds nothing: its three rows are empty but for a zero diagonal, so
// the matrix is singular there.
#pragma once

#include "linalg/sparse_matrix.hpp"

namespace velm::testing {

inline linalg::SparseSymmetricMatrix lattice(int side, bool loose = false) {
  linalg::SparseSymmetricMatrix m;
  const int per = 3, points = side * side * side;
  m.size = points * per;
  const auto add = [&](int r, int c, double v) {
    m.rows.push_back(r + 1);
    m.cols.push_back(c + 1);
    m.values.push_back(v);
  };
  for (int p = 0; p < points; ++p) {
    m.groups.push_back(p * per);
    const bool held = !(loose && p + 1 == points);
    const int x = p % side, y = (p / side) % side, z = p / (side * side);
    for (int i = 0; i < per; ++i) {
      add(p * per + i, p * per + i, held ? 30.0 + i : 0.0);
      if (!held) continue;
      for (int j = i + 1; j < per; ++j) add(p * per + i, p * per + j, -1.0);
      for (const int q : {x + 1 < side ? p + 1 : -1, y + 1 < side ? p + side : -1,
                          z + 1 < side ? p + side * side : -1})
        if (q >= 0 && !(loose && q + 1 == points))
          for (int j = 0; j < per; ++j) add(p * per + i, q * per + j, -1.0 - 0.1 * (i + j));
    }
  }
  return m;
}

}  // namespace velm::testing
