#include "mechanics/beam_column.hpp"

#include <cmath>
#include <vector>

#include "mechanics/internal_forces.hpp"
#include "mechanics/stability_functions.hpp"

namespace velm::mechanics {

namespace {

// The four bending terms of a plane, placed like 12, 6, 4, 2 EI/L^n.
struct BendingTerms {
  double vv, vtheta, near, far;
};

// k_vv, k_vtheta, a, b of a plane with flexural rigidity ei carrying n.
BendingTerms bending_terms(double ei, double l, double n) {
  const double rho = n * l * l / ei;
  // Phi_1, Phi_2, Phi_3, Phi_2 - Phi_3 and d at t = 1, all in one scale.
  double p1 = 0.0, p2 = 0.0, p3 = 0.0, p2m3 = 0.0, d = 0.0;
  if (rho <= 4.0) {
    const EndFunctions f = end_functions(rho);
    p1 = f.phi[1];
    p2 = f.phi[2];
    p3 = f.phi[3];
    // Phi_2 - Phi_3 = (Phi_0 - Phi_1) / rho, whose series has terms of one sign.
    p2m3 = rho >= -4.0 ? p2 - p3 : (f.phi[0] - f.phi[1]) / rho;
    d = f.d;
  } else {
    // From Phi_0 and Phi_1 divided by exp(w) (so the constant 1 becomes exp(-w)): the terms
    // are ratios of two of these, in which the scale cancels.
    const double w = std::sqrt(rho), one = std::exp(-w);
    const double p0 = 0.5 * (1.0 + one * one);
    p1 = -std::expm1(-2.0 * w) / (2.0 * w);
    p2 = (p0 - one) / rho;
    p3 = (p1 - one) / rho;
    p2m3 = (p0 - p1) / rho;
    d = (2.0 * one - 2.0 * p0 + rho * p1) / (rho * rho);
  }
  return {ei / (l * l * l) * p1 / d, ei / (l * l) * p2 / d, ei / l * p2m3 / d, ei / l * p3 / d};
}

// Places the terms of one plane: translations v1, v2 and rotations r1, r2 (dof indices);
// `sign` -1 for the x-z plane, where a positive rotation lowers the translation.
void place_bending(linalg::Matrix12& k, int v1, int r1, int v2, int r2, double sign,
                   const BendingTerms& b) {
  const int dof[4] = {v1, r1, v2, r2};
  const double vt = sign * b.vtheta;
  const double block[4][4] = {{b.vv, vt, -b.vv, vt},
                              {vt, b.near, -vt, b.far},
                              {-b.vv, -vt, b.vv, -vt},
                              {vt, b.far, -vt, b.near}};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) k(dof[i], dof[j]) = block[i][j];
}

void place_axial(linalg::Matrix12& k, int first, int second, double value) {
  k(first, first) = value;
  k(first, second) = -value;
  k(second, first) = -value;
  k(second, second) = value;
}

}  // namespace

std::vector<MomentLoad> moment_loads(std::span<const MemberLoad> loads, double length,
                                     int component, double sign) {
  std::vector<MomentLoad> out;
  for (const MemberLoad& load : loads) {
    if (load.kind == MemberLoad::Kind::force) {
      out.push_back({load.start / length, load.start / length, sign * load.q(component) * length,
                     0.0, MomentLoad::Kind::point});
    } else if (load.kind == MemberLoad::Kind::moment) {
      // Mz jumps by -Cz, My by -Cy.
      const int about = component == 1 ? 2 : 1;
      out.push_back(
          {load.start / length, load.start / length, -load.q(about), 0.0, MomentLoad::Kind::jump});
    } else if (load.end > load.start) {
      MomentLoad& added = out.emplace_back(MomentLoad{load.start / length, load.end / length,
                                                      sign * load.q(component) * length * length});
      if (load.varying())
        added.slope = sign * load.dq(component) * length * length / (added.b - added.a);
    }
  }
  return out;
}

linalg::Matrix12 second_order_stiffness(const FrameProperties& properties, double length,
                                        double axial_force) {
  if (axial_force == 0.0) return frame_stiffness(properties, length);
  const double e = properties.e_mod;
  linalg::Matrix12 k = linalg::Matrix12::Zero();
  place_axial(k, 0, 6, e * properties.area / length);
  place_axial(k, 3, 9, properties.g_mod * properties.j / length);
  place_bending(k, 1, 5, 7, 11, 1.0, bending_terms(e * properties.i_z, length, axial_force));
  place_bending(k, 2, 4, 8, 10, -1.0, bending_terms(e * properties.i_y, length, axial_force));
  return k;
}

linalg::Matrix12 geometric_stiffness(double length, double axial_force) {
  const double n = axial_force, l = length;
  const BendingTerms g = {1.2 * n / l, 0.1 * n, 2.0 * n * l / 15.0, -n * l / 30.0};
  linalg::Matrix12 k = linalg::Matrix12::Zero();
  place_bending(k, 1, 5, 7, 11, 1.0, g);
  place_bending(k, 2, 4, 8, 10, -1.0, g);
  return k;
}

linalg::Matrix12 string_member_stiffness(const FrameProperties& properties, double length,
                                         double axial_force) {
  linalg::Matrix12 k = linalg::Matrix12::Zero();
  place_axial(k, 0, 6, properties.e_mod * properties.area / length);
  place_axial(k, 1, 7, axial_force / length);
  place_axial(k, 2, 8, axial_force / length);
  return k;
}

linalg::Vector12 second_order_fixed_end_forces(const FrameProperties& properties, double length,
                                               double axial_force,
                                               std::span<const MemberLoad> loads) {
  linalg::Vector12 f = fixed_end_forces(loads, length);
  if (axial_force == 0.0) return f;
  const double l = length, e = properties.e_mod;
  // The resultant of each transverse load and its moment about the end node.
  double resultant_y = 0.0, resultant_z = 0.0, moment_y = 0.0, moment_z = 0.0;
  std::vector<MemberLoad> others;  // concentrated and varying loads
  for (const MemberLoad& load : loads) {
    if (load.concentrated() || load.varying()) {
      others.push_back(load);
      continue;
    }
    if (load.end <= load.start) continue;
    const double loaded = load.end - load.start;
    const double arm = l - 0.5 * (load.start + load.end);
    resultant_y += load.q.y() * loaded;
    resultant_z += load.q.z() * loaded;
    moment_y += load.q.y() * loaded * arm;
    moment_z += load.q.z() * loaded * arm;
  }
  if (!others.empty()) {
    // The same of the others, from the statics of the member with no end forces at x = L
    // (concentrated moments included: Mz(L) = sum e Ry - sum Cz, My(L) = -sum e Rz - sum Cy).
    const std::array<double, 6> s =
        InternalForceLine(linalg::Vector12::Zero(), l, others).at(l, true);
    resultant_y -= s[1];
    resultant_z -= s[2];
    moment_y += s[5];
    moment_z -= s[4];
  }
  // x-y plane: Mz(0) = -mz1, Mz(L) = mz2, and Mz(L) = -mz1 + L fy1 + sum (L - c) qy l.
  const std::array<double, 2> mz = MomentSolutions(axial_force * l * l / (e * properties.i_z))
                                       .fixed_end_values(moment_loads(loads, l, 1, 1.0));
  f(5) = -mz[0];
  f(11) = mz[1];
  f(1) = (mz[1] - mz[0] - moment_y) / l;
  f(7) = -f(1) - resultant_y;
  // x-z plane: My(0) = -my1, My(L) = my2, and My(L) = -my1 - L fz1 - sum (L - c) qz l.
  const std::array<double, 2> my = MomentSolutions(axial_force * l * l / (e * properties.i_y))
                                       .fixed_end_values(moment_loads(loads, l, 2, -1.0));
  f(4) = -my[0];
  f(10) = my[1];
  f(2) = -(my[1] - my[0] + moment_z) / l;
  f(8) = -f(2) - resultant_z;
  return f;
}

}  // namespace velm::mechanics
