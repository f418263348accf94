// The equilibrium check of a result set, on a two-bar node worked by hand.
#include "engineering/equilibrium.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace velm::engineering {
namespace {

// Bars from node 1 along +X and along +Z (to nodes 2 and 3, both fixed). A load of (3, 0, 4)
// at node 1 is carried by 3 of compression in the X bar and 4 in the Z bar: the node pushes
// each bar's start towards its end.
struct TwoBars {
  std::vector<std::array<std::uint32_t, 2>> nodes{{1, 2}, {1, 3}};
  std::vector<double> axes{1, 0, 0, 0, 1, 0, 0,  0, 1,   // x along X
                           0, 0, 1, 0, 1, 0, -1, 0, 0};  // x along Z, z along -X
  std::vector<double> forces = std::vector<double>(24, 0.0);
  std::vector<double> loads = std::vector<double>(18, 0.0);
  std::vector<std::uint8_t> fixed = std::vector<std::uint8_t>(18, 0);
  TwoBars() {
    forces[0] = 3.0, forces[6] = -3.0;    // the node exerts +3 along x on bar 1
    forces[12] = 4.0, forces[18] = -4.0;  // and +4 along x (= Z) on bar 2
    loads[0] = 3.0, loads[2] = 4.0;
    for (std::size_t i = 6; i < 18; ++i) fixed[i] = 1;
  }
};

TEST(Equilibrium, ABalancedNodePasses) {
  const TwoBars t;
  EXPECT_FALSE(find_unbalanced(t.nodes, t.axes, t.forces, t.loads, t.fixed, 1e-12));
}

TEST(Equilibrium, AnUnbalancedOrNonFiniteDofIsNamed) {
  TwoBars t;
  t.forces[12] = 4.5;  // bar 2 takes more than the node gives
  const auto worst = find_unbalanced(t.nodes, t.axes, t.forces, t.loads, t.fixed, 1e-12);
  ASSERT_TRUE(worst);
  EXPECT_EQ(worst->node, 1u);
  EXPECT_EQ(worst->dof, 2);  // UZ
  t.forces[12] = 4.0;
  t.loads[4] = std::nan("");
  const auto nan = find_unbalanced(t.nodes, t.axes, t.forces, t.loads, t.fixed, 1e-12);
  ASSERT_TRUE(nan);
  EXPECT_EQ(nan->dof, 4);
}

TEST(Equilibrium, FixedDofsAreLeftToTheReactions) {
  TwoBars t;
  t.forces[6] = -2.0;  // node 2 is fixed: whatever it takes is its reaction
  EXPECT_FALSE(find_unbalanced(t.nodes, t.axes, t.forces, t.loads, t.fixed, 1e-12));
}

}  // namespace
}  // namespace velm::engineering
