#include "mechanics/internal_forces.hpp"

namespace velm::mechanics {

void internal_forces_at_stations(const linalg::Vector12& f, double length, int stations,
                                 double* out) {
  const int last = stations - 1;
  for (int j = 0; j <= last; ++j) {
    double* row = out + 6 * j;
    if (j == last) {
      for (int k = 0; k < 6; ++k) row[k] = f(6 + k);
      continue;
    }
    const double x = static_cast<double>(j) * length / static_cast<double>(last);
    row[0] = -f(0);
    row[1] = -f(1);
    row[2] = -f(2);
    row[3] = -f(3);
    row[4] = j == 0 ? -f(4) : -f(4) - x * f(2);
    row[5] = j == 0 ? -f(5) : -f(5) + x * f(1);
  }
}

}  // namespace velm::mechanics
