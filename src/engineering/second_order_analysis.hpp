// The second-order static analysis of one load set: every member with the constant axial force
// it carries in the deformed state, by the exact beam-column (the P-Delta effect of its end
// displacements and the P-delta effect along its length, compression softening and tension
// stiffening; truss, tension and compression members with their string stiffness N / L),
// iterated with the axial forces. Round 1 is the first-order analysis; every later round
// assembles the tangent stiffness of the previous round's axial forces, solves, and recovers
// the results with it. It ends when the displacements and the axial forces change by less than
// kSecondOrderTolerance relative (their largest change against their largest value) and no
// tension or compression member switches; the members switch in the same rounds.
//
// A member's axial force is the mean of those at its ends, -f_x1 and f_x2: exact without an
// axial line load, and for one (which makes N vary linearly along the member) the stability
// functions of the mean force, whose error in the bending terms is of the order of
// (N1 - N2)^2 L^2 / (EI) relative, and nothing where the axial force is uniform.
#pragma once

#include <vector>

#include "base/monitor.hpp"
#include "engineering/set_outcome.hpp"
#include "engineering/static_analysis.hpp"
#include "engineering/static_results.hpp"
#include "frame/load_sets.hpp"
#include "system/discrete_model.hpp"

namespace velm::engineering {

inline constexpr int kMaxSecondOrderRounds = 100;
inline constexpr double kSecondOrderTolerance = 1e-10;

// The axial force of every member (tension positive) from end forces (12 per member).
std::vector<double> member_axial_forces(std::span<const double> end_forces);

// Analyses `set` in second order into `out` (order 2, iterations the rounds). The set's own
// failures: the tangent stiffness stops being positive definite, or a member buckles between its
// nodes (the loads exceed the elastic critical load; the text gives alpha_cr of the first-order
// axial forces), a mechanism once members switch off, no convergence in kMaxSecondOrderRounds.
// A mechanism in the first round, with every member on, is the whole structure's.
SetOutcome analyse_second_order(const system::DiscreteModel& model, const frame::LoadSet& set,
                                const AnalysisOptions& options, base::Monitor& monitor,
                                bool report_stages, ResultSet& out);

}  // namespace velm::engineering
