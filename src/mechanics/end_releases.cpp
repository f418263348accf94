#include "mechanics/end_releases.hpp"

#include <Eigen/Eigenvalues>

#include <cmath>
#include <vector>

namespace velm::mechanics {

CondensedMember condense(const linalg::Matrix12& k, const linalg::Vector12& f0,
                         const EndConnections& ends) {
  std::vector<int> released;
  for (int i = 0; i < 12; ++i)
    if (ends[static_cast<std::size_t>(i)]) released.push_back(i);
  if (released.empty()) return {k, f0, false};

  const auto r = static_cast<Eigen::Index>(released.size());
  // Node dofs u (12) and member-end dofs a (r): K_uu, K_ua, K_aa and the loads on a.
  linalg::Matrix12 k_uu = k;
  Eigen::MatrixXd k_ua = Eigen::MatrixXd::Zero(12, r);
  Eigen::MatrixXd k_aa = Eigen::MatrixXd::Zero(r, r);
  Eigen::VectorXd f_a(r);
  linalg::Vector12 f_u = f0;
  for (Eigen::Index p = 0; p < r; ++p) {
    const int i = released[static_cast<std::size_t>(p)];
    for (Eigen::Index q = 0; q < r; ++q) k_aa(p, q) = k(i, released[static_cast<std::size_t>(q)]);
    for (int j = 0; j < 12; ++j) k_ua(j, p) = k(j, i);
    f_a(p) = f0(i);
  }
  // The u rows and columns of released dofs keep only their springs.
  for (Eigen::Index p = 0; p < r; ++p) {
    const int i = released[static_cast<std::size_t>(p)];
    k_uu.row(i).setZero();
    k_uu.col(i).setZero();
    k_ua.row(i).setZero();
    f_u(i) = 0.0;
  }
  for (Eigen::Index p = 0; p < r; ++p) {
    const int i = released[static_cast<std::size_t>(p)];
    const double s = *ends[static_cast<std::size_t>(i)];
    k_uu(i, i) += s;
    k_ua(i, p) -= s;
    k_aa(p, p) += s;
  }

  // Pseudo-inverse through the eigenvalues of the symmetric K_aa.
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(k_aa);
  const Eigen::VectorXd& values = eigen.eigenvalues();
  const double largest = values.cwiseAbs().maxCoeff();
  const double tolerance = 1e-12 * largest;
  Eigen::MatrixXd pseudo_inverse = Eigen::MatrixXd::Zero(r, r);
  bool load_not_carried = false;
  const double load_scale = f_a.cwiseAbs().maxCoeff();
  for (Eigen::Index m = 0; m < r; ++m) {
    const Eigen::VectorXd v = eigen.eigenvectors().col(m);
    if (std::abs(values(m)) > tolerance) {
      pseudo_inverse += v * v.transpose() / values(m);
    } else if (load_scale > 0.0 && std::abs(v.dot(f_a)) > 1e-9 * load_scale) {
      load_not_carried = true;
    }
  }
  const Eigen::MatrixXd k_ua_inverse = k_ua * pseudo_inverse;
  CondensedMember out;
  out.stiffness = k_uu - k_ua_inverse * k_ua.transpose();
  out.fixed_end_forces = f_u - k_ua_inverse * f_a;
  out.load_not_carried = load_not_carried;
  // Symmetric by construction; rounding is evened out.
  out.stiffness = 0.5 * (out.stiffness + out.stiffness.transpose()).eval();
  return out;
}

}  // namespace velm::mechanics
