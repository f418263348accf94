#include "mechanics/beam_column.hpp"

namespace velm::mechanics {

linalg::Matrix12 second_order_stiffness(const FrameProperties& properties, double length, double) {
  return frame_stiffness(properties, length);
}

linalg::Matrix12 geometric_stiffness(double, double) {
  return linalg::Matrix12::Zero();
}

linalg::Matrix12 string_member_stiffness(const FrameProperties&, double, double) {
  return linalg::Matrix12::Zero();
}

linalg::Vector12 second_order_fixed_end_forces(const FrameProperties&, double length, double,
                                               std::span<const MemberLoad> loads) {
  return fixed_end_forces(loads, length);
}

SecondOrderForceLine::SecondOrderForceLine(const linalg::Vector12& end_forces, double length,
                                           std::span<const MemberLoad> loads, double, double)
    : f_(end_forces), length_(length), loads_(loads) {}

std::array<double, 6> SecondOrderForceLine::at(double) const {
  return {};
}
void SecondOrderForceLine::at_stations(int, double*) const {}
void SecondOrderForceLine::extremes(double*) const {}

}  // namespace velm::mechanics
