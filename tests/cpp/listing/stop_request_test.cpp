// A stop requested through the observer ends the listed analysis at its next poll.
#include <gtest/gtest.h>

#include "listing/solve.hpp"
#include "model_builder.hpp"
#include "report/console.hpp"
#include "report/console_reporter.hpp"
#include "report/sink.hpp"
#include "temporary_folder.hpp"

namespace velm::listing {
namespace {

using testing::fixed_support;
using testing::frame;
using testing::load;
using testing::member;
using testing::node;

// A chain of `count` members fixed at node 1.
model::VELM chain(std::uint32_t count) {
  std::vector<model::Member> members;
  for (std::uint32_t i = 1; i <= count; ++i)
    members.push_back(
        member(i, node(i, i - 1.0, 0, 0, i == 1 ? std::optional<std::uint32_t>(1) : std::nullopt),
               node(i + 1, i, 0, 0)));
  return frame(std::move(members), {fixed_support(1)}, {load(1, count + 1, 1.0, {0, 0, -1})});
}

struct Stopped {
  std::string error;
  std::string printed;
};

// Solves with a stop check that says stop from its `stop_at`-th poll on.
Stopped solve_until(const model::VELM& m, int stop_at) {
  report::StringSink out, err;
  testing::TemporaryFolder folder;
  int polls = 0;
  base::Expected<Solution> outcome;
  {
    report::Console console(out, err);
    report::Output output{console, folder.path};
    output.stop_check = [&] { return ++polls >= stop_at; };
    report::ConsoleReporter reporter(output);
    outcome = solve_for_load_case(m, 1, reporter);
  }
  return {outcome ? "<success>" : base::message(outcome.error()), out.text};
}

TEST(StopRequest, AssemblyStopsAtTheNextMember) {
  // Validation polls once, then each member.
  const Stopped stopped = solve_until(chain(10), 3);
  EXPECT_EQ(stopped.error, base::kCancelled);
  EXPECT_NE(stopped.printed.find("Transformed Stiffness Matrix for Member 2 ("), std::string::npos);
  EXPECT_EQ(stopped.printed.find("Local Stiffness Matrix for Member 3 ("), std::string::npos);
}

TEST(StopRequest, APrintedGlobalMatrixStopsAfterTheRowThatWasPolled) {
  // Validation, the ten members and the end of assembly poll first; then every row.
  const Stopped stopped = solve_until(chain(10), 1 + 10 + 1 + 3);
  EXPECT_EQ(stopped.error, base::kCancelled);
  const std::size_t title = stopped.printed.find("Global Stiffness Matrix (66x66):\n");
  ASSERT_NE(title, std::string::npos);
  const std::string rest = stopped.printed.substr(title);
  EXPECT_EQ(std::count(rest.begin(), rest.end(), '\n'), 1 + 3);
}

TEST(StopRequest, NoStopNoDifference) {
  EXPECT_EQ(solve_until(chain(3), 1000000).error, "<success>");
}

}  // namespace
}  // namespace velm::listing
