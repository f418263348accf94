// The peak response to a ground motion given by its design spectrum, combined over the modes.
//
// Mode i of circular frequency omega_i and period T_i responds to a ground acceleration along
// the unit direction d with the peak modal displacement q_i = Gamma_i Sa(T_i) / omega_i^2,
// Gamma_i = d . (phi_i^T M r) over the translations (phi_i mass-normalised), so that its
// displacements are q_i phi_i and its forces those of the static response to the inertia
// forces K q_i phi_i (a single mass m on a spring: the displacement Sa / omega^2 and the base
// shear m Sa). Every quantity is then combined over the modes, r = sqrt(sum_i sum_j rho_ij r_i
// r_j), with the complete quadratic combination (equal damping zeta in every mode,
// beta = omega_j / omega_i):
//   rho_ij = 8 zeta^2 (1 + beta) beta^(3/2) / ((1 - beta^2)^2 + 4 zeta^2 beta (1 + beta)^2),
// or with rho_ij = delta_ij (the square root of the sum of squares), so every value is >= 0.
// The members' forces are those of the cut structure of the modal analysis (inertia at its
// nodes, linear between them): along a member, the combination of its pieces is largest at a
// piece's end, where the extremes are taken.
#pragma once

#include <span>
#include <string>

#include "base/error.hpp"
#include "engineering/modal_analysis.hpp"
#include "engineering/static_results.hpp"

namespace velm::engineering {

enum class ModalCombination { cqc, srss };

struct GroundMotion {
  std::span<const double> periods;        // ascending
  std::span<const double> accelerations;  // Sa at each period: linear between, constant beyond
  std::array<double, 3> direction{};      // not zero; normalised here
  double damping = 0.05;
  ModalCombination rule = ModalCombination::cqc;
};

// Sa(T): linear between the points, the end values beyond them.
double spectral_acceleration(std::span<const double> periods, std::span<const double> accelerations,
                             double period);

// The correlation rho_ij of two modes of circular frequencies omega_i, omega_j.
double cqc_coefficient(double omega_i, double omega_j, double damping);

// The peak responses as a result set (id 0): displacements, reactions, end forces, internal
// forces at `stations` points and their extremes (the largest combined value over a member in
// the maximum row, its negative in the minimum row).
ResultSet spectrum_response(const ModalSystem& system, const GroundMotion& motion, int stations);

}  // namespace velm::engineering
