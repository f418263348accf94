// The check stage of the engineering analysis tells its monitor how far it has come and stops
// when asked, in every pass over the records (members, nodes, supports, loads, combinations,
// rigid links), not only once the whole model has been checked.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/monitor.hpp"
#include "frame/structure.hpp"
#include "model_builder.hpp"

namespace velm::testing {
namespace {

constexpr std::uint32_t kMembers = 3000;

// A row of kMembers members along X, every node fixed, each node n joined by a rigid link to a
// node above it; many load cases and combinations, so that every pass has thousands of records.
model::VELM long_row() {
  std::vector<model::Member> members;
  for (std::uint32_t i = 1; i <= kMembers; ++i)
    members.push_back(member(i, node(i, i, 0, 0, 1), node(i + 1, i + 1, 0, 0, 1)));
  for (std::uint32_t i = 1; i <= kMembers; ++i) {
    model::Member link = member(kMembers + i, node(i, i, 0, 0, 1), node(kMembers + 1 + i, i, 0, 1));
    link.member_type = model::MemberType::Rigid;
    members.push_back(link);
  }
  model::VELM m = frame(std::move(members), {fixed_support(1)}, {load(1, 2, 10.0, {0, 0, -1})});
  for (std::uint32_t c = 2; c <= 2000; ++c) {
    model::LoadCase load_case;
    load_case.id = c;
    load_case.nodal_loads.push_back(load(1, c, 1.0, {1, 0, 0}));
    m.load_cases.push_back(load_case);
  }
  for (std::uint32_t k = 1; k <= 2000; ++k) {
    model::LoadCombination combination;
    combination.load_combination_id = k;
    combination.load_cases_factors.insert_or_assign(k, 1.5);
    m.load_combinations.push_back(combination);
  }
  return m;
}

// Records the fractions of the check stage and asks to stop at its `stop_at`-th poll (never
// when 0).
class CountingMonitor final : public base::Monitor {
 public:
  explicit CountingMonitor(int stop_at) : stop_at_(stop_at) {}
  void stage_progress(std::string_view stage, double fraction) override {
    stages.emplace_back(stage);
    fractions.push_back(fraction);
  }
  bool stop_requested() override { return ++polls == stop_at_; }

  int polls = 0;
  std::vector<std::string> stages;
  std::vector<double> fractions;

 private:
  int stop_at_;
};

TEST(CheckStage, ReportsAFractionThatRisesToOneAndPollsThroughout) {
  const model::VELM model = long_row();
  CountingMonitor monitor(0);
  ASSERT_TRUE(frame::build_structure(model, monitor).has_value());
  for (const std::string& stage : monitor.stages) EXPECT_EQ(stage, "check");
  ASSERT_GE(monitor.fractions.size(), 2u);
  EXPECT_EQ(monitor.fractions.front(), 0.0);
  EXPECT_EQ(monitor.fractions.back(), 1.0);
  for (std::size_t i = 1; i < monitor.fractions.size(); ++i) {
    EXPECT_LE(monitor.fractions[i - 1], monitor.fractions[i]) << i;
    EXPECT_LE(monitor.fractions[i], 1.0);
  }
  // About 40,000 records visited: a poll every 1024 of them, and one at the end.
  EXPECT_GE(monitor.polls, 30);
}

TEST(CheckStage, AStopRequestedAtAnyPollFailsAsCancelled) {
  const model::VELM model = long_row();
  CountingMonitor quiet(0);
  ASSERT_TRUE(frame::build_structure(model, quiet).has_value());
  // The first poll, one in each stretch of the passes, and the last.
  for (int stop_at = 1; stop_at <= quiet.polls; stop_at += 3) {
    CountingMonitor monitor(stop_at);
    const auto built = frame::build_structure(model, monitor);
    ASSERT_FALSE(built.has_value()) << stop_at;
    EXPECT_EQ(built.error().code, base::ErrorCode::cancelled) << stop_at;
    EXPECT_EQ(monitor.polls, stop_at);  // no poll after the one that asked to stop
  }
  CountingMonitor last(quiet.polls);
  const auto built = frame::build_structure(model, last);
  ASSERT_FALSE(built.has_value());
  EXPECT_EQ(built.error().code, base::ErrorCode::cancelled);
}

}  // namespace
}  // namespace velm::testing
