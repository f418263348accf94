// The nested-dissection ordering of the graph of groups of unknowns: the graph it is given, the
// pivot order it hands on, its reproducibility whichever thread asks, its independence of the
// numbering, and the solutions it leads to against those of the minimum-fill ordering.
#include "linalg/nested_dissection.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "linalg/sparse_ldlt.hpp"

namespace velm::testing {
namespace {

using linalg::SparseSymmetricMatrix;

// A lattice of nx * ny * nz points, `per` unknowns a point, each point coupled to its six
// neighbours; point p is numbered label[p]. Every off-diagonal entry is -1 and every diagonal
// 1 + the number of off-diagonal entries in its row, so the matrix is strictly diagonally
// dominant and positive definite.
SparseSymmetricMatrix lattice(int nx, int ny, int nz, int per, const std::vector<int>& label) {
  const int points = nx * ny * nz;
  const auto point = [&](int x, int y, int z) {
    return label[static_cast<std::size_t>((z * ny + y) * nx + x)];
  };
  std::vector<std::vector<int>> neighbours(static_cast<std::size_t>(points));
  for (int z = 0; z < nz; ++z)
    for (int y = 0; y < ny; ++y)
      for (int x = 0; x < nx; ++x) {
        const int p = point(x, y, z);
        if (x + 1 < nx)
          neighbours[static_cast<std::size_t>(std::min(p, point(x + 1, y, z)))].push_back(
              std::max(p, point(x + 1, y, z)));
        if (y + 1 < ny)
          neighbours[static_cast<std::size_t>(std::min(p, point(x, y + 1, z)))].push_back(
              std::max(p, point(x, y + 1, z)));
        if (z + 1 < nz)
          neighbours[static_cast<std::size_t>(std::min(p, point(x, y, z + 1)))].push_back(
              std::max(p, point(x, y, z + 1)));
      }
  std::vector<int> degree(static_cast<std::size_t>(points), 0);
  for (int p = 0; p < points; ++p)
    for (const int q : neighbours[static_cast<std::size_t>(p)]) {
      ++degree[static_cast<std::size_t>(p)];
      ++degree[static_cast<std::size_t>(q)];
    }
  SparseSymmetricMatrix m;
  m.size = points * per;
  const auto add = [&](int row, int col, double value) {
    m.rows.push_back(row + 1);
    m.cols.push_back(col + 1);
    m.values.push_back(value);
  };
  for (int p = 0; p < points; ++p) {
    m.groups.push_back(p * per);
    std::sort(neighbours[static_cast<std::size_t>(p)].begin(),
              neighbours[static_cast<std::size_t>(p)].end());
    for (int i = 0; i < per; ++i) {
      const double row_entries = per - 1 + per * degree[static_cast<std::size_t>(p)];
      add(p * per + i, p * per + i, 1.0 + row_entries);
      for (int j = i + 1; j < per; ++j) add(p * per + i, p * per + j, -1.0);
      for (const int q : neighbours[static_cast<std::size_t>(p)])
        for (int j = 0; j < per; ++j) add(p * per + i, q * per + j, -1.0);
    }
  }
  return m;
}

std::vector<int> identity(int points) {
  std::vector<int> label(static_cast<std::size_t>(points));
  for (int p = 0; p < points; ++p) label[static_cast<std::size_t>(p)] = p;
  return label;
}

std::vector<int> shuffled(int points, std::uint32_t seed) {
  std::vector<int> label = identity(points);
  std::mt19937 random(seed);
  for (std::size_t k = label.size() - 1; k > 0; --k) std::swap(label[k], label[random() % (k + 1)]);
  return label;
}

TEST(NestedDissection, TheGroupGraphJoinsGroupsThatShareAnEntry) {
  // Groups {0, 1}, {2}, {3, 4}, {5}: 0-1 and 1-2 through several entries each, 0-2 once, the
  // last group alone.
  SparseSymmetricMatrix m;
  m.size = 6;
  m.groups = {0, 2, 3, 5};
  const std::vector<std::pair<int, int>> entries = {{1, 1}, {1, 2}, {1, 3}, {2, 3}, {3, 4},
                                                    {3, 5}, {2, 4}, {1, 4}, {4, 5}, {6, 6}};
  for (const auto& [r, c] : entries) {
    m.rows.push_back(r);
    m.cols.push_back(c);
    m.values.push_back(1.0);
  }
  const linalg::GroupGraph g = linalg::group_graph(m, m.groups);
  EXPECT_EQ(g.weight, (std::vector<std::int32_t>{2, 1, 2, 1}));
  EXPECT_EQ(g.starts, (std::vector<std::int32_t>{0, 2, 4, 6, 6}));
  EXPECT_EQ(g.neighbours, (std::vector<std::int32_t>{1, 2, 0, 2, 0, 1}));
}

TEST(NestedDissection, EachGroupsUnknownsArePivotedOneAfterTheOther) {
  // Groups {0, 1}, {2}, {3, 4} eliminated third, first, second... in the order 2, 0, 1.
  EXPECT_EQ(linalg::unknown_positions({0, 2, 3}, 5, {2, 0, 1}),
            (std::vector<std::int32_t>{3, 4, 5, 1, 2}));
}

TEST(NestedDissection, TheOrderIsAPermutationAndTheSameFromEveryThread) {
  const SparseSymmetricMatrix m = lattice(12, 12, 12, 2, shuffled(1728, 7));
  const linalg::GroupGraph g = linalg::group_graph(m, m.groups);
  const auto first = linalg::nested_dissection(g);
  ASSERT_TRUE(first.has_value());
  std::vector<std::int32_t> sorted = *first;
  std::sort(sorted.begin(), sorted.end());
  for (std::size_t k = 0; k < sorted.size(); ++k)
    ASSERT_EQ(sorted[k], static_cast<std::int32_t>(k));
  // Four threads at once, twice each: the partitioner's random choices are never shared.
  std::vector<std::vector<std::int32_t>> orders(8);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      orders[2 * t] = *linalg::nested_dissection(g);
      orders[2 * t + 1] = *linalg::nested_dissection(g);
    });
  for (std::thread& t : threads) t.join();
  for (const auto& order : orders) EXPECT_EQ(order, *first);
}

TEST(NestedDissection, TheFillDoesNotDependOnTheNumbering) {
  const int nx = 16, ny = 16, nz = 10, points = nx * ny * nz;
  const auto fill = [&](const std::vector<int>& label) {
    linalg::SparseLdlt solver(lattice(nx, ny, nz, 3, label));
    EXPECT_TRUE(solver.analyse(linalg::Ordering::nested_dissection).has_value());
    return static_cast<double>(solver.estimated_factor_entries());
  };
  const double ordered = fill(identity(points));
  for (const std::uint32_t seed : {1u, 2u, 3u}) {
    const double other = fill(shuffled(points, seed));
    EXPECT_NEAR(other / ordered, 1.0, 0.05) << seed;
  }
}

TEST(NestedDissection, SolvesAsTheMinimumFillOrderingDoesAndAlwaysAlike) {
  const int points = 14 * 14 * 8;
  const SparseSymmetricMatrix m = lattice(14, 14, 8, 3, shuffled(points, 11));
  const auto n = static_cast<std::size_t>(m.size);
  std::vector<double> b(2 * n);
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = std::sin(0.7 * static_cast<double>(i) + 0.3);
  const auto solve = [&](linalg::Ordering ordering) {
    linalg::SparseLdlt solver(m);
    EXPECT_TRUE(solver.analyse(ordering).has_value());
    EXPECT_TRUE(solver.factorise(1e-12).has_value());
    EXPECT_TRUE(solver.null_pivots().empty());
    EXPECT_EQ(solver.negative_pivots(), 0);
    std::vector<double> x = b;
    EXPECT_TRUE(solver.solve(x.data(), 2).has_value());
    return x;
  };
  const std::vector<double> nd = solve(linalg::Ordering::nested_dissection);
  const std::vector<double> mf = solve(linalg::Ordering::minimum_fill);
  EXPECT_EQ(solve(linalg::Ordering::nested_dissection), nd);  // bit for bit
  // Both solve the system: the residual of each right-hand side is at rounding level.
  for (std::size_t c = 0; c < 2; ++c) {
    const std::vector<double> x(nd.begin() + static_cast<std::ptrdiff_t>(c * n),
                                nd.begin() + static_cast<std::ptrdiff_t>((c + 1) * n));
    const std::vector<double> ax = linalg::multiply(m, x);
    for (std::size_t i = 0; i < n; ++i) ASSERT_NEAR(ax[i], b[c * n + i], 1e-12) << i;
  }
  for (std::size_t i = 0; i < nd.size(); ++i) ASSERT_NEAR(nd[i], mf[i], 1e-13) << i;
}

}  // namespace
}  // namespace velm::testing
