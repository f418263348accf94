#include "mechanics/internal_forces.hpp"

#include <algorithm>
#include <vector>

namespace velm::mechanics {

std::array<double, 6> InternalForceLine::at(double x) const {
  std::array<double, 6> s = {
      -f_(0), -f_(1), -f_(2), -f_(3), -f_(4) - x * f_(2), -f_(5) + x * f_(1)};
  for (const MemberLoad& load : loads_) {
    const double loaded = std::clamp(x - load.start, 0.0, load.end - load.start);
    if (loaded <= 0.0) continue;
    const double arm = x - (load.start + 0.5 * loaded);  // from the load's centroid to x
    s[0] -= load.q.x() * loaded;
    s[1] -= load.q.y() * loaded;
    s[2] -= load.q.z() * loaded;
    s[4] -= arm * load.q.z() * loaded;
    s[5] += arm * load.q.y() * loaded;
  }
  return s;
}

void InternalForceLine::at_stations(int stations, double* out) const {
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

void InternalForceLine::extremes(double* out) const {
  std::vector<double> cuts = {0.0, length_};
  for (const MemberLoad& load : loads_)
    for (const double x : {load.start, load.end})
      if (x > 0.0 && x < length_) cuts.push_back(x);
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());

  double* low = out;
  double* high = out + 6;
  // The ends as the stations give them.
  for (int k = 0; k < 6; ++k) {
    low[k] = std::min(-f_(k), f_(6 + k));
    high[k] = std::max(-f_(k), f_(6 + k));
  }
  const auto take = [&](const std::array<double, 6>& s) {
    for (int k = 0; k < 6; ++k) {
      low[k] = std::min(low[k], s[static_cast<std::size_t>(k)]);
      high[k] = std::max(high[k], s[static_cast<std::size_t>(k)]);
    }
  };
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    const double x0 = cuts[i], x1 = cuts[i + 1], half = 0.5 * (x1 - x0);
    const std::array<double, 6> a = at(x0), m = at(x0 + half), b = at(x1);
    if (i > 0) take(a);
    // On the piece, g(t) = m + (b - a)/2 t + (b - 2m + a)/2 t^2 for t in [-1, 1].
    for (std::size_t k = 4; k < 6; ++k) {
      const double curvature = b[k] - 2 * m[k] + a[k];
      if (curvature == 0.0) continue;
      const double t = -0.5 * (b[k] - a[k]) / curvature;
      if (t > -1.0 && t < 1.0) take(at(x0 + (t + 1.0) * half));
    }
  }
}

}  // namespace velm::mechanics
