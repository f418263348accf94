// Springs and enforced displacements at nodes that rigid links tie together, against the same
// frame with a very stiff member for the link; in second order without axial force against
// first order; the checks of the extension records with their exact texts; the reading of the
// extensions with the reader's positions; and the factored load sets of combinations.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "engineering/static_analysis.hpp"
#include "frame/load_sets.hpp"
#include "frame/structure.hpp"
#include "model/extensions.hpp"
#include "model_builder.hpp"

namespace velm::testing {
namespace {

engineering::StaticAnalysis analyse_with(const model::VELM& m, const model::Extensions& x,
                                         bool second_order = false) {
  engineering::AnalysisOptions options;
  options.stations = 5;
  options.second_order = second_order;
  base::Monitor quiet;
  auto outcome = engineering::analyse_statics(m, x, options, quiet);
  if (!outcome) throw std::runtime_error(base::message(outcome.error()));
  return std::move(*outcome);
}

std::string refusal(const model::VELM& m, const model::Extensions& x) {
  base::Monitor quiet;
  auto outcome = engineering::analyse_statics(m, x, {}, quiet);
  return outcome ? std::string("<success>") : base::message(outcome.error());
}

// A column fixed at node 1 (support 1), an arm from its top (node 2) to node 3, which stands
// on a vertical spring (support 2); a horizontal and a vertical load at node 3.
model::VELM arm_on_a_spring(bool rigid) {
  model::Member arm = member(2, node(2, 0, 0, 3), node(3, 1.5, 0, 3, 2), rigid ? 1 : 2);
  if (rigid) arm.member_type = model::MemberType::Rigid;
  model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 0, 0, 3)), arm},
                        {fixed_support(1), support(2, "")}, {load(1, 3, 8e3, {0.3, 0.2, -1})});
  model::Section stiff = m.sections[0];
  stiff.id = 2;
  stiff.area *= 1e6;
  stiff.i_y *= 1e6;
  stiff.i_z *= 1e6;
  stiff.j *= 1e6;
  m.sections.push_back(stiff);
  return m;
}

model::Extensions spring_and_settlement() {
  model::Extensions x;
  model::SupportExtension fixed, sprung;
  sprung.displacement_springs.emplace().insert_or_assign("Z", 4e5);
  sprung.rotation_springs.emplace().insert_or_assign("X", 2e5);
  x.nodal_supports = {fixed, sprung};
  model::LoadCaseExtension c;
  c.support_displacements.emplace().push_back(
      {1, std::vector<std::optional<double>>{0.002, std::nullopt, -0.004},
       std::vector<std::optional<double>>{std::nullopt, 0.001, std::nullopt}});
  x.load_cases = {c};
  return x;
}

TEST(ExtensionSupports, SpringsOnAFollowerAndSettlementsOfItsRootMatchAVeryStiffArm) {
  const model::Extensions x = spring_and_settlement();
  const auto exact = analyse_with(arm_on_a_spring(true), x);
  const auto stiff = analyse_with(arm_on_a_spring(false), x);
  const auto& a = exact.load_cases[0];
  const auto& b = stiff.load_cases[0];
  ASSERT_FALSE(a.error.has_value());
  ASSERT_FALSE(b.error.has_value());
  for (std::size_t i = 0; i < a.displacements.size(); ++i)
    EXPECT_NEAR(a.displacements[i], b.displacements[i], 1e-5 * std::abs(b.displacements[i]) + 1e-10)
        << i;
  for (std::size_t i = 0; i < a.reactions.size(); ++i)
    EXPECT_NEAR(a.reactions[i], b.reactions[i], 1e-5 * std::abs(b.reactions[i]) + 1e-3) << i;
  // The enforced values themselves, the node that follows moving with its root, and the
  // spring's reaction -k u.
  EXPECT_EQ(a.displacements[0], 0.002);
  EXPECT_EQ(a.displacements[2], -0.004);
  EXPECT_EQ(a.displacements[4], 0.001);
  EXPECT_NE(a.displacements[12 + 2], 0.0);
  EXPECT_DOUBLE_EQ(a.reactions[6 + 2], -4e5 * a.displacements[12 + 2]);
  EXPECT_DOUBLE_EQ(a.reactions[6 + 3], -2e5 * a.displacements[12 + 3]);
  // Overall balance: the reactions carry the load, in force.
  EXPECT_NEAR(a.reactions[0] + a.reactions[6], -8e3 * 0.3, 1e-6);
  EXPECT_NEAR(a.reactions[2] + a.reactions[8], 8e3, 1e-6);
}

TEST(ExtensionSupports, SecondOrderWithoutAxialForceIsFirstOrder) {
  // A beam along X on a spring at its far end, a point load and a settlement: no axial force.
  model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 5, 0, 0, 2))},
                        {fixed_support(1), support(2, "yX")}, {});
  model::Extensions x;
  model::SupportExtension sprung;
  sprung.displacement_springs.emplace().insert_or_assign("Z", 3e5);
  x.nodal_supports = {model::SupportExtension{}, sprung};
  model::LoadCaseExtension c;
  c.point_loads.emplace().push_back({1, 2.0, 5e3, {0, 0, -1}, std::nullopt});
  c.point_moments.emplace().push_back({1, 4.0, 2e3, {0, 1, 0}, std::nullopt});
  c.support_displacements.emplace().push_back(
      {1, std::vector<std::optional<double>>{std::nullopt, std::nullopt, -0.003}, std::nullopt});
  x.load_cases = {c};
  const auto first = analyse_with(m, x).load_cases[0];
  const auto second = analyse_with(m, x, true).load_cases[0];
  ASSERT_FALSE(second.error.has_value()) << *second.error;
  for (std::size_t i = 0; i < first.displacements.size(); ++i)
    EXPECT_NEAR(first.displacements[i], second.displacements[i], 1e-12) << i;
  for (std::size_t i = 0; i < first.internal_force_extremes.size(); ++i)
    EXPECT_NEAR(first.internal_force_extremes[i], second.internal_force_extremes[i], 1e-6) << i;
}

TEST(ExtensionChecks, NonFiniteValuesAndUncarriableLoadsAreNamed) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 5, 0, 0, 2))},
                              {fixed_support(1), support(2, "yz")}, {});
  const auto with_case = [](model::LoadCaseExtension c) {
    model::Extensions x;
    x.load_cases = {std::move(c)};
    return x;
  };
  model::LoadCaseExtension force;
  force.point_loads.emplace().push_back({1, nan, 1.0, {0, 0, 1}, std::nullopt});
  EXPECT_EQ(refusal(m, with_case(force)),
            "Load case 1 has a point load on member 1 with a non-finite value.");
  model::LoadCaseExtension moment;
  moment.nodal_moments.emplace().push_back({2, {0, nan, 0}});
  EXPECT_EQ(refusal(m, with_case(moment)),
            "Load case 1 has a nodal moment on node 2 with a non-finite value.");
  model::LoadCaseExtension weight;
  weight.self_weight = model::Vector3{0, 0, -std::numeric_limits<double>::infinity()};
  EXPECT_EQ(refusal(m, with_case(weight)),
            "Load case 1 has a self_weight with a non-finite value.");
  model::LoadCaseExtension settle;
  settle.support_displacements.emplace().push_back(
      {1, std::vector<std::optional<double>>{nan, std::nullopt, std::nullopt}, std::nullopt});
  EXPECT_EQ(refusal(m, with_case(settle)),
            "Load case 1 has a support displacement of node 1 with a non-finite value in UX.");
  settle.support_displacements->push_back(
      {1, std::vector<std::optional<double>>{std::nullopt, 0.1, std::nullopt}, std::nullopt});
  settle.support_displacements->front().displacement->front() = 0.1;
  settle.support_displacements->push_back(
      {1, std::vector<std::optional<double>>{std::nullopt, 0.2, std::nullopt}, std::nullopt});
  EXPECT_EQ(refusal(m, with_case(settle)),
            "Load case 1 imposes a displacement of node 1 in UY twice.");

  model::VELM rigid = m;
  rigid.member_sets[0].members[0].member_type = model::MemberType::Rigid;
  model::LoadCaseExtension across;
  across.point_loads.emplace().push_back({1, 1.0, 1.0, {0, 0, 1}, std::nullopt});
  EXPECT_EQ(refusal(rigid, with_case(across)),
            "Member 1 is a rigid member and cannot carry the point load of load case 1.");

  model::VELM heavy = m;
  heavy.materials[0].density = nan;
  weight.self_weight = model::Vector3{0, 0, -9.81};
  EXPECT_EQ(refusal(heavy, with_case(weight)),
            "Material 1 of member 1 has a non-finite density, so the self_weight of load case 1 "
            "cannot be formed.");
}

TEST(ExtensionReading, ReadsTheKeysTheListingSkipsAndPlacesAWrongValue) {
  const std::string text =
      "{\"load_cases\": [{\"id\": 1, \"point_loads\": [{\"member\": 4, \"position\": 1.5,\n"
      "  \"magnitude\": 2, \"direction\": [0, 0, -1], \"axes\": \"local\"}],\n"
      "  \"line_loads\": [{\"end_magnitude\": 3.5}, {}], \"self_weight\": [0, 0, -9.81]}],\n"
      " \"nodal_supports\": [{\"rotation_springs\": {\"Y\": 7.5}}], \"other\": 1}";
  base::Monitor quiet;
  const auto x = model::parse_extensions(text, quiet);
  ASSERT_TRUE(x.has_value()) << base::message(x.error());
  const model::LoadCaseExtension& c = x->load_cases->front();
  EXPECT_EQ(c.point_loads->front().member, 4u);
  EXPECT_EQ(c.point_loads->front().axes, "local");
  EXPECT_EQ(c.line_loads->size(), 2u);
  EXPECT_EQ(c.line_loads->front().end_magnitude, 3.5);
  EXPECT_FALSE((*c.line_loads)[1].end_magnitude.has_value());
  EXPECT_EQ((*c.self_weight)[2], -9.81);
  EXPECT_EQ(*x->nodal_supports->front().rotation_springs->find("Y"), 7.5);

  // A key spelt with an escape is the same key; a text without any key holds no extensions.
  const auto escaped =
      model::parse_extensions("{\"load_cases\": [{\"\\u0073elf_weight\": [1, 2, 3]}]}", quiet);
  ASSERT_TRUE(escaped.has_value());
  EXPECT_EQ((*escaped->load_cases->front().self_weight)[1], 2.0);
  const auto none =
      model::parse_extensions("{\"load_cases\": [{\"id\": 1}], \"x\": [\"axe\"]}", quiet);
  ASSERT_TRUE(none.has_value());
  EXPECT_FALSE(none->load_cases.has_value());

  const std::string wrong =
      "{\"load_cases\": [{\"id\": 1,\n  \"nodal_moments\": [{\"node\": "
      "\"two\", \"moment\": [0, 0, 1]}]}]}";
  const auto failed = model::parse_extensions(wrong, quiet);
  ASSERT_FALSE(failed.has_value());
  EXPECT_EQ(failed.error().code, base::ErrorCode::not_well_formed);
  // Stamped, as the document's own records are, after the value that has the wrong type.
  EXPECT_EQ(failed.error().detail.substr(0, 28), "invalid type: string \"two\", ");
  EXPECT_EQ(failed.error().detail.substr(failed.error().detail.rfind(" at ")),
            " at line 2 column 34");
}

TEST(ExtensionLoadSets, CombinationsFactorVaryingLoadsMomentsAndSettlements) {
  model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 5, 0, 0, 2))},
                        {fixed_support(1), support(2, "yz")}, {});
  model::LineLoad ramp;
  ramp.member = m.member_sets[0].members[0];
  ramp.load_case = 1;
  ramp.magnitude = 2.0;
  ramp.direction = {0, 0, -1};
  ramp.start_pos = 1.0;
  ramp.end_pos = 4.0;
  m.load_cases[0].line_loads.push_back(ramp);
  model::LoadCombination combination;
  combination.load_combination_id = 1;
  combination.load_cases_factors.insert_or_assign(1, 1.5);
  m.load_combinations.push_back(combination);
  model::Extensions x;
  model::LoadCaseExtension c;
  c.line_loads.emplace().push_back({6.0, std::nullopt});
  c.nodal_moments.emplace().push_back({2, {0, 0, 4}});
  c.support_displacements.emplace().push_back(
      {2, std::vector<std::optional<double>>{std::nullopt, -0.01, std::nullopt}, std::nullopt});
  x.load_cases = {c};
  base::Monitor quiet;
  const auto built = frame::build_structure(m, x, quiet);
  ASSERT_TRUE(built.has_value()) << base::message(built.error());
  const frame::LoadSet set = frame::combination_loads(*built, built->combinations[0]);
  ASSERT_EQ(set.line_loads.size(), 1u);
  // Member axes of a beam along X: local z is global Z.
  EXPECT_DOUBLE_EQ(set.line_loads[0].q.z(), -3.0);
  EXPECT_DOUBLE_EQ(set.line_loads[0].dq.z(), -6.0);  // 1.5 (6 - 2) downwards
  ASSERT_EQ(set.nodal.size(), 1u);
  EXPECT_DOUBLE_EQ(set.nodal[0].force(5), 6.0);
  ASSERT_EQ(set.imposed.size(), 12u);
  EXPECT_DOUBLE_EQ(set.imposed[6 + 1], -0.015);
}

}  // namespace
}  // namespace velm::testing
