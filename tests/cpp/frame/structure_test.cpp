// The structure the engineering analysis builds from a document, and the load sets of its
// result sets: what it copies out of the document must hold once the document is gone, and
// combinations must find their cases by id whatever the order.
#include "frame/structure.hpp"

#include <gtest/gtest.h>

#include <optional>

#include "frame/load_sets.hpp"
#include "model_builder.hpp"

namespace velm::testing {
namespace {

// Two members in a row along X, fixed at node 1, loaded at nodes 2 and 3; load cases with ids
// 7, 3 and 5 (not in order), nodal loads in each.
model::VELM three_cases() {
  model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 3, 0, 0)),
                         member(2, node(2, 3, 0, 0), node(3, 6, 0, 0, 2))},
                        {fixed_support(1), support(2, "yz")}, {load(1, 2, 10.0, {0, 0, -1})});
  m.load_cases[0].id = 7;
  m.load_cases[0].name = "dead";
  for (const auto& [id, name, node_id, magnitude] :
       {std::tuple{3u, "wind", 3u, 4.0}, std::tuple{5u, "snow", 2u, 2.5}}) {
    model::LoadCase c;
    c.id = id;
    c.name = name;
    c.nodal_loads.push_back(load(id, node_id, magnitude, {0.6, 0, 0.8}));
    m.load_cases.push_back(c);
  }
  model::LoadCombination combination;
  combination.load_combination_id = 11;
  combination.name = "ULS";
  combination.load_cases_factors.insert_or_assign(5, 1.5);
  combination.load_cases_factors.insert_or_assign(7, 1.35);
  m.load_combinations.push_back(combination);
  return m;
}

TEST(Structure, KeepsWhatTheAnalysisNeedsOnceTheDocumentIsGone) {
  std::optional<model::VELM> document = three_cases();
  auto built = frame::build_structure(*document);
  document.reset();
  ASSERT_TRUE(built.has_value());
  const frame::Structure& s = *built;

  ASSERT_EQ(s.support_ids, (std::vector<std::uint32_t>{1, 2}));
  EXPECT_EQ(s.support_nodes[0], std::vector<std::uint32_t>{1});
  EXPECT_EQ(s.support_nodes[1], std::vector<std::uint32_t>{3});
  ASSERT_EQ(s.load_cases.size(), 3u);
  EXPECT_EQ(s.load_cases[1].id, 3u);
  EXPECT_EQ(s.load_cases[1].name, "wind");
  ASSERT_EQ(s.load_cases[1].nodal_loads.size(), 1u);
  EXPECT_EQ(s.load_cases[1].nodal_loads[0].node, 3u);
  EXPECT_EQ(s.load_cases[1].nodal_loads[0].magnitude, 4.0);
  EXPECT_EQ(s.load_cases[1].nodal_loads[0].direction[2], 0.8);
  ASSERT_EQ(s.combinations.size(), 1u);
  EXPECT_EQ(s.combinations[0].id, 11u);
  EXPECT_EQ(s.combinations[0].name, "ULS");
  EXPECT_EQ(s.result_set_count(), 4u);
}

TEST(Structure, CombinationsFindTheirCasesByIdInTheOrderTheyNameThem) {
  const auto built = frame::build_structure(three_cases());
  ASSERT_TRUE(built.has_value());
  const auto& terms = built->combinations[0].terms;
  ASSERT_EQ(terms.size(), 2u);
  EXPECT_EQ(terms[0].load_case, 2u);  // id 5, third in the document
  EXPECT_EQ(terms[0].factor, 1.5);
  EXPECT_EQ(terms[1].load_case, 0u);  // id 7, first
  EXPECT_EQ(terms[1].factor, 1.35);

  // The load set: the cases' nodal forces times their factors, in the order of the terms.
  const frame::LoadSet set = frame::combination_loads(*built, built->combinations[0]);
  EXPECT_EQ(set.label, "load combination 11");
  ASSERT_EQ(set.nodal.size(), 2u);
  EXPECT_EQ(set.nodal[0].node, 2u);
  EXPECT_DOUBLE_EQ(set.nodal[0].force(0), 1.5 * 0.6 * 2.5);
  EXPECT_DOUBLE_EQ(set.nodal[0].force(2), 1.5 * 0.8 * 2.5);
  EXPECT_EQ(set.nodal[1].node, 2u);
  EXPECT_DOUBLE_EQ(set.nodal[1].force(2), -1.35 * 10.0);
  EXPECT_EQ(set.nodal[1].force(0), 0.0);
  EXPECT_EQ(set.nodal[1].force.tail<3>(), linalg::Vector3::Zero());
}

TEST(Structure, ACombinationNamingACaseTwiceCarriesItsLoadsTwice) {
  model::VELM m = three_cases();
  model::LineLoad line;
  line.member = m.member_sets[0].members[0];
  line.load_case = 7;
  line.magnitude = 2.0;
  line.direction = {0, 0, -1};
  line.start_pos = 0.0;
  line.end_pos = 3.0;
  m.load_cases[0].line_loads.push_back(line);
  auto built = frame::build_structure(m);
  ASSERT_TRUE(built.has_value());
  const frame::Combination twice{1, "twice", {{0, 1.0}, {0, 2.0}}};
  const frame::LoadSet set = frame::combination_loads(*built, twice);
  ASSERT_EQ(set.nodal.size(), 2u);
  EXPECT_EQ(set.nodal[0].force(2) + set.nodal[1].force(2), -30.0);
  ASSERT_EQ(set.on_member(0).size(), 2u);
  EXPECT_EQ(set.on_member(0)[0].q.z() + set.on_member(0)[1].q.z(), -6.0);
  EXPECT_TRUE(set.on_member(1).empty());
}

TEST(Structure, ASupportHeldByTwoMemberEndsListsItsNodeOnce) {
  // Node 2 names support 1 in both members; node 4 names support 9, which does not exist.
  model::VELM m = frame({member(1, node(1, 0, 0, 0), node(2, 3, 0, 0, 1)),
                         member(2, node(2, 3, 0, 0, 1), node(3, 6, 0, 0, 1))},
                        {support(1, "xyz")}, {});
  const auto built = frame::build_structure(m);
  ASSERT_TRUE(built.has_value());
  EXPECT_EQ(built->support_nodes[0], (std::vector<std::uint32_t>{2, 3}));
  const std::vector<std::uint8_t> node2(built->restraints.begin() + 6,
                                        built->restraints.begin() + 12);
  EXPECT_EQ(node2, (std::vector<std::uint8_t>{1, 1, 1, 0, 0, 0}));

  m.member_sets[0].members.push_back(member(3, node(3, 6, 0, 0, 1), node(4, 9, 0, 0, 9)));
  const auto unknown = frame::build_structure(m);
  ASSERT_FALSE(unknown.has_value());
  EXPECT_EQ(unknown.error().code, base::ErrorCode::invalid_model);
  EXPECT_EQ(base::message(unknown.error()),
            "Node 4 (in member 3) names support 9, which is not in nodal_supports.");
}

}  // namespace
}  // namespace velm::testing
