#include "mechanics/end_releases.hpp"

#include <Eigen/Eigenvalues>

#include <cmath>
#include <limits>
#include <vector>

namespace velm::mechanics {

namespace {

// R, local axes, start at the origin and end at (L, 0, 0): translations along x, y, z, and
// rotations about x, y, z through the start (the end then moves by theta x (L, 0, 0)); and
// (R^T R)^-1.
struct RigidMotions {
  Eigen::Matrix<double, 12, 6> r;
  Eigen::Matrix<double, 6, 6> gram_inverse;
};

RigidMotions rigid_motions(double length, Condensation::Balance balance) {
  RigidMotions rigid;
  rigid.r.setZero();
  const int motions = balance == Condensation::Balance::rigid_body     ? 6
                      : balance == Condensation::Balance::translations ? 3
                                                                       : 0;
  for (int k = 0; k < motions; ++k) rigid.r(k, k) = rigid.r(6 + k, k) = 1.0;
  if (motions == 6) {
    rigid.r(8, 4) = -length;  // about y: the end moves down z
    rigid.r(7, 5) = length;   // about z: the end moves along y
    rigid.gram_inverse = (rigid.r.transpose() * rigid.r).inverse();
  } else {
    // Only the translations: R^T R is 2 I on them; the rotations' columns stay zero.
    rigid.gram_inverse.setZero();
    for (int k = 0; k < motions; ++k) rigid.gram_inverse(k, k) = 0.5;
  }
  return rigid;
}

}  // namespace

Condensation::Condensation(const linalg::Matrix12& k, const EndConnections& ends, double length,
                           Balance balance)
    : length_(length), balance_(balance) {
  for (int i = 0; i < 12; ++i)
    if (ends[static_cast<std::size_t>(i)]) released_.push_back(i);
  if (released_.empty()) {
    stiffness_ = k;
    return;
  }

  const auto r = static_cast<Eigen::Index>(released_.size());
  // Node dofs u (12) and member-end dofs a (r): K_uu, K_ua and K_aa.
  linalg::Matrix12 k_uu = k;
  Eigen::MatrixXd k_ua = Eigen::MatrixXd::Zero(12, r);
  Eigen::MatrixXd k_aa = Eigen::MatrixXd::Zero(r, r);
  for (Eigen::Index p = 0; p < r; ++p) {
    const int i = released_[static_cast<std::size_t>(p)];
    for (Eigen::Index q = 0; q < r; ++q) k_aa(p, q) = k(i, released_[static_cast<std::size_t>(q)]);
    for (int j = 0; j < 12; ++j) k_ua(j, p) = k(j, i);
  }
  // The u rows and columns of released dofs keep only their springs.
  for (Eigen::Index p = 0; p < r; ++p) {
    const int i = released_[static_cast<std::size_t>(p)];
    k_uu.row(i).setZero();
    k_uu.col(i).setZero();
    k_ua.row(i).setZero();
  }
  for (Eigen::Index p = 0; p < r; ++p) {
    const int i = released_[static_cast<std::size_t>(p)];
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
  for (Eigen::Index m = 0; m < r; ++m) {
    const Eigen::VectorXd v = eigen.eigenvectors().col(m);
    if (std::abs(values(m)) > tolerance)
      pseudo_inverse += v * v.transpose() / values(m);
    else
      free_modes_.push_back(v);
    if (values(m) < -tolerance) buckles_between_nodes_ = true;
  }
  k_ua_inverse_ = k_ua * pseudo_inverse;
  pseudo_inverse_ = pseudo_inverse;
  stiffness_ = k_uu - k_ua_inverse_ * k_ua.transpose();
  // An entry that the subtraction cancels is rounding, not stiffness: a pinned bar keeps
  // nothing across its axis, and a few units in the last place of its bending terms left
  // there would hold a node that nothing holds. Such entries become exactly 0, so that the
  // factorisation sees the mechanism. The bound is that of the rounding of the two products:
  // |error| <= c eps (|K_uu| + |K_ua| |K_aa^+| |K_au|) per entry.
  const Eigen::MatrixXd magnitude =
      k_uu.cwiseAbs() + (k_ua.cwiseAbs() * pseudo_inverse.cwiseAbs()) * k_ua.transpose().cwiseAbs();
  constexpr double kRounding = 64.0 * std::numeric_limits<double>::epsilon();
  for (int i = 0; i < 12; ++i)
    for (int j = 0; j < 12; ++j)
      if (std::abs(stiffness_(i, j)) <= kRounding * magnitude(i, j)) stiffness_(i, j) = 0.0;
  // Symmetric by construction; rounding is evened out.
  stiffness_ = 0.5 * (stiffness_ + stiffness_.transpose()).eval();

  // A rigid-body motion of the member strains nothing: k' R = 0, so its end forces balance.
  // With a spring much softer than the member (1e3 against 1e10), k' is a small difference of
  // large terms, and its rounding leaves k' R of the order of eps times the member's stiffness:
  // end forces that miss equilibrium by per cent. The rounding is taken out of the rigid-body
  // motions, k'' = (I - Q) k' (I - Q) with Q = R (R^T R)^-1 R^T, which changes nothing where
  // k' R is 0 already (every rigidly joined or pinned member: their k' is left bit for bit).
  const RigidMotions rigid = rigid_motions(length_, balance_);
  const Eigen::Matrix<double, 12, 6> strained = stiffness_ * rigid.r;  // k' R
  if (!strained.isZero(0.0)) {
    const linalg::Matrix12 correction = strained * rigid.gram_inverse * rigid.r.transpose();
    const Eigen::Matrix<double, 6, 6> inner =
        rigid.gram_inverse * (rigid.r.transpose() * strained) * rigid.gram_inverse;
    stiffness_ =
        (stiffness_ - correction - correction.transpose() + rigid.r * inner * rigid.r.transpose())
            .eval();
    stiffness_ = 0.5 * (stiffness_ + stiffness_.transpose()).eval();
  }
}

linalg::Matrix12 Condensation::end_motion() const {
  linalg::Matrix12 t = linalg::Matrix12::Identity();
  for (std::size_t p = 0; p < released_.size(); ++p)
    t.row(released_[p]) = -k_ua_inverse_.col(static_cast<Eigen::Index>(p)).transpose();
  return t;
}

linalg::Vector12 Condensation::end_displacements(const linalg::Vector12& u,
                                                 const linalg::Vector12& f0) const {
  linalg::Vector12 a = u;
  if (released_.empty()) return a;
  const auto r = static_cast<Eigen::Index>(released_.size());
  Eigen::VectorXd f_a(r);
  for (Eigen::Index p = 0; p < r; ++p) f_a(p) = f0(released_[static_cast<std::size_t>(p)]);
  const Eigen::VectorXd moved = -(k_ua_inverse_.transpose() * u) - pseudo_inverse_ * f_a;
  for (Eigen::Index p = 0; p < r; ++p) a(released_[static_cast<std::size_t>(p)]) = moved(p);
  return a;
}

CondensedLoads Condensation::fixed_end_forces(const linalg::Vector12& f0) const {
  if (released_.empty()) return {f0, false};
  const auto r = static_cast<Eigen::Index>(released_.size());
  Eigen::VectorXd f_a(r);
  linalg::Vector12 f_u = f0;
  for (Eigen::Index p = 0; p < r; ++p) {
    const int i = released_[static_cast<std::size_t>(p)];
    f_a(p) = f0(i);
    f_u(i) = 0.0;
  }
  bool load_not_carried = false;
  const double load_scale = f_a.cwiseAbs().maxCoeff();
  for (const Eigen::VectorXd& v : free_modes_)
    if (load_scale > 0.0 && std::abs(v.dot(f_a)) > 1e-9 * load_scale) load_not_carried = true;
  // The condensed forces keep the resultant of the load (R^T f0' = R^T f0); their rounding is
  // taken out of it as out of the stiffness above.
  linalg::Vector12 condensed = f_u - k_ua_inverse_ * f_a;
  const RigidMotions rigid = rigid_motions(length_, balance_);
  const Eigen::Matrix<double, 6, 1> missing = rigid.r.transpose() * (f0 - condensed);
  if (!missing.isZero(0.0)) condensed += rigid.r * (rigid.gram_inverse * missing);
  return {condensed, load_not_carried};
}

}  // namespace velm::mechanics
