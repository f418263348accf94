// A request to stop during the assembly or the results stage is answered within a small part of
// the stage: the analysis fails with cancelled soon after the monitor turns, at whatever moment
// of the stage it turns, however long the stage's single pieces of work (one result set, the load
// sets of many combinations) are.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "../model_builder.hpp"
#include "engineering/static_analysis.hpp"

namespace velm {
namespace {

using namespace velm::testing;
using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// Marks when a stage window opens (the check stage finished, or the first progress of the
// results stage) and when it closes (the stage's end); with a delay set, asks to stop that long
// after the window opens, and from then on.
class TurningMonitor final : public base::Monitor {
 public:
  TurningMonitor(std::string_view opens_on, bool at_end_of_check, std::string_view closes_on,
                 std::optional<double> delay)
      : opens_on_(opens_on),
        at_end_of_check_(at_end_of_check),
        closes_on_(closes_on),
        delay_(delay) {}

  void stage_progress(std::string_view stage, double fraction) override {
    if (opened || stage != opens_on_ || (at_end_of_check_ && fraction < 1.0)) return;
    opened = Clock::now();
  }
  void stage_end(std::string_view stage) override {
    if (stage == closes_on_ && !closed) closed = Clock::now();
  }
  bool stop_requested() override {
    if (turned) return true;
    if (!delay_ || !opened || seconds(*opened, Clock::now()) < *delay_) return false;
    turned = Clock::now();
    return true;
  }

  std::optional<Clock::time_point> opened, closed, turned;

 private:
  std::string opens_on_;
  bool at_end_of_check_;
  std::string closes_on_;
  std::optional<double> delay_;
};

// A storey frame on a square grid of columns, fixed at the ground, beams both ways at each
// floor carrying line loads in every load case, and `combinations` combinations of the cases.
model::VELM grid_frame(int bays, int storeys, int cases, int combinations) {
  const auto id = [&](int i, int j, int k) {
    return static_cast<std::uint32_t>((k * (bays + 1) + j) * (bays + 1) + i + 1);
  };
  const auto at = [&](int i, int j, int k) {
    return node(id(i, j, k), 6.0 * i, 5.0 * j, 3.5 * k,
                k == 0 ? std::optional<std::uint32_t>(id(i, j, k)) : std::nullopt);
  };
  std::vector<model::Member> members;
  std::vector<model::NodalSupport> supports;
  std::uint32_t next = 1;
  for (int j = 0; j <= bays; ++j)
    for (int i = 0; i <= bays; ++i) supports.push_back(fixed_support(id(i, j, 0)));
  std::vector<std::size_t> beams;
  for (int k = 0; k < storeys; ++k)
    for (int j = 0; j <= bays; ++j)
      for (int i = 0; i <= bays; ++i) {
        members.push_back(member(next++, at(i, j, k), at(i, j, k + 1)));
        if (i < bays) {
          beams.push_back(members.size());
          members.push_back(member(next++, at(i, j, k + 1), at(i + 1, j, k + 1)));
        }
        if (j < bays) {
          beams.push_back(members.size());
          members.push_back(member(next++, at(i, j, k + 1), at(i, j + 1, k + 1)));
        }
      }
  model::VELM m = testing::frame(members, std::move(supports),
                                 {load(1, id(bays, bays, storeys), 5e3, {1, 0.5, 0})});
  m.load_cases[0].line_loads.reserve(beams.size());
  for (int c = 0; c < cases; ++c) {
    if (c > 0) {
      model::LoadCase more;
      more.id = static_cast<std::uint32_t>(c + 1);
      more.name = "Case " + std::to_string(c + 1);
      m.load_cases.push_back(more);
    }
    for (const std::size_t b : beams) {
      model::LineLoad line;
      line.member = members[b];
      line.load_case = static_cast<std::uint32_t>(c + 1);
      line.magnitude = 2e3 + 100.0 * c;
      line.direction = {0, c % 2 == 0 ? 0.0 : 0.3, -1};
      line.start_pos = 0.0;
      line.end_pos = members[b].start_node.X == members[b].end_node.X ? 5.0 : 6.0;
      m.load_cases.back().line_loads.push_back(line);
    }
  }
  for (int k = 0; k < combinations; ++k) {
    model::LoadCombination combination;
    combination.load_combination_id = static_cast<std::uint32_t>(k + 1);
    combination.name = "Combination " + std::to_string(k + 1);
    for (int c = 0; c < cases; ++c)
      combination.load_cases_factors.insert_or_assign(static_cast<std::uint32_t>(c + 1),
                                                      1.0 + 0.05 * ((k + c) % 7));
    m.load_combinations.push_back(combination);
  }
  return m;
}

// The window's length in an uncancelled run, then, for turns at several points inside it, the
// time from the turn to the return: each within a quarter of the window (and a few milliseconds
// for a loaded machine).
void expect_prompt_answers(const model::VELM& m, int stations, std::string_view opens_on,
                           bool at_end_of_check, std::string_view closes_on) {
  engineering::AnalysisOptions options;
  options.stations = stations;
  TurningMonitor timing(opens_on, at_end_of_check, closes_on, std::nullopt);
  const auto whole = engineering::analyse_statics(m, options, timing);
  ASSERT_TRUE(whole.has_value()) << base::message(whole.error());
  ASSERT_TRUE(timing.opened && timing.closed);
  const double window = seconds(*timing.opened, *timing.closed);
  ASSERT_GT(window, 0.02) << "the model is too small to show a slow answer";
  int answered = 0;
  for (const double part : {0.1, 0.3, 0.5}) {
    TurningMonitor turning(opens_on, at_end_of_check, closes_on, part * window);
    const auto stopped = engineering::analyse_statics(m, options, turning);
    const Clock::time_point returned = Clock::now();
    if (stopped.has_value()) {
      // This run went faster than the first: its last poll came before the turn.
      EXPECT_FALSE(turning.turned) << part;
      continue;
    }
    ++answered;
    EXPECT_EQ(stopped.error().code, base::ErrorCode::cancelled) << part;
    ASSERT_TRUE(turning.turned) << part;
    EXPECT_LT(seconds(*turning.turned, returned), 0.25 * window + 0.005)
        << "turned at " << part << " of a window of " << window << " s";
  }
  EXPECT_GE(answered, 2);
}

TEST(StopAnswer, TheResultsStageAnswersWithinAPartOfOneResultSet) {
  // One result set, many stations: the results stage is one long item of work.
  expect_prompt_answers(grid_frame(6, 3, 1, 0), 2000, "results", false, "results");
}

TEST(StopAnswer, TheResultsStageAnswersOnEveryThread) {
  // Two result sets, which two threads take at once where there are two cores.
  expect_prompt_answers(grid_frame(6, 3, 1, 1), 2000, "results", false, "results");
}

TEST(StopAnswer, TheAssemblyAnswersFromTheEndOfTheChecks) {
  // Line loads on every beam in four cases and forty combinations: the element data, the load
  // sets, the load vectors, the pattern and the sums all lie between the checks and the
  // assembled stiffness.
  expect_prompt_answers(grid_frame(12, 6, 4, 40), 2, "check", true, "assemble");
}

// Says stop at its n-th poll only, as a monitor that is asked once and forgets may.
class OnceMonitor final : public base::Monitor {
 public:
  explicit OnceMonitor(int n) : n_(n) {}
  bool stop_requested() override { return ++polls_ == n_; }

 private:
  int n_;
  int polls_ = 0;
};

TEST(StopAnswer, AStopSaidOnceAtAnyPollEndsCancelledOrChangesNothing) {
  const model::VELM m = grid_frame(2, 2, 1, 1);
  engineering::AnalysisOptions options;
  base::Monitor quiet;
  const auto whole = engineering::analyse_statics(m, options, quiet);
  ASSERT_TRUE(whole.has_value()) << base::message(whole.error());
  int cancelled = 0;
  for (int n = 1; n <= 400; ++n) {
    OnceMonitor once(n);
    const auto outcome = engineering::analyse_statics(m, options, once);
    if (!outcome) {
      EXPECT_EQ(outcome.error().code, base::ErrorCode::cancelled) << n;
      ++cancelled;
      continue;
    }
    // Past the last poll: the whole analysis, unchanged.
    for (std::size_t s = 0; s < whole->load_cases.size(); ++s) {
      EXPECT_EQ(outcome->load_cases[s].displacements, whole->load_cases[s].displacements) << n;
      EXPECT_EQ(outcome->load_cases[s].internal_forces, whole->load_cases[s].internal_forces) << n;
    }
    for (std::size_t s = 0; s < whole->combinations.size(); ++s)
      EXPECT_EQ(outcome->combinations[s].deflections, whole->combinations[s].deflections) << n;
  }
  EXPECT_GT(cancelled, 3);
}

}  // namespace
}  // namespace velm
