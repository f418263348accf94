#include "mechanics/dynamic_stiffness.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "mechanics/member_mass.hpp"

namespace velm::mechanics {
namespace {

const FrameProperties kSection{210e9, 81e9, 5e-3, 3e-5, 8e-6, 2e-7, 7850.0};
const LineMass kMass{7850.0 * 5e-3, 7850.0 * (3e-5 + 8e-6)};

TEST(ConsistentMass, WholeLengthIsTheTextbookMatrixAndPartsAddUp) {
  const double l = 2.5, m = 3.0;
  const linalg::Matrix12 whole = consistent_mass({m, 0.7}, l, 0.0, l);
  const double c = m * l / 420.0;
  EXPECT_NEAR(whole(1, 1), 156 * c, 1e-12);
  EXPECT_NEAR(whole(1, 5), 22 * l * c, 1e-12);
  EXPECT_NEAR(whole(1, 7), 54 * c, 1e-12);
  EXPECT_NEAR(whole(1, 11), -13 * l * c, 1e-12);
  EXPECT_NEAR(whole(5, 5), 4 * l * l * c, 1e-12);
  EXPECT_NEAR(whole(5, 11), -3 * l * l * c, 1e-12);
  EXPECT_NEAR(whole(2, 4), -22 * l * c, 1e-12);  // x-z plane: rotation terms negated
  EXPECT_NEAR(whole(0, 0), m * l / 3, 1e-12);
  EXPECT_NEAR(whole(0, 6), m * l / 6, 1e-12);
  EXPECT_NEAR(whole(3, 3), 0.7 * l / 3, 1e-12);
  EXPECT_NEAR(whole(3, 9), 0.7 * l / 6, 1e-12);
  const linalg::Matrix12 parts =
      consistent_mass({m, 0.7}, l, 0.0, 0.9) + consistent_mass({m, 0.7}, l, 0.9, l);
  EXPECT_LT((parts - whole).cwiseAbs().maxCoeff(), 1e-12);
  // A rigid translation carries the whole mass.
  linalg::Vector12 along_y = linalg::Vector12::Zero();
  along_y(1) = along_y(7) = 1.0;
  EXPECT_NEAR(along_y.dot(consistent_mass({m, 0}, l, 0.5, 2.0) * along_y), m * 1.5, 1e-12);
  EXPECT_NEAR(along_y.dot(bar_mass(m, l, 0.0, l) * along_y), m * l, 1e-12);
}

TEST(DynamicStiffness, StaticLimitAndConsistentMassAtLowFrequency) {
  const double l = 3.0;
  EXPECT_LT((dynamic_stiffness(kSection, kMass, l, 0.0) - frame_stiffness(kSection, l))
                .cwiseAbs()
                .maxCoeff(),
            1e-6 * frame_stiffness(kSection, l).cwiseAbs().maxCoeff());
  // D(omega) = K - omega^2 M + O(omega^4): the difference quotient tends to the consistent mass.
  const linalg::Matrix12 k = frame_stiffness(kSection, l);
  const linalg::Matrix12 m = consistent_mass(kMass, l, 0.0, l);
  for (const double omega : {0.3, 1.0}) {
    const linalg::Matrix12 d = dynamic_stiffness(kSection, kMass, l, omega);
    EXPECT_LT((d - d.transpose()).cwiseAbs().maxCoeff(), 1e-9 * k.cwiseAbs().maxCoeff());
    const linalg::Matrix12 quotient = (k - d) / (omega * omega);
    EXPECT_LT((quotient - m).cwiseAbs().maxCoeff(), 1e-4 * m.cwiseAbs().maxCoeff()) << omega;
  }
}

TEST(DynamicStiffness, RootsAreTheClosedFormFrequenciesOfOneMember) {
  const double l = 4.0, ei = kSection.e_mod * kSection.i_z, m = kMass.translational;
  // Cantilever in the x-y plane, clamped at the start: det of the tip block (UY, RZ) vanishes
  // at beta L = 1.87510, 4.69409, 7.85476.
  for (const double beta_l : {1.8751040687119611, 4.6940911329741745, 7.8547574382376126}) {
    const double omega = beta_l * beta_l / (l * l) * std::sqrt(ei / m);
    const auto det = [&](double w) {
      const linalg::Matrix12 d = dynamic_stiffness(kSection, kMass, l, w);
      return d(7, 7) * d(11, 11) - d(7, 11) * d(11, 7);
    };
    // A sign change across the root, within 1e-9 relative.
    EXPECT_LT(det(omega * (1 - 1e-9)) * det(omega * (1 + 1e-9)), 0.0) << beta_l;
  }
  // Axial, fixed-free: k L = pi / 2.
  const double omega_axial =
      std::numbers::pi / (2 * l) * std::sqrt(kSection.e_mod * kSection.area / m);
  EXPECT_NEAR(dynamic_stiffness(kSection, kMass, l, omega_axial)(6, 6), 0.0,
              1e-9 * kSection.e_mod * kSection.area / l);
}

}  // namespace
}  // namespace velm::mechanics
