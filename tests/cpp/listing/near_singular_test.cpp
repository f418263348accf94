// Frames at the edge of singularity: those whose stiffness is lost in rounding are refused on
// both storages, soft but stable ones are solved and agree with hand results.
#include <gtest/gtest.h>

#include <cmath>

#include "listing/solve.hpp"
#include "model_builder.hpp"

namespace velm::listing {
namespace {

using testing::fixed_support;
using testing::frame;
using testing::load;
using testing::member;
using testing::node;
using testing::SectionData;

constexpr const char* kSingular = "Global stiffness matrix is singular or near-singular.";

// A portal in the XY plane: columns 1-2 and 4-3 of height h, beam 2-3 of span w, fixed feet
// (when `supported`), a sway load P along +X at node 2.
model::VELM portal(const SectionData& section, bool supported, double h = 3.0, double w = 4.0,
                   double p = 10e3) {
  const std::optional<std::uint32_t> foot =
      supported ? std::optional<std::uint32_t>(1) : std::nullopt;
  return frame({member(1, node(1, 0, 0, 0, foot), node(2, 0, h, 0)),
                member(2, node(2, 0, h, 0), node(3, w, h, 0)),
                member(3, node(3, w, h, 0), node(4, w, 0, 0, foot))},
               {fixed_support(1)}, {load(1, 2, p, {1, 0, 0})}, section);
}

base::Expected<Solution> solve(const model::VELM& m, Storage storage) {
  Observer quiet;
  return solve_for_load_case(m, 1, quiet, storage);
}

class NearSingular : public ::testing::TestWithParam<Storage> {};

TEST_P(NearSingular, SectionsWithoutBendingOrTorsionStiffnessAreRefused) {
  // Axial stiffness alone cannot hold the portal against sway: the only stiffness left in that
  // direction is 1e-300 times the rest, far below rounding.
  SectionData hollow;
  hollow.i_y = hollow.i_z = hollow.j = 1e-300;
  const auto outcome = solve(portal(hollow, true), GetParam());
  ASSERT_FALSE(outcome.has_value());
  EXPECT_EQ(base::message(outcome.error()), kSingular);
}

TEST_P(NearSingular, AnUnsupportedFrameIsRefused) {
  // Members askew to every axis, so that rounding leaves the rigid-body pivots near zero
  // rather than exactly zero.
  const model::VELM m = frame({member(1, node(1, 0, 0, 0), node(2, 1.3, 2.7, 0.4)),
                               member(2, node(2, 1.3, 2.7, 0.4), node(3, 3.1, 2.2, 1.7)),
                               member(3, node(3, 3.1, 2.2, 1.7), node(4, 4.4, -0.3, 0.9))},
                              {}, {load(1, 2, 10e3, {1, 0, 0})});
  const auto outcome = solve(m, GetParam());
  ASSERT_FALSE(outcome.has_value());
  EXPECT_EQ(base::message(outcome.error()), kSingular);
}

TEST_P(NearSingular, ASlenderStableFrameIsSolvedInEquilibrium) {
  // Long members and a torsion constant a hundred-millionth of the bending inertias: the
  // softest pivots are some 1e-7 of their columns, far from rounding.
  SectionData slender;
  slender.i_y = slender.i_z = 6e-9;
  slender.j = 6e-14;
  const double h = 40.0, w = 60.0, p = 10e3;
  const model::VELM m = portal(slender, true, h, w, p);
  const auto outcome = solve(m, GetParam());
  ASSERT_TRUE(outcome.has_value()) << base::message(outcome.error());
  // The two feet carry the sway load and the overturning couple between them.
  double fx = 0.0, fy = 0.0, mz = 0.0;
  for (const std::uint32_t foot : {1u, 4u}) {
    const Eigen::Index base = 6 * (foot - 1);
    fx += outcome->reactions(base + 0);
    fy += outcome->reactions(base + 1);
    mz += outcome->reactions(base + 5) + (foot == 4 ? w * outcome->reactions(base + 1) : 0.0);
  }
  EXPECT_NEAR(fx, -p, 1e-6 * p);
  EXPECT_NEAR(fy, 0.0, 1e-6 * p);
  EXPECT_NEAR(mz, p * h, 1e-6 * p * h);
  // Stiffer than the feet pinned and softer than a rigid beam: between the sway of two
  // cantilevers (P h^3 / 6EI) and of two fixed-guided columns (P h^3 / 24EI).
  const double ei = slender.e * slender.i_y;
  const double sway = outcome->displacements(6 * 1 + 0);
  EXPECT_GT(sway, p * h * h * h / (24 * ei));
  EXPECT_LT(sway, p * h * h * h / (6 * ei));
}

INSTANTIATE_TEST_SUITE_P(Storages, NearSingular, ::testing::Values(Storage::dense, Storage::band),
                         [](const auto& storage) {
                           return storage.param == Storage::dense ? "Dense" : "Band";
                         });

TEST(NearSingular, ALongCantileverChainIsSolved) {
  // 1,000 unit members in a line along X, fixed at node 1: the tip is about 1e-10 as stiff as
  // one member, and the tip load still gives P L^3 / 3EI.
  constexpr std::uint32_t kMembers = 1000;
  SectionData section;
  section.i_y = section.i_z = 2e-5;
  std::vector<model::Member> members;
  for (std::uint32_t i = 1; i <= kMembers; ++i)
    members.push_back(
        member(i, node(i, i - 1.0, 0, 0, i == 1 ? std::optional<std::uint32_t>(1) : std::nullopt),
               node(i + 1, i, 0, 0)));
  const double p = 1.0, l = kMembers;
  const model::VELM m = frame(std::move(members), {fixed_support(1)},
                              {load(1, kMembers + 1, p, {0, -1, 0})}, section);
  const auto outcome = solve(m, Storage::band);
  ASSERT_TRUE(outcome.has_value()) << base::message(outcome.error());
  const double expected = p * l * l * l / (3 * section.e * section.i_z);
  // The system's condition (~1e10) costs about six of the sixteen digits.
  EXPECT_NEAR(outcome->displacements(6 * kMembers + 1), -expected, 1e-4 * expected);
}

}  // namespace
}  // namespace velm::listing
