// Support reactions, equilibrium and the results record.
#include <gtest/gtest.h>

#include <array>

#include "model_builder.hpp"
#include "listing/solve_harness.hpp"

namespace velm::listing {
namespace {

using testing::fixed_support;
using testing::frame;
using testing::load;
using testing::member;
using testing::node;
using testing::SolveRun;
using testing::support;

using Vec = std::array<double, 3>;
Vec cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

TEST(Reactions, SpaceFrameIsInEquilibrium) {
  // Four columns, a ring of beams and a diagonal, each base with its own support record
  // (one of them pinned), loads in all directions.
  const model::Node b1 = node(1, 0, 0, 0, 11), b2 = node(2, 6, 0, 0, 12), b3 = node(3, 6, 0, 4, 13),
                    b4 = node(4, 0, 0, 4, 14);
  const model::Node t1 = node(5, 0, 3, 0), t2 = node(6, 6, 3.5, 0), t3 = node(7, 6, 3, 4),
                    t4 = node(8, 0, 3, 4);
  model::VELM m =
      frame({member(1, b1, t1), member(2, b2, t2), member(3, b3, t3), member(4, b4, t4),
             member(5, t1, t2), member(6, t2, t3), member(7, t3, t4), member(8, t4, t1),
             member(9, t1, t3)},
            {fixed_support(11), fixed_support(12), support(13, "xyz"), fixed_support(14)},
            {load(1, 5, 1000, {1, 0, 0}), load(2, 7, 2500, {0.2, -1, 0.4}),
             load(3, 6, 700, {0, 0, -1}), load(4, 8, 300, {1, 1, 1})});
  SolveRun run;
  run.solve(m);
  const std::array<Vec, 8> position = {Vec{0, 0, 0}, {6, 0, 0},   {6, 0, 4}, {0, 0, 4},
                                       {0, 3, 0},    {6, 3.5, 0}, {6, 3, 4}, {0, 3, 4}};
  Vec force{}, moment{};
  const auto add = [&](const Vec& at, const Vec& f, const Vec& mom) {
    const Vec arm = cross(at, f);
    for (int i = 0; i < 3; ++i) {
      force[i] += f[i];
      moment[i] += arm[i] + mom[i];
    }
  };
  for (const model::NodalLoad& l : m.load_cases[0].nodal_loads)
    add(position[l.node - 1],
        {l.magnitude * l.direction[0], l.magnitude * l.direction[1], l.magnitude * l.direction[2]},
        {0, 0, 0});
  const auto& reactions = run.results().reaction_forces;
  ASSERT_EQ(reactions.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(reactions[i].support_id, 11 + i);
    add(position[i], {reactions[i].fx, reactions[i].fy, reactions[i].fz},
        {reactions[i].mx, reactions[i].my, reactions[i].mz});
  }
  EXPECT_EQ(reactions[2].mx, 0.0);  // the pinned base takes no moment
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(force[i], 0.0, 1e-6) << "force " << i;
    EXPECT_NEAR(moment[i], 0.0, 1e-5) << "moment " << i;
  }
}

TEST(Reactions, IncludeALoadAppliedAtTheSupport) {
  model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 2, 0, 0))}, {fixed_support(1)},
                        {load(1, 2, 100, {0, -1, 0}), load(2, 1, 40, {0, -1, 0})});
  SolveRun run;
  const Solution& s = run.solve(m);
  EXPECT_NEAR(run.results().reaction_forces[0].fy, 140.0, 1e-6);
  // The returned vector stays K*u: at the support it misses the load standing on it.
  EXPECT_NEAR(s.reactions(1), 100.0, 1e-6);
  EXPECT_NEAR(s.reactions(7), -100.0, 1e-6);
}

TEST(Reactions, ShadowedAndUnusedRecordsGetZeros) {
  // Two records with id 1: the later (fixing UY only) is the one applied.
  model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 2, 0, 0, 1)),
                         member(2, node(2, 2, 0, 0, 1), node(3, 4, 0, 0, 2))},
                        {fixed_support(1), support(1, "yxzX"), fixed_support(5), fixed_support(2)},
                        {load(1, 2, 100, {0, -1, 0}), load(2, 3, 100, {0, -1, 0})});
  SolveRun run;
  run.solve(m);
  const auto& r = run.results().reaction_forces;
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0], (model::ReactionForce{1, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(r[2], (model::ReactionForce{5, 0, 0, 0, 0, 0, 0}));
  // The record applied to nodes 1 and 2 (no rotation restraint about Z) and the fixed node 3
  // share the 200 between them.
  EXPECT_NEAR(r[1].fy + r[3].fy, 200.0, 1e-6);
  EXPECT_EQ(r[1].mz, 0.0);
  EXPECT_EQ(run.results().summary.total_reaction_forces, 4u);
}

TEST(Results, RecordListsEveryMemberEndAndSkippedMembersToo) {
  model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 2, 0, 0)),
                         member(2, node(2, 2, 0, 0), node(3, 4, 0, 0, 1), 99)},
                        {fixed_support(1)}, {load(1, 2, 10, {0, 0, 1})});
  SolveRun run;
  const Solution& s = run.solve(m, 1);
  const model::Results& r = run.results();
  EXPECT_EQ(r.name, "Load Case 1");
  EXPECT_EQ(r.result_type, "Load Case 1");
  ASSERT_EQ(r.displacement_nodes.size(), 4u);
  EXPECT_EQ(r.displacement_nodes[1].node_id, 2u);
  EXPECT_EQ(r.displacement_nodes[2].node_id, 2u);
  EXPECT_EQ(r.displacement_nodes[1].dz, s.displacements(8));
  ASSERT_EQ(r.member_forces.size(), 2u);
  EXPECT_EQ(r.member_forces[1], (model::MemberForce{2, {}, {}}));
  EXPECT_NE(r.member_forces[0].start_node_forces.fz, 0.0);
  EXPECT_EQ(r.summary, (model::ResultsSummary{4, 1, 2}));
  // Member 2 (section 99 does not exist) prints and exports nothing, but its end node is
  // still held by the support it names: without that, node 3 would have no stiffness at all.
  EXPECT_EQ(run.out.text.find("Member 2"), std::string::npos);
}

}  // namespace
}  // namespace velm::listing
