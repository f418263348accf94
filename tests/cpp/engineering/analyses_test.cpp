// The two analyses behind the entry, and the entry's failures as error values.
#include <gtest/gtest.h>

#include "engineering/active_set_analysis.hpp"
#include "engineering/linear_analysis.hpp"
#include "engineering/static_analysis.hpp"
#include "frame/load_sets.hpp"
#include "model_builder.hpp"
#include "system/discrete_model.hpp"

namespace velm::testing {
namespace {

class Stopping : public base::Monitor {
 public:
  bool stop_requested() override { return true; }
};

// A portal frame fixed at its feet, loaded sideways and downwards.
model::VELM portal() {
  return frame({member(1, node(1, 0, 0, 0, 1), node(2, 0, 0, 3)),
                member(2, node(2, 0, 0, 3), node(3, 4, 0, 3)),
                member(3, node(4, 4, 0, 0, 1), node(3, 4, 0, 3))},
               {fixed_support(1)}, {load(1, 2, 10.0, {1, 0, 0}), load(2, 3, 20.0, {0, 0, -1})});
}

TEST(LinearAnalysis, ACombinationNamingACaseTwiceSumsBothTerms) {
  auto structure = frame::build_structure(portal());
  ASSERT_TRUE(structure.has_value());
  structure->combinations.push_back({4, "twice", {{0, 1.0}, {0, 2.0}}});
  const system::DiscreteModel model(*structure);
  const std::vector<frame::LoadSet> sets = frame::result_load_sets(*structure);
  std::vector<engineering::ResultSet> results(sets.size());
  base::Monitor quiet;
  const std::vector<std::uint8_t> all(sets.size(), 1);
  ASSERT_TRUE(engineering::analyse_linear(model, sets, all, {}, quiet, results).has_value());
  const auto& once = results[0];
  const auto& twice = results[1];
  for (std::size_t i = 0; i < once.displacements.size(); ++i)
    EXPECT_NEAR(twice.displacements[i], 3.0 * once.displacements[i],
                1e-12 * std::abs(once.displacements[i]) + 1e-18);
  // The reactions take the nodal loads of both terms: they balance three times the loads.
  double fx = 0.0, fz = 0.0;
  for (std::size_t r = 0; r < twice.reactions.size(); r += 6) {
    fx += twice.reactions[r];
    fz += twice.reactions[r + 2];
  }
  EXPECT_NEAR(fx, -30.0, 1e-9);
  EXPECT_NEAR(fz, 60.0, 1e-9);
}

TEST(ActiveSetAnalysis, ATensionBraceThatWouldBeCompressedIsSwitchedOff) {
  // The portal braced by two tension-only diagonals: pushed along +X, the one from the left
  // foot to the right top stretches; the other would shorten and is switched off.
  model::VELM m = portal();
  model::Member stretched = member(4, node(1, 0, 0, 0, 1), node(3, 4, 0, 3));
  model::Member shortened = member(5, node(4, 4, 0, 0, 1), node(2, 0, 0, 3));
  stretched.member_type = shortened.member_type = model::MemberType::Tension;
  m.member_sets[0].members.push_back(stretched);
  m.member_sets[0].members.push_back(shortened);
  m.load_cases[0].nodal_loads.pop_back();
  const auto structure = frame::build_structure(m);
  ASSERT_TRUE(structure.has_value());
  const system::DiscreteModel model(*structure);
  const std::vector<frame::LoadSet> sets = frame::result_load_sets(*structure);
  std::vector<engineering::ResultSet> results(sets.size());
  base::Monitor quiet;
  const auto outcome =
      engineering::analyse_switching_set(model, sets[0], {}, quiet, false, results[0]);
  ASSERT_TRUE(outcome.has_value() && !outcome->has_value());
  EXPECT_EQ(results[0].inactive_members, std::vector<std::uint32_t>{5});
  EXPECT_LT(results[0].end_forces[12 * 3], 0.0);  // the start of the stretched brace pulls
  // Settled: the next round would switch nothing.
  std::vector<std::uint8_t> active(5, 1);
  active[4] = 0;
  EXPECT_EQ(engineering::next_active(*structure, active, results[0]), active);
}

TEST(StaticAnalysis, FailuresAreErrorValuesWithTheirTexts) {
  model::VELM m = portal();
  m.load_cases.push_back(m.load_cases[0]);
  base::Monitor quiet;
  const auto repeated = engineering::analyse_statics(m, {}, quiet);
  ASSERT_FALSE(repeated.has_value());
  EXPECT_EQ(repeated.error().code, base::ErrorCode::invalid_model);
  EXPECT_EQ(base::message(repeated.error()), "Two load cases have the id 1.");

  Stopping stopping;
  const auto stopped = engineering::analyse_statics(portal(), {}, stopping);
  ASSERT_FALSE(stopped.has_value());
  EXPECT_EQ(stopped.error().code, base::ErrorCode::cancelled);
}

}  // namespace
}  // namespace velm::testing
