// The listed analysis's outcome: the error of the stage that failed, and its text.
#include <gtest/gtest.h>

#include <filesystem>

#include "driver/document.hpp"
#include "driver/driver.hpp"
#include "model/document.hpp"
#include "model_builder.hpp"
#include "report/console.hpp"
#include "report/sink.hpp"
#include "temporary_folder.hpp"

namespace velm::driver {
namespace {

constexpr const char* kNoLoadCases =
    R"({"member_sets":[],"load_cases":[],"load_combinations":[],"imperfection_cases":[],)"
    R"("materials":[],"sections":[],"nodal_supports":[]})";

TEST(ReadModel, AModelNeedsToBeWellFormedAndToHaveALoadCase) {
  const auto broken = read_model("{");
  ASSERT_FALSE(broken);
  EXPECT_EQ(broken.error().code, base::ErrorCode::not_well_formed);
  EXPECT_EQ(base::message(broken.error()), "JSON was not well-formatted: " + broken.error().detail);
  EXPECT_EQ(broken.error().detail.substr(broken.error().detail.size() - 19), " at line 1 column 1");
  const auto empty = read_model(kNoLoadCases);
  ASSERT_FALSE(empty);
  EXPECT_EQ(base::message(empty.error()), "No load cases found in the input data.");
}

struct Listing {
  report::StringSink out, err;
  testing::TemporaryFolder folder;
  base::Expected<std::string> outcome = base::fail(base::ErrorCode::cancelled);

  Listing(std::string_view text, bool stop) {
    report::Console console(out, err);
    report::Output output{console, folder.path};
    if (stop) output.stop_check = [] { return true; };
    outcome = calculate_from_json_internal(text, output);
  }
  bool wrote_results() const { return std::filesystem::exists(folder.path / kResultsFileName); }
};

std::string free_member() {
  using namespace velm::testing;
  return model::write_model(
      frame({member(1, node(1, 0, 0, 0), node(2, 1, 0, 0))}, {}, {load(1, 2, 1000.0, {0, 1, 0})}));
}

TEST(Outcome, ASolveFailureNamesTheLoadCase) {
  const Listing run(free_member(), false);
  ASSERT_FALSE(run.outcome);
  EXPECT_EQ(run.outcome.error().code, base::ErrorCode::load_case_failed);
  EXPECT_EQ(base::message(run.outcome.error()),
            "Error during analysis for Load Case 1: Global stiffness matrix is singular or "
            "near-singular.");
  EXPECT_FALSE(run.wrote_results());
}

TEST(Outcome, AStopIsACancellationAndWritesNothing) {
  const Listing run(free_member(), true);
  ASSERT_FALSE(run.outcome);
  EXPECT_EQ(run.outcome.error().code, base::ErrorCode::cancelled);
  EXPECT_FALSE(run.wrote_results());
  const Listing unreadable("{", false);
  EXPECT_EQ(unreadable.outcome.error().code, base::ErrorCode::not_well_formed);
}

}  // namespace
}  // namespace velm::driver
