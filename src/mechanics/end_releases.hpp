// Member ends that are not rigidly joined to their nodes: a released direction transmits
// nothing, an elastic one transmits through a spring.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include <Eigen/Core>

#include "linalg/types.hpp"

namespace velm::mechanics {

// Per local end dof (start fx fy fz mx my mz, then end): none for a rigid joint, 0 for a
// release, a positive value for a spring (force per length, or moment per radian) between the
// node and the member end.
using EndConnections = std::array<std::optional<double>, 12>;

// The fixed-end forces of a load as the nodes see them.
struct CondensedLoads {
  linalg::Vector12 fixed_end_forces;
  // The load has a part in an action that the releases leave without stiffness (torsion
  // released at both ends, say), which the member cannot carry.
  bool load_not_carried = false;
};

// Static condensation of the member-end dofs that are released or sprung. With u the 12 node
// dofs and a the member-end dofs of the released or sprung directions R, the member's energy is
//   1/2 u_m^T k u_m + 1/2 sum over R of s_i (a_i - u_i)^2,  u_m = u off R, a on R,
// and eliminating a (K_aa a = -K_an u - f0_R) leaves
//   k' = K_uu - K_ua K_aa^+ K_au,  f0' = f0_u - K_ua K_aa^+ f0_R.
// K_aa^+ is the pseudo-inverse: an action that the releases leave free (both torsion ends, both
// axial ends, the shear of a bending plane at both ends, or both moments with one shear) has a
// zero eigenvalue with no coupling to the nodes, and simply carries nothing.
// The condensation is done in two steps: the stiffness once per member, then the fixed-end
// forces of any load on it.
class Condensation {
 public:
  // The rigid-body motions whose forces are known to vanish: all six for an elastic member; the
  // translations alone for a member carrying axial force in second order (a rigid rotation of
  // it turns its axial force, which takes transverse forces N theta at its ends); none for a
  // dynamic stiffness (a rigid motion at a frequency takes the inertia forces).
  enum class Balance { rigid_body, translations, none };

  // `length`: the member's, for its rigid-body motions (below).
  Condensation(const linalg::Matrix12& stiffness, const EndConnections& ends, double length,
               Balance balance = Balance::rigid_body);

  // The member-end block K_aa has a negative eigenvalue: the member buckles between its nodes
  // with the nodes held (its axial force beyond the critical load of the released member).
  bool buckles_between_nodes() const { return buckles_between_nodes_; }

  const linalg::Matrix12& stiffness() const { return stiffness_; }  // k'
  // T with a = T u: the member-end dofs (u off the released and sprung directions, a on them)
  // that the node dofs u give, a_R = -K_aa^+ K_au u (the identity without releases).
  linalg::Matrix12 end_motion() const;
  // Whether any direction is released or sprung (else the member ends move with the nodes).
  bool releases() const { return !released_.empty(); }
  // The member-end displacements under the node displacements u and the uncondensed fixed-end
  // forces f0: u off the released and sprung directions, a_R = -K_aa^+ (K_au u + f0_R) on them
  // (the member ends' equilibrium); an action the releases leave free (a zero eigenvalue of
  // K_aa) takes no part.
  linalg::Vector12 end_displacements(const linalg::Vector12& u, const linalg::Vector12& f0) const;
  // f0' = f0_u - K_ua K_aa^+ f0_R, and whether the load acts on an action without stiffness.
  CondensedLoads fixed_end_forces(const linalg::Vector12& fixed_end) const;

 private:
  linalg::Matrix12 stiffness_;
  std::vector<int> released_;
  Eigen::MatrixXd k_ua_inverse_;    // K_ua K_aa^+, 12 x r
  Eigen::MatrixXd pseudo_inverse_;  // K_aa^+, r x r
  double length_ = 0.0;             // for the rigid-body motions of the member
  Balance balance_ = Balance::rigid_body;
  bool buckles_between_nodes_ = false;
  std::vector<Eigen::VectorXd> free_modes_;  // eigenvectors of K_aa with a zero eigenvalue
};

}  // namespace velm::mechanics
