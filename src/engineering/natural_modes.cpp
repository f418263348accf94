#include "engineering/natural_modes.hpp"

#include <Eigen/Eigenvalues>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace velm::engineering {

namespace {

using linalg::Vector;

base::Expected<std::vector<Mode>> solver_failed() {
  return base::fail(base::ErrorCode::solver_failed,
                    "the eigenproblem of the natural frequencies did not converge");
}

// The modes of the largest `count` eigenvalues mu = 1 / omega^2 among `values` (descending).
std::vector<Mode> modes_of(const Vector& values, const Eigen::MatrixXd& vectors, int count) {
  std::vector<Mode> found;
  const double largest = values.size() ? values.cwiseAbs().maxCoeff() : 0.0;
  for (Eigen::Index i = 0; i < values.size() && static_cast<int>(found.size()) < count; ++i)
    if (values(i) > 1e-12 * largest) found.push_back({1.0 / std::sqrt(values(i)), vectors.col(i)});
  return found;
}

}  // namespace

base::Expected<std::vector<Mode>> dense_modes(const system::SparseGlobalMatrix& k,
                                              const system::SparseGlobalMatrix& m, int count) {
  const auto n = static_cast<Eigen::Index>(k.size());
  if (n == 0 || count <= 0) return std::vector<Mode>{};
  Eigen::MatrixXd kd(n, n), md(n, n);
  for (Eigen::Index i = 0; i < n; ++i)
    for (Eigen::Index j = 0; j < n; ++j) {
      const auto a = static_cast<std::size_t>(std::min(i, j));
      const auto b = static_cast<std::size_t>(std::max(i, j));
      kd(i, j) = k.at(a, b);
      md(i, j) = m.at(a, b);
    }
  const Eigen::GeneralizedSelfAdjointEigenSolver<Eigen::MatrixXd> solver(md, kd);
  if (solver.info() != Eigen::Success) return solver_failed();
  return modes_of(solver.eigenvalues().reverse(), solver.eigenvectors().rowwise().reverse(), count);
}

// The lowest modes of K phi = omega^2 M phi (larger systems; dense_modes the small ones) by
// subspace iteration on the factorised K: a block X of q = max(2p, p + 8) vectors (p the modes
// asked for) is driven towards the largest eigenvalues mu = 1 / omega^2 of K^-1 M,
//   X' = K^-1 (M X)   (one solve with q right-hand sides: a pass over the factor for all),
// and turned into Ritz vectors by the q x q problem (X'^T M X') v = mu (X'^T K X') v, with
// X'^T K X' = X'^T (M X). Each pass shrinks the error of mode i by (mu_(q+1) / mu_i); the
// passes end when each of the p values settles to 1e-8 (the refinement on the exact stiffness then
// needs the shapes to a few digits only). The start is fixed pseudo-random, so the result
// depends on nothing but the model.
base::Expected<std::vector<Mode>> lowest_modes(const system::SparseGlobalMatrix& m,
                                               const system::Factorisation& factor, int count,
                                               base::Monitor& monitor) {
  const auto n = static_cast<Eigen::Index>(m.size());
  if (n == 0 || count <= 0) return std::vector<Mode>{};
  const Eigen::Index p = std::min<Eigen::Index>(count, n);
  const Eigen::Index q = std::min<Eigen::Index>(n, std::max<Eigen::Index>(2 * p, p + 8));
  const linalg::SparseSymmetricMatrix& mc = m.matrix();
  const auto times_m = [&](const double* x, double* y) { linalg::multiply_into(mc, x, y); };
  Eigen::MatrixXd x(n, q), mx(n, q);
  std::uint64_t state = 0x9E3779B97F4A7C15ULL;
  for (Eigen::Index j = 0; j < q; ++j)
    for (Eigen::Index i = 0; i < n; ++i) {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      x(i, j) = static_cast<double>(state >> 11) * 0x1.0p-53 - 0.5;
    }
  for (Eigen::Index j = 0; j < q; ++j) times_m(x.col(j).data(), mx.col(j).data());
  Vector values, previous = Vector::Zero(p);
  bool settled = false;
  for (int pass = 0; pass < 200 && !settled; ++pass) {
    if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
    x = mx;
    if (!factor.solve_in_place(x.data(), static_cast<std::int32_t>(q))) return solver_failed();
    Eigen::MatrixXd kr = x.transpose() * mx;
    for (Eigen::Index j = 0; j < q; ++j) times_m(x.col(j).data(), mx.col(j).data());
    Eigen::MatrixXd mr = x.transpose() * mx;
    kr = 0.5 * (kr + kr.transpose()).eval();
    mr = 0.5 * (mr + mr.transpose()).eval();
    const Eigen::GeneralizedSelfAdjointEigenSolver<Eigen::MatrixXd> ritz(mr, kr);
    if (ritz.info() != Eigen::Success) return solver_failed();
    const Eigen::MatrixXd turn = ritz.eigenvectors().rowwise().reverse();
    values = ritz.eigenvalues().reverse();
    x = (x * turn).eval();
    mx = (mx * turn).eval();
    settled = pass > 0;
    for (Eigen::Index i = 0; i < p; ++i)
      if (std::abs(values(i) - previous(i)) > 1e-8 * std::abs(values(i))) settled = false;
    previous = values.head(p);
  }
  if (!settled) return solver_failed();
  return modes_of(values, x, count);
}

}  // namespace velm::engineering
