// The text users read for every failure, one row per code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "base/system_error.hpp"
#include "base/units.hpp"

namespace velm::base {
namespace {

struct Row {
  ErrorCode code;
  std::string detail;
  std::string text;
};

TEST(ErrorMessage, EveryCodeHasItsText) {
  const std::vector<Row> rows = {
      {ErrorCode::read_failed, "No such file or directory (os error 2)",
       "Failed to read JSON file: No such file or directory (os error 2)"},
      {ErrorCode::not_well_formed, "expected value at line 1 column 1",
       "JSON was not well-formatted: expected value at line 1 column 1"},
      {ErrorCode::no_load_cases, "", "No load cases found in the input data."},
      {ErrorCode::invalid_model, "Node ID 3 is missing.", "Node ID 3 is missing."},
      {ErrorCode::unstable, "node 2, UX", "The structure is unstable: node 2, UX."},
      {ErrorCode::singular, "Global stiffness matrix is singular or near-singular.",
       "Global stiffness matrix is singular or near-singular."},
      {ErrorCode::too_large, "The model has 7 nodes; ...", "The model has 7 nodes; ..."},
      {ErrorCode::not_finite, "The displacement is not finite", "The displacement is not finite"},
      {ErrorCode::not_settled, "Members kept switching.", "Members kept switching."},
      {ErrorCode::solver_failed, "INFOG(1) = -9", "The sparse solver failed: INFOG(1) = -9."},
      {ErrorCode::solve_failed, "INFOG(1) = -2",
       "The sparse solver failed to solve: INFOG(1) = -2."},
      {ErrorCode::out_of_memory, "an allocation failed while solving the load case",
       "Not enough memory for the analysis: an allocation failed while solving the load case."},
      {ErrorCode::out_of_memory, "", "Not enough memory for the analysis: an allocation failed."},
      {ErrorCode::out_of_memory_reading, "", "Not enough memory to read the model document."},
      {ErrorCode::cancelled, "", "The analysis was cancelled."},
      {ErrorCode::load_case_failed, "1: The analysis was cancelled.",
       "Error during analysis for Load Case 1: The analysis was cancelled."},
      {ErrorCode::write_failed, "Permission denied (os error 13)",
       "Failed to write results to JSON file: Permission denied (os error 13)"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(message({row.code, row.detail}), row.text) << static_cast<int>(row.code);
  // The monitor's cancellation text and the code's are one text.
  EXPECT_EQ(message({ErrorCode::cancelled, ""}), std::string(kCancelled));
}

TEST(ErrorMessage, SystemFailuresAndAmountsAsUsersReadThem) {
  EXPECT_EQ(os_error_text(2), "No such file or directory (os error 2)");
  EXPECT_EQ(os_error_text(13), "Permission denied (os error 13)");
  EXPECT_EQ(gigabytes(1'550'000'000), "1.6 GB");
  EXPECT_EQ(gigabytes_and_bytes(2500), "0.0 GB (2500 bytes)");
  EXPECT_EQ(gigabytes_and_bytes(1'500'000'000), "1.5 GB (1500000000 bytes)");
}

}  // namespace
}  // namespace velm::base
