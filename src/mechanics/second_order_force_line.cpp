// SecondOrderForceLine (declared with the rest of the member kernel in beam_column.hpp).
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "mechanics/beam_column.hpp"
#include "mechanics/internal_forces.hpp"
#include "mechanics/moment_breaks.hpp"

namespace velm::mechanics {

SecondOrderForceLine::SecondOrderForceLine(const linalg::Vector12& end_forces, double length,
                                           std::span<const MemberLoad> loads, double rho_y,
                                           double rho_z)
    : f_(end_forces),
      length_(length),
      loads_(loads),
      y_{MomentSolutions(rho_y), -end_forces(4), end_forces(10),
         moment_loads(loads, length, 2, -1.0)},
      z_{MomentSolutions(rho_z), -end_forces(5), end_forces(11),
         moment_loads(loads, length, 1, 1.0)} {}

std::array<double, 6> SecondOrderForceLine::at(double x, bool right) const {
  std::array<double, 6> s = InternalForceLine(f_, length_, loads_).at(x, right);
  const double t = x / length_;
  s[4] = y_.moment(t, right)[0];
  s[5] = z_.moment(t, right)[0];
  return s;
}

void SecondOrderForceLine::at_stations(int stations, double* out) const {
  const int last = stations - 1;
  for (int j = 0; j <= last; ++j) {
    double* row = out + 6 * j;
    if (j == 0) {
      for (int k = 0; k < 6; ++k) row[k] = -f_(k);
    } else if (j == last) {
      for (int k = 0; k < 6; ++k) row[k] = f_(6 + k);
    } else {
      const std::array<double, 6> s =
          at(static_cast<double>(j) * length_ / static_cast<double>(last));
      std::copy(s.begin(), s.end(), row);
    }
  }
}

void SecondOrderForceLine::extremes(double* out) const {
  std::vector<double> cuts = {0.0, length_};
  bool at_start = false, at_end = false;  // concentrated loads on the ends
  for (const MemberLoad& load : loads_) {
    for (const double x : {load.start, load.end})
      if (x > 0.0 && x < length_) cuts.push_back(x);
    if (load.concentrated()) {
      at_start |= load.start <= 0.0;
      at_end |= load.start >= length_;
    }
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());

  double* low = out;
  double* high = out + 6;
  for (int k = 0; k < 6; ++k) {
    low[k] = std::min(-f_(k), f_(6 + k));
    high[k] = std::max(-f_(k), f_(6 + k));
  }
  const auto take = [&](const std::array<double, 6>& s, int first, int last) {
    for (int k = first; k <= last; ++k) {
      low[k] = std::min(low[k], s[static_cast<std::size_t>(k)]);
      high[k] = std::max(high[k], s[static_cast<std::size_t>(k)]);
    }
  };
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    const double t0 = cuts[i] / length_, t1 = cuts[i + 1] / length_;
    if (i > 0 || at_start) take(at(cuts[i], true), 0, 5);
    if (i > 0) take(at(cuts[i], false), 0, 5);
    if (i + 2 == cuts.size() && at_end) take(at(cuts[i + 1], false), 0, 5);
    for (const Plane* plane : {&y_, &z_}) {
      const int k = plane == &y_ ? 4 : 5;
      const MomentLine line = [plane](double t, bool right) { return plane->moment(t, right); };
      for (const double t : monotone_breaks(line, plane->solutions.rho(), plane->loads, t0, t1))
        take(at(t * length_), k, k);
    }
  }
}

}  // namespace velm::mechanics
