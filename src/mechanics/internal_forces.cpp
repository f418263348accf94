#include "mechanics/internal_forces.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

namespace velm::mechanics {

std::array<double, 6> InternalForceLine::at(double x) const {
  return at(x, false);
}

std::array<double, 6> InternalForceLine::at(double x, bool right) const {
  std::array<double, 6> s = {
      -f_(0), -f_(1), -f_(2), -f_(3), -f_(4) - x * f_(2), -f_(5) + x * f_(1)};
  for (const MemberLoad& load : loads_) {
    if (load.concentrated()) {
      if (!(load.start < x || (right && load.start == x))) continue;
      const linalg::Vector3& q = load.q;
      if (load.kind == MemberLoad::Kind::moment) {
        s[3] -= q.x();
        s[4] -= q.y();
        s[5] -= q.z();
        continue;
      }
      const double arm = x - load.start;
      s[0] -= q.x();
      s[1] -= q.y();
      s[2] -= q.z();
      s[4] -= arm * q.z();
      s[5] += arm * q.y();
      continue;
    }
    const double loaded = std::clamp(x - load.start, 0.0, load.end - load.start);
    if (loaded <= 0.0) continue;
    const double arm = x - (load.start + 0.5 * loaded);  // from the load's centroid to x
    s[0] -= load.q.x() * loaded;
    s[1] -= load.q.y() * loaded;
    s[2] -= load.q.z() * loaded;
    s[4] -= arm * load.q.z() * loaded;
    s[5] += arm * load.q.y() * loaded;
    if (!load.varying()) continue;
    // The part dq (xi - start) / span: resultant dq l^2 / (2 span), its moment about x
    // dq l^2 ((x - start) / 2 - l / 3) / span.
    const double span = load.end - load.start;
    const double resultant = loaded * loaded / (2 * span);
    const double moment = loaded * loaded * (0.5 * (x - load.start) - loaded / 3) / span;
    s[0] -= load.dq.x() * resultant;
    s[1] -= load.dq.y() * resultant;
    s[2] -= load.dq.z() * resultant;
    s[4] -= load.dq.z() * moment;
    s[5] += load.dq.y() * moment;
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

namespace {

// The roots in (-1, 1) of c0 + c1 t + c2 t^2, without cancellation.
std::vector<double> roots_inside(double c0, double c1, double c2) {
  std::vector<double> roots;
  if (c2 == 0.0) {
    if (c1 != 0.0) roots.push_back(-c0 / c1);
  } else {
    const double discriminant = c1 * c1 - 4 * c2 * c0;
    if (discriminant >= 0.0) {
      const double q = -0.5 * (c1 + std::copysign(std::sqrt(discriminant), c1));
      if (q != 0.0) roots.push_back(c0 / q);
      roots.push_back(q / c2);
    }
  }
  std::erase_if(roots, [](double t) { return !(t > -1.0 && t < 1.0); });
  return roots;
}

}  // namespace

void InternalForceLine::extremes(double* out) const {
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
  const auto take_one = [&](const std::array<double, 6>& s, std::size_t k) {
    low[k] = std::min(low[k], s[k]);
    high[k] = std::max(high[k], s[k]);
  };
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    const double x0 = cuts[i], x1 = cuts[i + 1], half = 0.5 * (x1 - x0);
    const std::array<double, 6> a = at(x0, true), m = at(x0 + half), b = at(x1, false);
    if (i > 0 || at_start) take(a);
    if (i + 2 < cuts.size() || at_end) take(b);
    bool varying = false;
    for (const MemberLoad& load : loads_)
      varying |= load.varying() && load.start < x0 + half && x0 + half < load.end;
    if (!varying) {
      // On the piece, g(t) = m + (b - a)/2 t + (b - 2m + a)/2 t^2 for t in [-1, 1].
      for (std::size_t k = 4; k < 6; ++k) {
        const double curvature = b[k] - 2 * m[k] + a[k];
        if (curvature == 0.0) continue;
        const double t = -0.5 * (b[k] - a[k]) / curvature;
        if (t > -1.0 && t < 1.0) take(at(x0 + (t + 1.0) * half));
      }
      continue;
    }
    // Forces are quadratic on the piece: their vertex. Moments are cubic: where their shear
    // (the quadratic through a, m, b of Vz for My, of Vy for Mz) vanishes.
    for (std::size_t k = 0; k < 3; ++k) {
      const double curvature = b[k] - 2 * m[k] + a[k];
      if (curvature == 0.0) continue;
      const double t = -0.5 * (b[k] - a[k]) / curvature;
      if (t > -1.0 && t < 1.0) take_one(at(x0 + (t + 1.0) * half), k);
    }
    for (const auto& [moment, shear] : {std::pair<std::size_t, std::size_t>{4, 2}, {5, 1}})
      for (const double t : roots_inside(m[shear], 0.5 * (b[shear] - a[shear]),
                                         0.5 * (b[shear] - 2 * m[shear] + a[shear])))
        take_one(at(x0 + (t + 1.0) * half), moment);
  }
}

}  // namespace velm::mechanics
