#include "model/node_ids.hpp"

#include <gtest/gtest.h>

#include "model/lookup_maps.hpp"
#include "model_builder.hpp"

namespace velm::model {
namespace {

using testing::member;
using testing::node;

std::vector<model::MemberSet> sets(
    std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> ends) {
  model::MemberSet set;
  std::uint32_t id = 1;
  for (const auto& [a, b] : ends)
    set.members.push_back(member(id++, node(a, 0, 0, 0), node(b, 1, 0, 0)));
  return {set};
}

std::string gap(const std::vector<model::MemberSet>& s) {
  const auto valid = validate_node_ids(s);
  return valid ? "" : valid.error();
}

TEST(NodeIds, MustRunFromOneWithoutGaps) {
  EXPECT_EQ(gap(sets({{1, 2}, {2, 3}, {3, 4}})), "");
  EXPECT_EQ(gap(sets({{1, 2}, {3, 4}})), "");  // unbroken ids, not connectivity
  EXPECT_EQ(gap(sets({{1, 2}, {2, 4}})),
            "Node ID 3 is missing. Node IDs must be consecutive starting from 1.");
  EXPECT_EQ(gap(sets({{2, 3}})),
            "Node ID 1 is missing. Node IDs must be consecutive starting from 1.");
  EXPECT_EQ(gap(sets({{1, 5}, {7, 1}})),
            "Node ID 2 is missing. Node IDs must be consecutive starting from 1.");
  EXPECT_EQ(gap({}), "");
  EXPECT_EQ(gap(sets({{0, 0}})), "");
  EXPECT_EQ(node_count(sets({{3, 1}, {2, 1}})), 3u);
  EXPECT_EQ(node_count({}), 0u);
}

TEST(NodeIds, NodeZeroNamesTheFirstMember) {
  EXPECT_TRUE(reject_node_zero(sets({{1, 2}})));
  EXPECT_EQ(reject_node_zero(sets({{1, 2}, {0, 1}, {2, 0}})).error(),
            "Member 2 has node ID 0 at its start; node IDs must start from 1.");
}

TEST(LookupMaps, LaterRecordWins) {
  model::VELM m;
  model::Section a, b;
  a.id = b.id = 7;
  a.name = "first";
  b.name = "second";
  m.sections = {a, b};
  m.nodal_supports = {testing::support(1, "x"), testing::support(1, "y")};
  const LookupMaps maps = build_lookup_maps(m);
  EXPECT_EQ(maps.sections.at(7)->name, "second");
  EXPECT_EQ(maps.supports.at(1), &m.nodal_supports[1]);
  EXPECT_TRUE(maps.hinges.empty());
  EXPECT_TRUE(maps.materials.empty());
}

}  // namespace
}  // namespace velm::model
