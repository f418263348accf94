#include "mechanics/deflection_line.hpp"

#include <algorithm>
#include <cmath>

#include "mechanics/beam_column.hpp"
#include "mechanics/bracketed_root.hpp"
#include "mechanics/moment_breaks.hpp"
#include "mechanics/straight_moment_line.hpp"

namespace velm::mechanics {

namespace {

bool opposite(double a, double b) {
  return (a < 0.0 && b > 0.0) || (a > 0.0 && b < 0.0);
}

}  // namespace

DeflectionLine::DeflectionLine(const linalg::Vector12& ends, const linalg::Vector12& end_forces,
                               double length, const FrameProperties& properties,
                               std::span<const MemberLoad> loads, double rho_y, double rho_z)
    : ends_(ends),
      f_(end_forces),
      length_(length),
      axial_stiffness_(properties.e_mod * properties.area),
      loads_(loads),
      y_{MomentSolutions(rho_y), -end_forces(4), end_forces(10),
         moment_loads(loads, length, 2, -1.0),
         -length * length / (properties.e_mod * properties.i_y)},
      z_{MomentSolutions(rho_z), -end_forces(5), end_forces(11),
         moment_loads(loads, length, 1, 1.0),
         length * length / (properties.e_mod * properties.i_z)} {
  cuts_ = {0.0, length};
  for (const MemberLoad& load : loads)
    for (const double x : {load.start, load.end})
      if (x > 0.0 && x < length) cuts_.push_back(x);
  std::sort(cuts_.begin(), cuts_.end());
  cuts_.erase(std::unique(cuts_.begin(), cuts_.end()), cuts_.end());
  mean_normal_force_ = normal_force_integral(length) / length;
}

double DeflectionLine::normal_force(double x) const {
  // N = -fx1 - the axial resultant of the loads on [0, x], concentrated ones at x included.
  double n = -f_(0);
  for (const MemberLoad& load : loads_) {
    const double q = load.q(0);
    if (load.kind == MemberLoad::Kind::force) {
      if (x >= load.start) n -= q;
    } else if (load.kind == MemberLoad::Kind::distributed && !load.empty() && x > load.start) {
      const double span = load.end - load.start, d = std::min(x, load.end) - load.start;
      n -= q * d + load.dq(0) * d * d / (2.0 * span);
    }
  }
  return n;
}

double DeflectionLine::normal_force_integral(double x) const {
  double integral = -f_(0) * x;
  for (const MemberLoad& load : loads_) {
    if (x <= load.start) continue;
    const double q = load.q(0);
    if (load.kind == MemberLoad::Kind::force) {
      integral -= q * (x - load.start);
    } else if (load.kind == MemberLoad::Kind::distributed && !load.empty()) {
      const double span = load.end - load.start, dq = load.dq(0);
      const double d = std::min(x, load.end) - load.start;
      integral -= q * d * d / 2.0 + dq * d * d * d / (6.0 * span);
      if (x > load.end) integral -= (q * span + dq * span / 2.0) * (x - load.end);
    }
  }
  return integral;
}

std::array<double, 2> DeflectionLine::axial(double x) const {
  return {(normal_force_integral(x) - x * mean_normal_force_) / axial_stiffness_,
          (normal_force(x) - mean_normal_force_) / axial_stiffness_};
}

std::array<double, 2> DeflectionLine::Plane::moment(double t, bool right) const {
  if (solutions.rho() == 0.0) return straight_moment(t, start, end, loads, right);
  return solutions.line(t, start, end, loads, right);
}

double DeflectionLine::Plane::deflection_value(double t) const {
  if (solutions.rho() == 0.0) return scale * straight_deflection_value(t, start, end, loads);
  return scale * solutions.deflection(t, start, end, loads)[0];
}

double DeflectionLine::Plane::deflection_slope(double t) const {
  if (solutions.rho() == 0.0) return scale * straight_deflection_slope(t, start, end, loads);
  return scale * solutions.deflection(t, start, end, loads)[1];
}

std::array<double, 3> DeflectionLine::at(double x) const {
  const double t = x / length_;
  std::array<double, 3> u;
  for (int k = 0; k < 3; ++k) u[k] = ends_(k) + t * (ends_(6 + k) - ends_(k));
  u[0] += axial(x)[0];
  u[1] += z_.deflection_value(t);
  u[2] += y_.deflection_value(t);
  return u;
}

void DeflectionLine::at_stations(int stations, double* out) const {
  const int last = stations - 1;
  for (int j = 0; j <= last; ++j) {
    double* row = out + 3 * j;
    if (j == 0 || j == last) {
      for (int k = 0; k < 3; ++k) row[k] = ends_((j == 0 ? 0 : 6) + k);
    } else {
      const std::array<double, 3> u =
          at(static_cast<double>(j) * length_ / static_cast<double>(last));
      std::copy(u.begin(), u.end(), row);
    }
  }
}

void DeflectionLine::extremes(double* out) const {
  double* low = out;
  double* high = out + 3;
  for (int k = 0; k < 3; ++k) low[k] = high[k] = 0.0;  // at the ends
  const auto take = [&](int k, double value) {
    low[k] = std::min(low[k], value);
    high[k] = std::max(high[k], value);
  };
  std::vector<double> parts, points, monotone;  // reused from piece to piece
  for (std::size_t i = 0; i + 1 < cuts_.size(); ++i) {
    const double x0 = cuts_[i], x1 = cuts_[i + 1];
    take(0, axial(x0)[0]);
    // Axial: the slope (N - mean N) / EA is monotone where qx keeps its sign; qx is linear on
    // the piece.
    parts.assign(1, x0);
    double q0 = 0.0, q1 = 0.0;
    for (const MemberLoad& load : loads_)
      if (load.kind == MemberLoad::Kind::distributed && !load.empty() && load.start <= x0 &&
          x1 <= load.end) {
        const double span = load.end - load.start;
        q0 += load.q(0) + load.dq(0) * (x0 - load.start) / span;
        q1 += load.q(0) + load.dq(0) * (x1 - load.start) / span;
      }
    if (opposite(q0, q1)) parts.push_back(x0 + (x1 - x0) * q0 / (q0 - q1));
    parts.push_back(x1);
    for (std::size_t j = 0; j + 1 < parts.size(); ++j) {
      // Inside the part: the right limit at its start, the left one at its end.
      const double a = parts[j], b = parts[j + 1];
      const double inside = 1e-12 * (b - a);
      const double sa = axial(a + inside)[1], sb = axial(b - inside)[1];
      if (!opposite(sa, sb)) continue;
      const auto slope = [&](double x) {
        double q = 0.0;
        for (const MemberLoad& load : loads_)
          if (load.kind == MemberLoad::Kind::distributed && !load.empty() && load.start <= a &&
              b <= load.end)
            q += load.q(0) + load.dq(0) * (x - load.start) / (load.end - load.start);
        return std::array<double, 2>{axial(x)[1], -q / axial_stiffness_};
      };
      take(0, axial(bracketed_root(slope, a + inside, b - inside))[0]);
    }
    // Bending: between the breaks the moment is monotone, so it changes sign at most once, and
    // on each side of that the slope of the deflection is monotone.
    const double t0 = x0 / length_, t1 = x1 / length_;
    for (const Plane* plane : {&z_, &y_}) {
      const int k = plane == &z_ ? 1 : 2;
      take(k, plane->deflection_value(t0));
      const auto moment = [&](double t) { return plane->moment(t, t == t0); };
      const auto slope = [&](double t) {
        return std::array<double, 2>{plane->deflection_slope(t), plane->scale * moment(t)[0]};
      };
      points.assign(1, t0);
      // Without loads or axial force the moment is linear: monotone throughout.
      if (!plane->loads.empty() || plane->solutions.rho() != 0.0) {
        const MomentLine line = [plane](double t, bool right) { return plane->moment(t, right); };
        for (const double t : monotone_breaks(line, plane->solutions.rho(), plane->loads, t0, t1))
          points.push_back(t);
      }
      points.push_back(t1);
      monotone.assign(1, t0);
      for (std::size_t j = 0; j + 1 < points.size(); ++j) {
        const double a = points[j], b = points[j + 1];
        const double ma = moment(a)[0];
        const double mb = plane->moment(b)[0];
        if (j > 0) monotone.push_back(a);
        if (opposite(ma, mb)) monotone.push_back(bracketed_root(moment, a, b));
      }
      monotone.push_back(t1);
      for (std::size_t j = 0; j + 1 < monotone.size(); ++j) {
        const double a = monotone[j], b = monotone[j + 1];
        if (j > 0) take(k, plane->deflection_value(a));  // its slope may vanish right there
        if (opposite(slope(a)[0], slope(b)[0]))
          take(k, plane->deflection_value(bracketed_root(slope, a, b)));
      }
    }
  }
}

std::array<double, 3> rigid_translation(const linalg::Vector12& ends, double x) {
  return {ends(0), ends(1) + ends(5) * x, ends(2) - ends(4) * x};
}

}  // namespace velm::mechanics
