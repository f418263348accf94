// Models that the solver refuses, with the text it gives and what it printed before.
#include <gtest/gtest.h>

#include "listing/global_matrix.hpp"
#include "listing/memory_verdict.hpp"
#include "listing/solve_harness.hpp"
#include "model_builder.hpp"

namespace velm::listing {
namespace {

using testing::fixed_support;
using testing::frame;
using testing::load;
using testing::member;
using testing::node;
using testing::SolveRun;

model::VELM bar(std::uint32_t a, std::uint32_t b) {
  return frame({member(1, node(a, 0, 0, 0, 1), node(b, 1, 0, 0))}, {fixed_support(1)}, {});
}

TEST(SolveErrors, NodeGapIsReportedBeforeAssembly) {
  model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 1, 0, 0)),
                         member(2, node(2, 1, 0, 0), node(4, 2, 0, 0))},
                        {fixed_support(1)}, {});
  SolveRun run;
  EXPECT_EQ(run.error(m), "Node ID 3 is missing. Node IDs must be consecutive starting from 1.");
  EXPECT_EQ(run.out.text, "Validating node IDs...\n");
  EXPECT_FALSE(m.results.has_value());
}

TEST(SolveErrors, NodeZeroAtAMemberEnd) {
  model::VELM m = bar(1, 2);
  m.member_sets[0].members.push_back(member(5, node(2, 1, 0, 0), node(0, 2, 0, 0), 42));
  SolveRun run;
  EXPECT_EQ(run.error(m), "Member 5 has node ID 0 at its end; node IDs must start from 1.");
  EXPECT_EQ(run.out.text, "Validating node IDs...\nAssembling global stiffness matrix...\n");
}

TEST(SolveErrors, LoadOnANodeWithoutMembers) {
  model::VELM m = bar(1, 2);
  m.load_cases[0].nodal_loads = {load(8, 0, 5, {0, 0, 0}), load(9, 3, 5, {0, 1, 0})};
  SolveRun run;
  EXPECT_EQ(run.error(m),
            "Nodal load 9 acts on node 3, which is not a node of the members (nodes 1 to 2).");
  m.load_cases[0].nodal_loads = {load(8, 0, 5, {0, 0, 1})};
  EXPECT_EQ(run.error(m),
            "Nodal load 8 acts on node 0, which is not a node of the members (nodes 1 to 2).");
}

TEST(SolveErrors, SingularModel) {
  testing::SectionData nothing;
  nothing.e = nothing.g = 0.0;
  model::VELM m =
      frame({member(1, node(1, 0, 0, 0, 1), node(2, 1, 0, 0))}, {fixed_support(1)}, {}, nothing);
  SolveRun run;
  EXPECT_EQ(run.error(m), "Global stiffness matrix is singular or near-singular.");
  const std::string& out = run.out.text;
  const std::size_t det = out.find("Determinant of global stiffness matrix: 0\n");
  ASSERT_NE(det, std::string::npos);
  EXPECT_EQ(out.substr(det + 42), "Solving for displacements...\n");
}

TEST(SolveErrors, CoincidentEndsStopAfterTheLocalMatrix) {
  model::VELM m = frame({member(3, node(1, 0, 0, 0, 1), node(2, 0, 0, 0))}, {fixed_support(1)}, {});
  SolveRun run;
  EXPECT_EQ(run.error(m), "Start and end nodes are the same or too close to define a direction.");
  EXPECT_NE(run.out.text.find("Local Stiffness Matrix for Member 3 (12x12):"), std::string::npos);
  EXPECT_NE(run.out.text.find("Determinant of local stiffness matrix: "), std::string::npos);
  EXPECT_EQ(run.out.text.find("Transformation Matrix"), std::string::npos);
}

TEST(SolveErrors, OverflowingSolutionIsNotASuccess) {
  model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 1, 0, 0))}, {fixed_support(1)},
                        {load(1, 2, 1e308, {10, 0, 0})});
  SolveRun run;
  const std::string error = run.error(m);
  // Which entry turns non-finite first is up to the triangular solves; the text names it.
  EXPECT_EQ(error.rfind("The displacement is not finite at node ", 0), 0u) << error;
  EXPECT_NE(error.find(", UX ("), std::string::npos) << error;
  EXPECT_FALSE(m.results.has_value());
}

TEST(SolveErrors, ModelTooLargeForMemory) {
  std::vector<model::Member> members;
  for (std::uint32_t i = 1; i < 100000; ++i)
    members.push_back(member(i, node(i, i, 0, 0), node(i + 1, i + 1.0, 0, 0)));
  model::VELM m = frame(std::move(members), {}, {});
  SolveRun run;
  const std::string error = run.error(m);
  EXPECT_EQ(error.rfind("The model has 100000 nodes; its global stiffness matrices would need "
                        "8640.0 GB (8640000000000 bytes) of memory, more than the ",
                        0),
            0u)
      << error;
}

TEST(MemoryBudget, CountsThreeDenseMatricesAndCatchesOverflow) {
  EXPECT_EQ(dense_analysis_bytes(0), 0u);
  EXPECT_EQ(dense_analysis_bytes(50000), 3ull * 300000 * 300000 * 8);
  EXPECT_FALSE(dense_analysis_bytes(4294967295ull).has_value());
  EXPECT_TRUE(check_memory_budget(10, 100, 100));
  EXPECT_EQ(check_memory_budget(7, 2000000000, 1000000000).error().detail,
            "The model has 7 nodes; its global stiffness matrices would need 2.0 GB (2000000000 "
            "bytes) of memory, more than the 1.0 GB available.");
  EXPECT_EQ(check_memory_budget(7, std::nullopt, 10).error().detail,
            "The model has 7 nodes; its global stiffness matrices would need more bytes of memory "
            "than a 64-bit count can hold.");
}

}  // namespace
}  // namespace velm::listing
