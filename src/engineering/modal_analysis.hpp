// Natural frequencies and mode shapes, K phi = omega^2 M phi, with the members' own masses
// (density times area, consistent, and the torsional inertia density times I_y + I_z) and the
// masses of a load combination's gravity loads (their component along gravity over |g|, in all
// three translations).
//
// Exact without meshing: the frequencies are those of the members as continua. Every member is
// cut internally into segments short enough that each segment's own (clamped) frequencies lie
// well above the highest frequency sought, omega_max <= 0.08 times the segment's bending one
// and 0.03 times its axial and torsional ones (segments cut again and the problem solved again
// until that holds, at most 64 segments a member); the eigenproblem of the cut structure then
// gives the modes (dense for small systems, else subspace iteration with block solves on the
// factorised K), and each
// frequency is refined on the exact dynamic stiffness D(omega) of the segments: omega is the
// root of the Rayleigh functional phi^T D(omega) phi = 0, which is stationary in phi, so that
// the error of the shape enters squared (below 1e-7 of the frequency at those ratios). The
// shapes, participation and effective masses are those of the cut structure's consistent
// masses. Tension- and compression-only members are all on (a modal analysis is linear).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "frame/structure.hpp"
#include "frame/subdivision.hpp"
#include "linalg/types.hpp"
#include "system/discrete_model.hpp"
#include "system/factorisation.hpp"

namespace velm::engineering {

struct ModalOptions {
  int modes = 0;
  std::optional<std::uint32_t> mass_combination;  // its gravity loads add mass
  std::array<double, 3> gravity{};                // needed with mass_combination
};

// What the response spectrum analysis needs of the modes: the cut structure, its model, and the
// modes over its unknowns (mass-normalised) with their frequencies and participation.
struct ModalSystem {
  frame::Structure original;
  frame::Subdivision cut;
  std::unique_ptr<system::DiscreteModel> model;  // over cut.structure
  std::vector<linalg::Vector> modes;
  std::vector<double> omegas;                        // circular frequencies, ascending
  std::vector<std::array<double, 6>> participation;  // per mode
};

struct ModalResult {
  std::vector<double> frequencies;            // k, cycles per unit time
  std::vector<double> periods;                // k
  std::vector<double> shapes;                 // k x N x 6, phi^T M phi = 1
  std::vector<double> participation_factors;  // k x 6: phi^T M r, X Y Z then about X Y Z
  std::vector<double> effective_masses;       // k x 6, their squares
  std::array<double, 6> total_masses{};       // r^T M r, the whole model
  std::string mass_source;
  std::shared_ptr<const ModalSystem> system;
};

// The `options.modes` lowest modes (fewer when the model has fewer dynamic degrees of freedom).
// Fails with invalid_model when the mass combination names no combination, a density is not a
// finite non-negative number, or nothing in the model has mass; else as the statics do
// (unstable, too_large, out_of_memory, cancelled, solver_failed).
// `shared`: the factorisation of K of `structure` with every member on, when the caller has it
// (used while no member needs cutting).
base::Expected<ModalResult> modal_analysis(const frame::Structure& structure,
                                           const ModalOptions& options, base::Monitor& monitor,
                                           const system::Factorisation* shared = nullptr);

}  // namespace velm::engineering
