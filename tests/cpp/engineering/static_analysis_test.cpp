// The engineering analysis against closed forms, statics and its own strictness.
#include "engineering/static_analysis.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "model_builder.hpp"
#include "engineering/static_harness.hpp"

namespace velm::testing {
namespace {

using ::testing::MatchesRegex;

double at(const std::vector<double>& v, std::size_t row, std::size_t col, std::size_t width) {
  return v[row * width + col];
}

constexpr double kP = 12e3;
constexpr double kL = 3.0;

// A cantilever along X, fixed at node 1, with a tip load on node 2.
model::VELM cantilever(model::Vector3 direction) {
  return frame({member(1, node(1, 0, 0, 0, 1), node(2, kL, 0, 0))}, {fixed_support(1)},
               {load(1, 2, kP, direction)});
}

TEST(StaticAnalysis, CantileverBendsInBothPlanesAsTheBeamFormulasSay) {
  const SectionData s;
  {
    const auto a = analyse(cantilever({0, -1, 0}));
    const auto& set = a.load_cases[0];
    EXPECT_NEAR(at(set.displacements, 1, 1, 6), -kP * kL * kL * kL / (3 * s.e * s.i_z), 1e-12);
    EXPECT_NEAR(at(set.displacements, 1, 5, 6), -kP * kL * kL / (2 * s.e * s.i_z), 1e-12);
    // Reactions: the force and the moment P L that hold the load.
    EXPECT_NEAR(at(set.reactions, 0, 1, 6), kP, 1e-6);
    EXPECT_NEAR(at(set.reactions, 0, 5, 6), kP * kL, 1e-6);
    // The support's dofs are eliminated, not penalised: exactly zero.
    for (int k = 0; k < 6; ++k) EXPECT_EQ(at(set.displacements, 0, k, 6), 0.0);
    // End forces in local axes, and the moment line from -P L at the root to 0 at the tip.
    EXPECT_NEAR(at(set.end_forces, 0, 1, 12), kP, 1e-6);
    EXPECT_NEAR(at(set.end_forces, 0, 5, 12), kP * kL, 1e-6);
    EXPECT_NEAR(at(set.end_forces, 0, 7, 12), -kP, 1e-6);
    for (int j = 0; j < 11; ++j) {
      const double x = j * kL / 10;
      EXPECT_NEAR(set.internal_forces[6 * j + 1], -kP, 1e-6);
      EXPECT_NEAR(set.internal_forces[6 * j + 5], -kP * (kL - x), 1e-6);
    }
  }
  {
    const auto a = analyse(cantilever({0, 0, -1}));
    const auto& set = a.load_cases[0];
    EXPECT_NEAR(at(set.displacements, 1, 2, 6), -kP * kL * kL * kL / (3 * s.e * s.i_y), 1e-12);
    EXPECT_NEAR(at(set.displacements, 1, 4, 6), kP * kL * kL / (2 * s.e * s.i_y), 1e-12);
    EXPECT_NEAR(at(set.reactions, 0, 4, 6), -kP * kL, 1e-6);
    for (int j = 0; j < 11; ++j)
      EXPECT_NEAR(set.internal_forces[6 * j + 4], kP * (kL - j * kL / 10), 1e-6);
  }
  {
    const auto a = analyse(cantilever({1, 0, 0}));
    EXPECT_NEAR(at(a.load_cases[0].displacements, 1, 0, 6), kP * kL / (s.e * s.area), 1e-15);
    EXPECT_NEAR(a.load_cases[0].internal_forces[0], kP, 1e-6);  // tension
  }
}

// A fixed-base portal frame: 4 m columns, a 6 m beam, a horizontal load at the top.
TEST(StaticAnalysis, PortalFrameSwaysAsTheSlopeDeflectionSolutionSays) {
  const SectionData s;
  const double h = 4.0, b = 6.0, p = 10e3;
  const model::VELM m =
      frame({member(1, node(1, 0, 0, 0, 1), node(2, 0, 0, h)),
             member(2, node(2, 0, 0, h), node(3, b, 0, h)),
             member(3, node(4, b, 0, 0, 1), node(3, b, 0, h))},
            {fixed_support(1)}, {load(1, 2, p, {1, 0, 0})}, {s.e, s.g, 1e3, s.i_y, s.i_y, s.j});
  // Members nearly rigid axially, columns and beam with the same I: slope deflection gives the
  // sway of a fixed portal as P h^3 (3k + 2) / (12 E I (6k + 1)), k = (I_b / b) / (I_c / h).
  const double k = (1.0 / b) / (1.0 / h);
  const double sway = p * h * h * h / (12 * s.e * s.i_y) * (3 * k + 2) / (6 * k + 1);
  const auto a = analyse(m);
  const auto& u = a.load_cases[0].displacements;
  EXPECT_NEAR(at(u, 1, 0, 6) / sway, 1.0, 1e-5);
  EXPECT_NEAR(at(u, 2, 0, 6) / sway, 1.0, 1e-5);
}

// A two-storey, two-by-one bay frame with a support record per base node and three load cases.
model::VELM small_building() {
  std::vector<model::Member> members;
  std::vector<model::NodalSupport> supports;
  std::uint32_t next = 1;
  const auto id = [](int i, int j, int k) {
    return static_cast<std::uint32_t>(k * 6 + j * 3 + i + 1);
  };
  const auto at_node = [&](int i, int j, int k) {
    return node(id(i, j, k), 5.0 * i, 4.0 * j, 3.0 * k,
                k == 0 ? std::optional<std::uint32_t>(id(i, j, k)) : std::nullopt);
  };
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 3; ++i) supports.push_back(support(id(i, j, 0), i == 1 ? "xyz" : "xyzXYZ"));
  for (int k = 0; k < 2; ++k)
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 3; ++i) {
        members.push_back(member(next++, at_node(i, j, k), at_node(i, j, k + 1)));
        if (i < 2)
          members.push_back(member(next++, at_node(i, j, k + 1), at_node(i + 1, j, k + 1)));
        if (j < 1)
          members.push_back(member(next++, at_node(i, j, k + 1), at_node(i, j + 1, k + 1)));
      }
  model::VELM m = frame(std::move(members), std::move(supports),
                        {load(1, 8, 5e3, {1, 0, 0}), load(2, 12, 7e3, {0, 0.5, -1})});
  model::LoadCase second;
  second.id = 7;
  second.name = "Wind";
  second.nodal_loads = {load(1, 17, 3e3, {0, 1, 0}), load(2, 18, 2e3, {1, 1, 1})};
  m.load_cases.push_back(second);
  model::LoadCase third;
  third.id = 9;
  third.name = "Support load";
  third.nodal_loads = {load(1, 1, 4e3, {0, 0, -1}), load(2, 10, 1e3, {0, 1, 0})};
  m.load_cases.push_back(third);
  model::LoadCombination combination;
  combination.load_combination_id = 3;
  combination.name = "ULS";
  combination.load_cases_factors.insert_or_assign(1, 1.35);
  combination.load_cases_factors.insert_or_assign(7, 1.5);
  combination.load_cases_factors.insert_or_assign(9, -0.5);
  m.load_combinations.push_back(combination);
  return m;
}

TEST(StaticAnalysis, EveryResultSetIsInEquilibriumWithItsReactions) {
  const model::VELM m = small_building();
  const auto a = analyse(m);
  ASSERT_EQ(a.load_cases.size(), 3u);
  ASSERT_EQ(a.combinations.size(), 1u);
  const auto balance = [&](const engineering::ResultSet& set, const std::vector<model::NodalLoad>& loads,
                           double factor) {
    // Sum of the applied forces, and their moments about the origin, plus the reactions.
    double total[6] = {};
    const auto add = [&](std::uint32_t node_id, const double* f) {
      const double* r = &a.coordinates[3 * (node_id - 1)];
      for (int k = 0; k < 3; ++k) total[k] += f[k];
      total[3] += r[1] * f[2] - r[2] * f[1] + f[3];
      total[4] += r[2] * f[0] - r[0] * f[2] + f[4];
      total[5] += r[0] * f[1] - r[1] * f[0] + f[5];
    };
    for (const model::NodalLoad& l : loads) {
      const double f[6] = {factor * l.magnitude * l.direction[0],
                           factor * l.magnitude * l.direction[1],
                           factor * l.magnitude * l.direction[2],
                           0,
                           0,
                           0};
      add(l.node, f);
    }
    for (std::size_t s = 0; s < a.support_ids.size(); ++s)
      add(a.support_ids[s], &set.reactions[6 * s]);
    for (double t : total) EXPECT_NEAR(t, 0.0, 1e-6);
  };
  for (std::size_t c = 0; c < 3; ++c) balance(a.load_cases[c], m.load_cases[c].nodal_loads, 1.0);
  std::vector<model::NodalLoad> combined;
  const double factors[3] = {1.35, 1.5, -0.5};
  for (std::size_t c = 0; c < 3; ++c)
    for (model::NodalLoad l : m.load_cases[c].nodal_loads) {
      l.magnitude *= factors[c];
      combined.push_back(l);
    }
  balance(a.combinations[0], combined, 1.0);

  // The combination is the factored sum of its cases, array by array.
  const auto check = [&](auto member) {
    const auto& combo = a.combinations[0].*member;
    for (std::size_t i = 0; i < combo.size(); ++i) {
      const double expected = 1.35 * (a.load_cases[0].*member)[i] +
                              1.5 * (a.load_cases[1].*member)[i] -
                              0.5 * (a.load_cases[2].*member)[i];
      EXPECT_NEAR(combo[i], expected, 1e-9 * (1 + std::abs(expected)));
    }
  };
  check(&engineering::ResultSet::displacements);
  check(&engineering::ResultSet::reactions);
  check(&engineering::ResultSet::end_forces);
  check(&engineering::ResultSet::internal_forces);
  EXPECT_EQ(a.combinations[0].id, 3u);
  EXPECT_EQ(a.combinations[0].name, "ULS");
}

TEST(StaticAnalysis, InternalForcesAtTheEndsAreTheEndForcesAndStationsAreEquallySpaced) {
  const auto a = analyse(small_building(), 4);
  for (const auto& set : a.load_cases) {
    for (std::size_t m = 0; m < a.member_ids.size(); ++m) {
      const double* f = &set.end_forces[12 * m];
      const double* g = &set.internal_forces[24 * m];
      for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(g[k], -f[k]);
        EXPECT_EQ(g[18 + k], f[6 + k]);
      }
      // Member free of load: shear constant, moment linear in x.
      const double length = a.member_lengths[m];
      EXPECT_NEAR(g[6 + 5], -f[5] + length / 3 * f[1], 1e-6);
      EXPECT_NEAR(g[12 + 4], -f[4] - 2 * length / 3 * f[2], 1e-6);
    }
  }
}

TEST(StaticAnalysis, AModelWithEveryDofFixedAnalysesToZeroDisplacements) {
  const model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 2, 0, 0, 1))},
                              {fixed_support(1)}, {load(1, 2, 5.0, {1, 2, 3})});
  const auto a = analyse(m);
  for (double u : a.load_cases[0].displacements) EXPECT_EQ(u, 0.0);
  EXPECT_EQ(a.load_cases[0].reactions, (std::vector<double>{-5, -10, -15, 0, 0, 0}));
}

TEST(StaticAnalysis, MechanismsAreNamedByANodeAndADofThatCanMove) {
  // No support at all.
  EXPECT_THAT(
      error_of(frame({member(1, node(1, 0, 0, 0), node(2, 2, 0, 0))}, {}, {})),
      MatchesRegex("The structure is unstable: node [12] is free to move in (U|R)[XYZ]\\."));
  // Translations held at one end only: the member spins about its own axis.
  EXPECT_THAT(error_of(frame({member(1, node(1, 0, 0, 0, 1), node(2, 2, 0, 0)),
                              member(2, node(2, 2, 0, 0), node(3, 4, 0, 0))},
                             {support(1, "xyzYZ")}, {})),
              MatchesRegex("The structure is unstable: node [123] is free to move in RX\\."));
  // A portal whose sections can barely bend: a sway mechanism, not a wrong result.
  SectionData weak;
  weak.i_y = weak.i_z = weak.j = 1e-300;
  EXPECT_THAT(
      error_of(frame({member(1, node(1, 0, 0, 0, 1), node(2, 0, 0, 4)),
                      member(2, node(2, 0, 0, 4), node(3, 6, 0, 4)),
                      member(3, node(4, 6, 0, 0, 1), node(3, 6, 0, 4))},
                     {support(1, "xyz")}, {load(1, 2, 1e4, {1, 0, 0})}, weak)),
      MatchesRegex("The structure is unstable: node [0-9] is free to move in [UR][XYZ]\\."));
}

TEST(StaticAnalysis, SlenderButStableFramesAreSolved) {
  // Torsion constant ten million times below the bending stiffness, 40 m members.
  SectionData slender;
  slender.j = slender.i_z * 1e-7;
  const model::VELM frame_model = frame({member(1, node(1, 0, 0, 0, 1), node(2, 0, 0, 40)),
                                         member(2, node(2, 0, 0, 40), node(3, 40, 0, 40)),
                                         member(3, node(3, 40, 0, 40), node(4, 40, 40, 40)),
                                         member(4, node(5, 40, 40, 0, 1), node(4, 40, 40, 40))},
                                        {fixed_support(1)}, {load(1, 3, 1e3, {0, 1, -1})}, slender);
  EXPECT_EQ(error_of(frame_model), "<success>");
  // A chain of 1000 cantilever members: its tip is about 1e-10 as stiff as one member.
  std::vector<model::Member> chain;
  for (std::uint32_t i = 1; i <= 1000; ++i)
    chain.push_back(
        member(i, node(i, i - 1.0, 0, 0, i == 1 ? std::optional<std::uint32_t>(1) : std::nullopt),
               node(i + 1, i, 0, 0)));
  const auto a =
      analyse(frame(std::move(chain), {fixed_support(1)}, {load(1, 1001, 1.0, {0, -1, 0})}));
  const SectionData s;
  const double l = 1000.0;
  // Exact elements, so only rounding separates it from P L^3 / (3 E I); the system's condition
  // number is near 1e12.
  EXPECT_NEAR(a.load_cases[0].displacements[6 * 1000 + 1] / (-l * l * l / (3 * s.e * s.i_z)), 1.0,
              1e-4);
}

TEST(StaticAnalysis, ModelsThatAreNotWhatTheirAuthorMeantAreRefusedNamingTheRecord) {
  const auto base = [] {
    return frame({member(1, node(1, 0, 0, 0, 1), node(2, 3, 0, 0)),
                  member(2, node(2, 3, 0, 0), node(3, 3, 4, 0))},
                 {fixed_support(1)}, {load(1, 3, 1.0, {0, 0, -1})});
  };
  model::VELM m = base();
  m.member_sets[0].members[1].section = 5;
  EXPECT_EQ(error_of(m), "Member 2 names section 5, which is not in the model's sections.");
  m = base();
  m.sections[0].material = 4;
  EXPECT_EQ(error_of(m),
            "Section 1 of member 1 names material 4, which is not in the model's materials.");
  m = base();
  m.sections[0].i_y = 0.0;
  EXPECT_EQ(error_of(m),
            "Section 1 of member 1 has i_y = 0, which must be a positive finite number.");
  m = base();
  m.materials[0].g_mod = std::nan("");
  EXPECT_EQ(error_of(m),
            "Material 1 of member 1 has g_mod = nan, which must be a positive finite number.");
  m = base();
  m.member_sets[0].members[1].start_node.X = 3.001;
  EXPECT_EQ(error_of(m),
            "Node 2 is given different coordinates by member 1 (3, 0, 0) and member 2 (3.001, 0, "
            "0).");
  m = base();
  m.member_sets[0].members[1].start_node.X = 3.0 + 1e-12;  // within 1e-9 of the extent
  EXPECT_EQ(error_of(m), "<success>");
  m = base();
  m.member_sets[0].members[1].end_node = node(3, 3, 0, 0);
  EXPECT_EQ(error_of(m),
            "Member 2 has coincident ends (nodes 2 and 3): its start and end nodes are the same "
            "or too close to define a direction.");
  m = base();
  m.load_cases.push_back(m.load_cases[0]);
  EXPECT_EQ(error_of(m), "Two load cases have the id 1.");
  m = base();
  m.member_sets[0].members[1].id = 1;
  EXPECT_EQ(error_of(m), "Two members have the id 1.");
  m = base();
  m.nodal_supports.push_back(fixed_support(1));
  EXPECT_EQ(error_of(m), "Two nodal supports have the id 1.");
  m = base();
  m.load_combinations.resize(2);
  EXPECT_EQ(error_of(m), "Two load combinations have the id 0.");
  m = base();
  m.member_sets[0].members[1].end_node.nodal_support = 8;
  EXPECT_EQ(error_of(m), "Node 3 (in member 2) names support 8, which is not in nodal_supports.");
  m = base();
  m.load_combinations.resize(1);
  m.load_combinations[0].load_combination_id = 4;
  m.load_combinations[0].load_cases_factors.insert_or_assign(2, 1.0);
  EXPECT_EQ(error_of(m), "Load combination 4 names load case 2, which does not exist.");
  m = base();
  m.load_cases[0].nodal_loads.push_back(load(6, 4, 1.0, {0, 0, 0}));
  EXPECT_EQ(error_of(m),
            "Nodal load 6 of load case 1 acts on node 4, which is not a node of the model (nodes "
            "1 to 3).");
  m = base();
  m.member_sets[0].members[1].end_node.id = 4;
  EXPECT_EQ(error_of(m), "Node ID 3 is missing. Node IDs must be consecutive starting from 1.");
  m = base();
  m.member_sets[0].members[0].start_node.id = 0;
  EXPECT_EQ(error_of(m), "Member 1 has node ID 0 at its start; node IDs must start from 1.");
}

TEST(StaticAnalysis, NodeNumberingDoesNotChangeTheResults) {
  const model::VELM m = small_building();
  // The same frame with its node ids reversed.
  model::VELM reversed = m;
  const std::uint32_t n = 18;
  for (auto& member : reversed.member_sets[0].members) {
    member.start_node.id = n + 1 - member.start_node.id;
    member.end_node.id = n + 1 - member.end_node.id;
  }
  for (auto& load_case : reversed.load_cases)
    for (auto& l : load_case.nodal_loads) l.node = n + 1 - l.node;
  const auto a = analyse(m), b = analyse(reversed);
  for (std::size_t c = 0; c < a.load_cases.size(); ++c)
    for (std::uint32_t node_id = 1; node_id <= n; ++node_id)
      for (int k = 0; k < 6; ++k) {
        const double x = at(a.load_cases[c].displacements, node_id - 1, k, 6);
        const double y = at(b.load_cases[c].displacements, n - node_id, k, 6);
        EXPECT_NEAR(x, y, 1e-12 + 1e-9 * std::abs(x));
      }
}

}  // namespace
}  // namespace velm::testing
