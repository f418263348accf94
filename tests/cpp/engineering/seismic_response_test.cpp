#include "engineering/seismic_response.hpp"

#include <gtest/gtest.h>

#include <array>

namespace velm::engineering {
namespace {

TEST(SpectralAcceleration, LinearBetweenPointsAndTheEndValuesBeyond) {
  const std::array<double, 3> periods = {0.1, 0.5, 2.0};
  const std::array<double, 3> accelerations = {2.0, 6.0, 3.0};
  EXPECT_DOUBLE_EQ(spectral_acceleration(periods, accelerations, 0.0), 2.0);
  EXPECT_DOUBLE_EQ(spectral_acceleration(periods, accelerations, 0.3), 4.0);
  EXPECT_DOUBLE_EQ(spectral_acceleration(periods, accelerations, 0.5), 6.0);
  EXPECT_DOUBLE_EQ(spectral_acceleration(periods, accelerations, 1.25), 4.5);
  EXPECT_DOUBLE_EQ(spectral_acceleration(periods, accelerations, 9.0), 3.0);
}

TEST(CqcCoefficient, SymmetricOneForEqualModesAndZeroWithoutDamping) {
  EXPECT_NEAR(cqc_coefficient(10.0, 10.0, 0.05), 1.0, 1e-15);
  EXPECT_NEAR(cqc_coefficient(10.0, 12.0, 0.05), cqc_coefficient(12.0, 10.0, 0.05), 1e-15);
  EXPECT_EQ(cqc_coefficient(10.0, 12.0, 0.0), 0.0);
  // At beta = 0.9 and 5 % damping: 8 z^2 (1 + b) b^1.5 / ((1 - b^2)^2 + 4 z^2 b (1 + b)^2).
  const double b = 0.9, z = 0.05;
  const double expected = 8 * z * z * (1 + b) * std::pow(b, 1.5) /
                          ((1 - b * b) * (1 - b * b) + 4 * z * z * b * (1 + b) * (1 + b));
  EXPECT_NEAR(cqc_coefficient(10.0, 9.0, z), expected, 1e-15);
  EXPECT_GT(cqc_coefficient(10.0, 9.0, z), 0.45);  // close modes correlate strongly
}

}  // namespace
}  // namespace velm::engineering
