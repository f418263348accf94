// The solver against closed-form results of determinate structures.
#include <gtest/gtest.h>

#include <cmath>

#include "model_builder.hpp"
#include "listing/solve_harness.hpp"

namespace velm::listing {
namespace {

using testing::dof;
using testing::fixed_support;
using testing::frame;
using testing::load;
using testing::member;
using testing::node;
using testing::SectionData;
using testing::SolveRun;

constexpr double kTol = 1e-9;
const SectionData kSection{};  // I_y = 2e-5, I_z = 8e-6: a swapped bending plane shows

struct CantileverCase {
  int member_axis;  // global axis of the member
  int load_axis;    // global axis of the tip load
  double inertia;   // the I that resists this bending
};

// "AlongXLoadY" and the like, for test listings.
std::string case_name(const ::testing::TestParamInfo<CantileverCase>& info) {
  constexpr const char* kAxes[3] = {"X", "Y", "Z"};
  return std::string("Along") + kAxes[info.param.member_axis] + "Load" +
         kAxes[info.param.load_axis];
}

void PrintTo(const CantileverCase& c, std::ostream* out) {
  constexpr const char* kAxes[3] = {"X", "Y", "Z"};
  *out << "member along " << kAxes[c.member_axis] << ", load along " << kAxes[c.load_axis]
       << ", I = " << c.inertia;
}

// Member along each global axis, tip load along both transverse global axes. Local y is +Y
// for members along X and Z, +Z for a member along Y.
class Cantilever : public ::testing::TestWithParam<CantileverCase> {};

TEST_P(Cantilever, TipDeflectionIsPL3Over3EI) {
  const auto [member_axis, load_axis, inertia] = GetParam();
  const double l = 3.0, p = 1500.0;
  model::Vector3 tip{}, direction{};
  tip[static_cast<std::size_t>(member_axis)] = l;
  direction[static_cast<std::size_t>(load_axis)] = -1.0;
  model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, tip[0], tip[1], tip[2]))},
                        {fixed_support(1)}, {load(1, 2, p, direction)}, kSection);
  SolveRun run;
  const Solution& s = run.solve(m);
  const double expected = p * l * l * l / (3 * kSection.e * inertia);
  EXPECT_NEAR(dof(s.displacements, 2, load_axis), -expected, kTol * expected);
  // The tip rotates by PL^2/2EI about the third axis, nothing moves along the member.
  const int other = 3 - member_axis - load_axis;
  const double rotation = p * l * l / (2 * kSection.e * inertia);
  EXPECT_NEAR(std::abs(dof(s.displacements, 2, 3 + other)), rotation, kTol * rotation);
  EXPECT_NEAR(dof(s.displacements, 2, member_axis), 0.0, 1e-15);
}

INSTANTIATE_TEST_SUITE_P(
    AllAxes, Cantilever,
    ::testing::Values(CantileverCase{0, 1, kSection.i_z}, CantileverCase{0, 2, kSection.i_y},
                      CantileverCase{1, 0, kSection.i_y}, CantileverCase{1, 2, kSection.i_z},
                      CantileverCase{2, 0, kSection.i_y}, CantileverCase{2, 1, kSection.i_z}),
    case_name);

TEST(ClosedForm, AxialBarExtendsByPLOverEA) {
  const double l = 4.0, p = 2e5;
  model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 0, 0, l))}, {fixed_support(1)},
                        {load(1, 2, p, {0, 0, 1})}, kSection);
  SolveRun run;
  const double expected = p * l / (kSection.e * kSection.area);
  EXPECT_NEAR(dof(run.solve(m).displacements, 2, 2), expected, kTol * expected);
}

TEST(ClosedForm, TorsionBarTwistsByTLOverGJ) {
  // Nodal loads are forces only: the torque comes from a force P on a lever arm a. The
  // structure is determinate, so the bar carries exactly T = P a.
  const double l = 2.5, a = 0.8, p = 1000.0;
  model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, l, 0, 0)),
                         member(2, node(2, l, 0, 0), node(3, l, a, 0))},
                        {fixed_support(1)}, {load(1, 3, p, {0, 0, 1})}, kSection);
  SolveRun run;
  const double expected = p * a * l / (kSection.g * kSection.j);
  EXPECT_NEAR(std::abs(dof(run.solve(m).displacements, 2, 3)), expected, kTol * expected);
}

TEST(ClosedForm, PortalFrameSwaysBetweenItsBounds) {
  const double h = 3.0, span = 5.0, p = 10000.0;
  model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 0, h, 0)),
                         member(2, node(2, 0, h, 0), node(3, span, h, 0)),
                         member(3, node(4, span, 0, 0, 1), node(3, span, h, 0))},
                        {fixed_support(1)}, {load(1, 2, p, {1, 0, 0})}, kSection);
  SolveRun run;
  const Solution& s = run.solve(m);
  // The columns run along Y, so the sway bends them in their local x-z plane (I_y). A rigid
  // beam gives PH^3/24EI, a beam without bending stiffness two cantilevers sharing P: PH^3/6EI.
  const double ei = kSection.e * kSection.i_y;
  const double sway = dof(s.displacements, 2, 0);
  EXPECT_GT(sway, p * h * h * h / (24 * ei));
  EXPECT_LT(sway, p * h * h * h / (6 * ei));
  // The beam pushes about half the load across: it shortens by about (P/2) L / EA.
  const double shortening = sway - dof(s.displacements, 3, 0);
  EXPECT_NEAR(shortening, p / 2 * span / (kSection.e * kSection.area), 0.05 * shortening);
  EXPECT_NEAR(run.results().reaction_forces[0].fx, -p, 1e-6 * p);
}

TEST(ClosedForm, CantileverEndForcesMatchStatics) {
  const double l = 2.0, p = 500.0;
  model::VELM m = frame({member(7, node(1, 0, 0, 0, 1), node(2, l, 0, 0))}, {fixed_support(1)},
                        {load(1, 2, p, {0, -1, 0}), load(2, 2, 2 * p, {0, 0, -1})}, kSection);
  SolveRun run;
  run.solve(m);
  ASSERT_EQ(run.results().member_forces.size(), 1u);
  const model::MemberForce& f = run.results().member_forces[0];
  EXPECT_EQ(f.member_id, 7u);
  // Forces the nodes exert on the member, local axes (= global here).
  EXPECT_NEAR(f.end_node_forces.fy, -p, 1e-6);
  EXPECT_NEAR(f.end_node_forces.fz, -2 * p, 1e-6);
  EXPECT_NEAR(f.end_node_forces.mz, 0.0, 1e-6);
  EXPECT_NEAR(f.end_node_forces.my, 0.0, 1e-6);
  EXPECT_NEAR(f.start_node_forces.fy, p, 1e-6);
  EXPECT_NEAR(f.start_node_forces.fz, 2 * p, 1e-6);
  EXPECT_NEAR(f.start_node_forces.mz, p * l, 1e-6);
  EXPECT_NEAR(f.start_node_forces.my, -2 * p * l, 1e-6);
  EXPECT_NEAR(f.start_node_forces.fx, 0.0, 1e-6);
  // The support holds the same forces.
  const model::ReactionForce& r = run.results().reaction_forces[0];
  EXPECT_NEAR(r.fy, p, 1e-6);
  EXPECT_NEAR(r.fz, 2 * p, 1e-6);
  EXPECT_NEAR(r.mz, p * l, 1e-6);
  EXPECT_NEAR(r.my, -2 * p * l, 1e-6);
}

TEST(ClosedForm, EndForcesAreInLocalAxesOfRotatedMembers) {
  const double l = 2.0, p = 300.0;
  // Along +Y the local axes are x = +Y, y = +Z, z = +X: a tip load along -X is a local -z shear.
  model::VELM column = frame({member(1, node(1, 0, 0, 0, 1), node(2, 0, l, 0))}, {fixed_support(1)},
                             {load(1, 2, p, {-1, 0, 0})}, kSection);
  SolveRun run;
  run.solve(column);
  const model::MemberForce& f = run.results().member_forces[0];
  EXPECT_NEAR(f.end_node_forces.fz, -p, 1e-6);
  EXPECT_NEAR(f.start_node_forces.fz, p, 1e-6);
  EXPECT_NEAR(f.start_node_forces.my, -p * l, 1e-6);
  EXPECT_NEAR(f.start_node_forces.fy, 0.0, 1e-6);
  EXPECT_NEAR(f.start_node_forces.fx, 0.0, 1e-6);

  // A skew bar pulled along its axis carries pure tension.
  model::VELM bar = frame({member(1, node(1, 0, 0, 0, 1), node(2, 3, 4, 0))}, {fixed_support(1)},
                          {load(1, 2, p, {0.6, 0.8, 0})}, kSection);
  SolveRun run_bar;
  run_bar.solve(bar);
  const model::MemberForce& t = run_bar.results().member_forces[0];
  EXPECT_NEAR(t.end_node_forces.fx, p, 1e-6);
  EXPECT_NEAR(t.start_node_forces.fx, -p, 1e-6);
  EXPECT_NEAR(t.end_node_forces.fy, 0.0, 1e-6);
  EXPECT_NEAR(t.start_node_forces.mz, 0.0, 1e-6);
}

TEST(ClosedForm, TranslatedModelGivesTheSameDisplacements) {
  const auto build = [](double dx, double dy, double dz) {
    return frame({member(1, node(1, dx, dy, dz, 1), node(2, dx + 2, dy + 3, dz + 1)),
                  member(2, node(2, dx + 2, dy + 3, dz + 1), node(3, dx + 5, dy + 3, dz - 1))},
                 {fixed_support(1)}, {load(1, 3, 800.0, {0.3, -1, 0.5})}, kSection);
  };
  model::VELM a = build(0, 0, 0), b = build(100, -50, 20);
  SolveRun run_a, run_b;
  const linalg::Vector ua = run_a.solve(a).displacements;
  const linalg::Vector ub = run_b.solve(b).displacements;
  EXPECT_TRUE(ua.isApprox(ub, 1e-8)) << ua.transpose() << "\n" << ub.transpose();
}

}  // namespace
}  // namespace velm::listing
