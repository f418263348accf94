#include "mechanics/moment_solutions.hpp"

namespace velm::mechanics {

MomentSolutions::MomentSolutions(double rho) : rho_(rho) {}
std::array<double, 2> MomentSolutions::h(double t) const {
  return {t, 1.0};
}
std::array<double, 2> MomentSolutions::y(double, double) const {
  return {0.0, 0.0};
}
std::array<double, 2> MomentSolutions::h_integrals() const {
  return {0.5, 1.0 / 3.0};
}
std::array<double, 2> MomentSolutions::y_integrals(double) const {
  return {0.0, 0.0};
}

}  // namespace velm::mechanics
