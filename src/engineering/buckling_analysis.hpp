// Elastic critical load factors: the factors lambda for which lambda times a load set's axial
// forces N make the structure unstable, K(lambda) phi = 0 with K(lambda) the exact tangent
// stiffness of the members at the axial forces lambda N (stability functions, so that one member
// between two nodes gives the exact Euler load of its end conditions).
//
// The lowest factors are found in three steps:
//  1. an estimate from the linear eigenproblem (K_E + lambda K_G) phi = 0, K_E the elastic
//     stiffness and K_G = (K(s) - K_E) / s the secant of the tangent at s = 1 (or at half the
//     lowest factor of step 3, when that is below 2): solved as
//     -K_G phi = mu K_E phi for the largest mu = 1 / lambda (dense for small systems, else
//     Lanczos in the regular-inverse mode on the factorised K_E);
//  2. each estimate refined on the exact K(lambda): lambda is set to the root of the Rayleigh
//     functional phi^T K(lambda) phi = 0 (secant iterations, the functional summed member by
//     member), then phi is improved by an inverse iteration phi <- K(lambda)^-1 K_E phi (one
//     factorisation of K(lambda); orthogonal in K_E to accepted modes of nearly the same
//     factor, so that a repeated factor gives its modes apart), until lambda changes by less
//     than 1e-5 relative after an inverse iteration (the iteration converges cubically in
//     practice: a change of 1e-7 is followed by one of 1e-16, so the error left is below
//     1e-10);
//  3. the factors at which a member buckles with its nodes held (both ends clamped: the first
//     three roots of each bending plane, N L^2 / EI = -4 pi^2, -8.9868^2, -16 pi^2; with
//     released or sprung ends the first, where its member-end block stops being positive
//     definite) are modes of the structure too, which move no node (their node values are
//     zero): they join the list.
// Truss, tension and compression members carry their string stiffness only: they do not buckle
// between their nodes.
#pragma once

#include <span>
#include <vector>

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "system/discrete_model.hpp"
#include "system/factorisation.hpp"
#include "system/sparse_global_matrix.hpp"

namespace velm::engineering {

struct Buckling {
  std::vector<double> factors;  // ascending, positive
  std::vector<double> modes;    // per factor, its mode over the unknowns (zero for a member's own)
};

// The elastic stiffness over the unknowns with the members that are on, and its factorisation:
// the same for every result set analysed on one geometry with every member on.
struct ElasticStiffness {
  system::SparseGlobalMatrix matrix;
  system::Factorisation factor;
};
base::Expected<ElasticStiffness> elastic_stiffness(const system::DiscreteModel& model,
                                                   const std::vector<std::uint8_t>& active,
                                                   base::Monitor& monitor);

// At most `count` lowest positive critical load factors of the axial forces `axial_forces`
// (one per member, tension positive) with the members that are on (active[m] != 0). Fewer
// where fewer exist (none without compression). `shared`: the elastic stiffness of these
// members when the caller has it, else it is formed here. Fails when cancelled or out of
// memory, or with solver_failed when the eigensolver does not converge.
base::Expected<Buckling> critical_load_factors(const system::DiscreteModel& model,
                                               const std::vector<std::uint8_t>& active,
                                               std::span<const double> axial_forces, int count,
                                               base::Monitor& monitor,
                                               const ElasticStiffness* shared = nullptr);

}  // namespace velm::engineering
