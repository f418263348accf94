// Where a moment line under a constant axial force changes direction between its loads.
#pragma once

#include <array>
#include <functional>
#include <span>
#include <vector>

#include "mechanics/moment_solutions.hpp"

namespace velm::mechanics {

// m(t) and m'(t) of a moment line, at a concentrated load the left limits, or with the second
// argument true the right ones.
using MomentLine = std::function<std::array<double, 2>(double, bool)>;

// The points strictly inside (t0, t1), a piece of the line m (that of `solutions` from m0 to m1
// under `loads`, evaluated by `moment`) with no load boundary inside it, that divide the piece
// into parts on each of which m is monotone, ascending; their m(t) with the piece's ends bound m
// on it. On the piece m'' = rho m + c(t), c the (linear) load:
//   - in compression m' = A cos(u tau) + B sin(u tau) / u from the piece's start (u =
//     sqrt(-rho)) is split where cos(u tau) = 0, every half period, so that each part holds at
//     most one root of m' (under a uniform load);
//   - under a linearly varying load m'' itself, a solution of the homogeneous equation, has at
//     most one root on a part, which is a break and separates the at most two roots of m';
//   - each sign change of m' is refined to full precision by Newton steps on m' (m'' known)
//     kept inside its bracket.
// The piece's first point takes the right limits of concentrated loads there.
std::vector<double> monotone_breaks(const MomentLine& moment, double rho,
                                    std::span<const MomentLoad> loads, double t0, double t1);

}  // namespace velm::mechanics
