// Line loads, hinges, member types and section orientation in the engineering analysis,
// against closed forms of beam and truss theory.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "model_builder.hpp"
#include "engineering/static_analysis.hpp"
#include "linalg/types.hpp"
#include "engineering/static_harness.hpp"

namespace velm::testing {
namespace {

// Five stations: the ends, the quarter points and midspan.
engineering::StaticAnalysis analyse5(const model::VELM& model) {
  return analyse(model, 5);
}

using ::testing::HasSubstr;

const SectionData kSection;  // E = 210e9, I_y = 2e-5, I_z = 8e-6, A = 0.01

model::LineLoad line_load(const model::Member& member, double w, model::Vector3 direction,
                          double start, double end) {
  model::LineLoad l;
  l.member = member;
  l.load_case = 1;
  l.magnitude = w;
  l.direction = direction;
  l.start_pos = start;
  l.end_pos = end;
  return l;
}

model::MemberHinge hinge(std::uint32_t id) {
  model::MemberHinge h;
  h.id = id;
  h.hinge_type = "Test";
  return h;
}

// Member forces: end force k (0..11) of member m, internal force k (0..5) at station j.
double end_force(const engineering::ResultSet& set, std::size_t m, int k) {
  return set.end_forces[12 * m + static_cast<std::size_t>(k)];
}
double internal(const engineering::ResultSet& set, std::size_t m, int stations, int j, int k) {
  return set
      .internal_forces[(m * static_cast<std::size_t>(stations) + static_cast<std::size_t>(j)) * 6 +
                       static_cast<std::size_t>(k)];
}
double extreme(const engineering::ResultSet& set, std::size_t m, bool maximum, int k) {
  return set.internal_force_extremes[12 * m + (maximum ? 6u : 0u) + static_cast<std::size_t>(k)];
}

constexpr double kL = 6.0, kW = 10e3;

// A beam along X from node 1 to node 2: supports 1 and 2 as given, a downward load w from a to b.
model::VELM beam(model::NodalSupport start, model::NodalSupport end, double a, double b) {
  start.id = 1;
  end.id = 2;
  const model::Member m = member(1, node(1, 0, 0, 0, 1), node(2, kL, 0, 0, 2));
  model::VELM model = frame({m}, {start, end}, {});
  model.load_cases[0].line_loads.push_back(line_load(m, kW, {0, 0, -1}, a, b));
  return model;
}

TEST(MemberMechanics, SimplySupportedBeamUnderFullAndPartialUniformLoad) {
  {
    const auto a = analyse5(beam(support(1, "xyzX"), support(2, "yz"), 0, kL));
    const auto& set = a.load_cases[0];
    EXPECT_NEAR(set.reactions[2], kW * kL / 2, 1e-6);
    EXPECT_NEAR(set.reactions[6 + 2], kW * kL / 2, 1e-6);
    // Midspan (station 2 of 5) and the exact extreme: w L^2 / 8, sagging (negative My here).
    EXPECT_NEAR(internal(set, 0, 5, 2, 4), -kW * kL * kL / 8, 1e-6);
    EXPECT_NEAR(extreme(set, 0, false, 4), -kW * kL * kL / 8, 1e-6);
    EXPECT_NEAR(extreme(set, 0, true, 4), 0.0, 1e-6);
  }
  {
    // Load from 1 m to 4 m: R1 = w c (L - centroid) / L, the maximum moment where the shear
    // vanishes, x* = a + R1 / w.
    const double from = 1.0, to = 4.0, c = to - from, centroid = (from + to) / 2;
    const auto a = analyse5(beam(support(1, "xyzX"), support(2, "yz"), from, to));
    const auto& set = a.load_cases[0];
    const double r1 = kW * c * (kL - centroid) / kL;
    EXPECT_NEAR(set.reactions[2], r1, 1e-6);
    EXPECT_NEAR(set.reactions[6 + 2], kW * c - r1, 1e-6);
    const double x = from + r1 / kW;
    const double peak = r1 * x - kW * (x - from) * (x - from) / 2;
    EXPECT_NEAR(extreme(set, 0, false, 4), -peak, 1e-6);
    // Vz = -fz1 - qz l: from minus the first reaction up to the second one.
    EXPECT_NEAR(extreme(set, 0, false, 2), -r1, 1e-6);
    EXPECT_NEAR(extreme(set, 0, true, 2), kW * c - r1, 1e-6);
  }
}

TEST(MemberMechanics, FixedEndMomentsAndAProppedCantileverMadeByARelease) {
  {
    const auto a = analyse5(beam(fixed_support(1), fixed_support(2), 0, kL));
    const auto& set = a.load_cases[0];
    EXPECT_NEAR(end_force(set, 0, 4), -kW * kL * kL / 12, 1e-6);  // my at the start
    EXPECT_NEAR(end_force(set, 0, 10), kW * kL * kL / 12, 1e-6);
    EXPECT_NEAR(internal(set, 0, 5, 2, 4), -kW * kL * kL / 24, 1e-6);
  }
  {
    // The end released in bending about local y: the beam is propped there.
    model::VELM m = beam(fixed_support(1), fixed_support(2), 0, kL);
    model::MemberHinge h = hinge(4);
    h.rotational_release_my = 0.0;
    m.memberhinges = std::vector<model::MemberHinge>{h};
    m.member_sets[0].members[0].end_hinge = 4;
    const auto a = analyse5(m);
    const auto& set = a.load_cases[0];
    EXPECT_NEAR(set.reactions[6 + 2], 3 * kW * kL / 8, 1e-6);
    EXPECT_NEAR(set.reactions[2], 5 * kW * kL / 8, 1e-6);
    EXPECT_NEAR(end_force(set, 0, 4), -kW * kL * kL / 8, 1e-6);
    EXPECT_NEAR(end_force(set, 0, 10), 0.0, 1e-6);
    EXPECT_NEAR(set.reactions[6 + 4], 0.0, 1e-6);  // nothing reaches the support's rotation
  }
}

TEST(MemberMechanics, AnElasticSpringLiesBetweenTheReleaseAndTheRigidJoint) {
  const auto end_moment = [](std::optional<double> spring) {
    model::VELM m = beam(fixed_support(1), fixed_support(2), 0, kL);
    model::MemberHinge h = hinge(4);
    h.rotational_release_my = spring;
    m.memberhinges = std::vector<model::MemberHinge>{h};
    m.member_sets[0].members[0].end_hinge = 4;
    return end_force(analyse5(m).load_cases[0], 0, 10);
  };
  const double released = end_moment(0.0), rigid = end_moment(std::nullopt);
  const double ei_over_l = kSection.e * kSection.i_y / kL;
  const double fixed = kW * kL * kL / 12;
  EXPECT_NEAR(end_moment(1e-9 * ei_over_l), released, 1e-8 * fixed);
  EXPECT_NEAR(end_moment(1e12 * ei_over_l), rigid, 1e-8 * fixed);
  const double middle = end_moment(4 * ei_over_l);
  EXPECT_GT(middle, released + 1.0);
  EXPECT_LT(middle, rigid - 1.0);
  // Slope deflection: the end turns by theta where (4 EI / L + k) theta balances the fixed-end
  // moment, and the spring takes M = k theta.
  const double s = 4.0;  // k L / (E I)
  const double theta = fixed / (4 * ei_over_l + s * ei_over_l);
  EXPECT_NEAR(middle, s * ei_over_l * theta, 1e-6);
}

TEST(MemberMechanics, PortalFrameWithPinnedBasesMadeByHinges) {
  const double h = 4.0, b = 6.0, p = 10e3;
  SectionData s = kSection;
  s.area = 1e3;  // columns and beam nearly rigid axially
  s.i_z = s.i_y;
  model::MemberHinge pin = hinge(1);
  pin.rotational_release_my = 0.0;  // bending in the frame's plane
  model::Member left = member(1, node(1, 0, 0, 0, 1), node(2, 0, 0, h));
  model::Member right = member(3, node(4, b, 0, 0, 1), node(3, b, 0, h));
  left.start_hinge = right.start_hinge = 1;
  model::VELM m = frame({left, member(2, node(2, 0, 0, h), node(3, b, 0, h)), right},
                        {fixed_support(1)}, {load(1, 2, p, {1, 0, 0})}, s);
  m.memberhinges = std::vector<model::MemberHinge>{pin};
  const auto a = analyse5(m);
  // Slope deflection: sway = P h^3 (1 + 2k) / (12 E I k), k = (I / b) / (I / h).
  const double k = h / b;
  const double sway = p * h * h * h * (1 + 2 * k) / (12 * s.e * s.i_y * k);
  EXPECT_NEAR(a.load_cases[0].displacements[6 * 1] / sway, 1.0, 1e-5);
  // The bases carry no moment about the frame's normal.
  EXPECT_NEAR(a.load_cases[0].reactions[4], 0.0, 1e-6);
}

TEST(MemberMechanics, ThreeBarTrussSharesItsLoadAsStatics_and_CompatibilitySay) {
  // Three bars from supports at height H to a joint below them, the outer ones at angle alpha
  // from the vertical: N_vertical = P / (1 + 2 cos^3 a), N_outer = N_vertical cos^2 a.
  const double hgt = 3.0, half = 4.0, p = 50e3;
  const auto truss = [](model::Member m) {
    m.member_type = model::MemberType::Truss;
    return m;
  };
  const model::Node joint = node(4, 0, 0, 0, 2);
  model::VELM m = frame({truss(member(1, node(1, -half, 0, hgt, 1), joint)),
                         truss(member(2, node(2, 0, 0, hgt, 1), joint)),
                         truss(member(3, node(3, half, 0, hgt, 1), joint))},
                        {support(1, "xyz"), support(2, "y")}, {load(1, 4, p, {0, 0, -1})});
  const auto a = analyse5(m);
  const auto& set = a.load_cases[0];
  const double cos_a = hgt / std::hypot(hgt, half);
  const double vertical = p / (1 + 2 * cos_a * cos_a * cos_a);
  EXPECT_NEAR(internal(set, 1, 5, 2, 0), vertical, 1e-6);  // tension
  EXPECT_NEAR(internal(set, 0, 5, 2, 0), vertical * cos_a * cos_a, 1e-6);
  EXPECT_NEAR(internal(set, 2, 5, 2, 0), vertical * cos_a * cos_a, 1e-6);
  for (std::size_t m_index = 0; m_index < 3; ++m_index)
    for (int k = 1; k < 6; ++k) EXPECT_NEAR(internal(set, m_index, 5, 2, k), 0.0, 1e-6);
  // Rotations that only truss members reach are no unknowns: exactly zero.
  for (int k = 3; k < 6; ++k)
    EXPECT_EQ(set.displacements[6 * 3 + static_cast<std::size_t>(k)], 0.0);
}

TEST(MemberMechanics, ATensionOnlyBracingDiagonalGoesSlack) {
  const double w = 4.0, hgt = 3.0, p = 20e3;
  const auto typed = [](model::Member m, model::MemberType type) {
    m.member_type = type;
    return m;
  };
  const auto panel = [&](double direction) {
    return frame(
        {typed(member(1, node(1, 0, 0, 0, 1), node(3, 0, 0, hgt, 2)), model::MemberType::Truss),
         typed(member(2, node(2, w, 0, 0, 1), node(4, w, 0, hgt, 2)), model::MemberType::Truss),
         typed(member(3, node(3, 0, 0, hgt, 2), node(4, w, 0, hgt, 2)), model::MemberType::Truss),
         typed(member(4, node(1, 0, 0, 0, 1), node(4, w, 0, hgt, 2)), model::MemberType::Tension),
         typed(member(5, node(2, w, 0, 0, 1), node(3, 0, 0, hgt, 2)), model::MemberType::Tension)},
        {support(1, "xyz"), support(2, "y")}, {load(1, 3, p * direction, {1, 0, 0})});
  };
  const double diagonal = std::hypot(w, hgt);
  {
    const auto a = analyse5(panel(1.0));
    const auto& set = a.load_cases[0];
    EXPECT_EQ(set.inactive_members, (std::vector<std::uint32_t>{5}));
    EXPECT_NEAR(internal(set, 3, 5, 2, 0), p * diagonal / w, 1e-6);
    for (int k = 0; k < 12; ++k) EXPECT_EQ(end_force(set, 4, k), 0.0);
  }
  {
    const auto a = analyse5(panel(-1.0));
    EXPECT_EQ(a.load_cases[0].inactive_members, (std::vector<std::uint32_t>{4}));
    EXPECT_NEAR(internal(a.load_cases[0], 4, 5, 2, 0), p * diagonal / w, 1e-6);
  }
}

TEST(MemberMechanics, ARigidLinkCarriesAMomentIntoAnOffsetColumn) {
  // A column fixed at its base; a rigid arm of length e at its top carries a vertical load P:
  // the column takes P and the moment P e, and the arm's tip moves with the column top.
  const double hgt = 3.0, e = 0.8, p = 30e3;
  model::Member arm = member(2, node(2, 0, 0, hgt), node(3, e, 0, hgt));
  arm.member_type = model::MemberType::Rigid;
  const model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 0, 0, hgt)), arm},
                              {fixed_support(1)}, {load(1, 3, p, {0, 0, -1})});
  const auto a = analyse5(m);
  const auto& u = a.load_cases[0].displacements;
  // The column along Z bends about global Y with I_y (its local y is global Y).
  const double moment = p * e, ei = kSection.e * kSection.i_y;
  const double theta = moment * hgt / ei;             // top turns about +Y (the tip goes down)
  const double sway = moment * hgt * hgt / (2 * ei);  // and moves towards +X
  const double shortening = p * hgt / (kSection.e * kSection.area);
  EXPECT_NEAR(u[6 + 0] / sway, 1.0, 1e-9);
  EXPECT_NEAR(u[6 + 4] / theta, 1.0, 1e-9);
  EXPECT_NEAR(u[12 + 2] / -(shortening + theta * e), 1.0, 1e-9);
  EXPECT_NEAR(u[12 + 0], u[6 + 0], 1e-15);  // follows the top
  // The arm's end forces: at its tip the load, at the column top the force and P e.
  const auto& set = a.load_cases[0];
  EXPECT_NEAR(end_force(set, 1, 6 + 2), -p, 1e-6);  // local z of a member along X is global Z
  EXPECT_NEAR(std::abs(end_force(set, 1, 4)), moment, 1e-6);
  EXPECT_NEAR(set.reactions[4], -moment, 1e-6);
}

TEST(MemberMechanics, MembersOnANodeThatFollowsALinkMatchAVeryStiffArm) {
  // A column, a rigid arm at its top, and a cantilever beam hanging off the arm's tip: the
  // beam's node follows the column top. The same frame with the arm a member 10^6 times as
  // stiff as the others gives the same tip displacement to about 1e-6.
  const auto build = [](bool rigid) {
    model::Member arm = member(2, node(2, 0, 0, 3), node(3, 0.5, 0, 3), rigid ? 1 : 2);
    if (rigid) arm.member_type = model::MemberType::Rigid;
    model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, 0, 0, 3)), arm,
                           member(3, node(3, 0.5, 0, 3), node(4, 2.5, 1, 3))},
                          {fixed_support(1)}, {load(1, 4, 5e3, {0.2, -0.5, -1})});
    model::Section stiff = m.sections[0];
    stiff.id = 2;
    stiff.area *= 1e6;
    stiff.i_y *= 1e6;
    stiff.i_z *= 1e6;
    stiff.j *= 1e6;
    m.sections.push_back(stiff);
    return m;
  };
  const auto exact = analyse5(build(true)), stiff = analyse5(build(false));
  for (int k = 0; k < 6; ++k) {
    const double x = exact.load_cases[0].displacements[18 + static_cast<std::size_t>(k)];
    const double y = stiff.load_cases[0].displacements[18 + static_cast<std::size_t>(k)];
    EXPECT_NEAR(x, y, 1e-5 * std::abs(y) + 1e-12);
  }
  // The frame is statically determinate: the reactions are minus the load and its moment
  // about the base, F = 5 kN (0.2, -0.5, -1) at r = (2.5, 1, 3). The exact links give them to
  // rounding, where the stiff arm is off by about 1e-5.
  const double expected[6] = {-1000, 2500, 5000, -2500, -15500, 7250};
  for (int k = 0; k < 6; ++k)
    EXPECT_NEAR(exact.load_cases[0].reactions[static_cast<std::size_t>(k)], expected[k], 1e-6);
}

TEST(MemberMechanics, SectionOrientationByAngleAndByReferenceNode) {
  const auto cantilever = [](double angle, std::optional<std::uint32_t> reference, SectionData s) {
    model::Member m = member(1, node(1, 0, 0, 0, 1), node(2, 3, 0, 0));
    m.rotation_angle = angle;
    m.reference_node = reference;
    std::vector<model::Member> members = {m};
    if (reference) members.push_back(member(2, node(2, 3, 0, 0), node(3, 1.5, 0, 1)));
    return frame(members, {fixed_support(1)}, {load(1, 2, 1e3, {0, 0.6, -0.8})}, s);
  };
  SectionData swapped = kSection;
  std::swap(swapped.i_y, swapped.i_z);
  const auto turned = analyse5(cantilever(90.0, std::nullopt, kSection));
  const auto plain = analyse5(cantilever(0.0, std::nullopt, swapped));
  for (int k = 0; k < 6; ++k)
    EXPECT_NEAR(turned.load_cases[0].displacements[6 + static_cast<std::size_t>(k)],
                plain.load_cases[0].displacements[6 + static_cast<std::size_t>(k)], 1e-12);
  // A reference node above the member puts local y upwards: the same as turning it by 90.
  const auto referenced = analyse5(cantilever(0.0, 3, kSection));
  const auto turned_too = analyse5(cantilever(90.0, std::nullopt, kSection));
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(referenced.member_axes[static_cast<std::size_t>(3 * r + c)],
                  turned_too.member_axes[static_cast<std::size_t>(3 * r + c)], 1e-15);
  const linalg::Matrix3 axes =
      Eigen::Map<const Eigen::Matrix<double, 3, 3, Eigen::RowMajor>>(referenced.member_axes.data());
  EXPECT_NEAR(axes(1, 2), 1.0, 1e-15);   // y = +Z
  EXPECT_NEAR(axes(2, 1), -1.0, 1e-15);  // z = -Y
}

TEST(MemberMechanics, LineLoadedFramesBalanceTheirLoads) {
  const model::Member beam_member = member(2, node(2, 0, 0, 4), node(3, 6, 0, 4));
  model::Member column = member(1, node(1, 0, 0, 0, 1), node(2, 0, 0, 4));
  model::VELM m = frame({column, beam_member, member(3, node(4, 6, 0, 0, 1), node(3, 6, 0, 4))},
                        {fixed_support(1)}, {load(1, 3, 5e3, {0, 1, 0})});
  m.load_cases[0].line_loads = {line_load(beam_member, 8e3, {0.3, 0.2, -1}, 1.0, 5.5),
                                line_load(column, 2e3, {1, 0, 0}, 0.0, 4.0)};
  const auto a = analyse5(m);
  const auto& r = a.load_cases[0].reactions;
  // Resultants: 4.5 m of (0.3, 0.2, -1) * 8 kN/m, 4 m of 2 kN/m along X, the nodal 5 kN along Y.
  EXPECT_NEAR(r[0] + 4.5 * 0.3 * 8e3 + 4.0 * 2e3, 0.0, 1e-6);
  EXPECT_NEAR(r[1] + 4.5 * 0.2 * 8e3 + 5e3, 0.0, 1e-6);
  EXPECT_NEAR(r[2] - 4.5 * 8e3, 0.0, 1e-6);
}

TEST(MemberMechanics, LoadsAndHingesThatMakeNoSenseAreRefusedNamingTheMember) {
  const auto base = [] { return beam(fixed_support(1), fixed_support(2), 0, kL); };
  model::VELM m = base();
  m.load_cases[0].line_loads[0].member.id = 9;
  EXPECT_EQ(error_of(m),
            "Load case 1 has a line load on member 9, which is not a member of the model.");
  m = base();
  m.load_cases[0].line_loads[0].start_pos = 4;
  m.load_cases[0].line_loads[0].end_pos = 2;
  EXPECT_THAT(error_of(m), HasSubstr("its start_pos must not exceed its end_pos"));
  m = base();
  m.load_cases[0].line_loads[0].end_pos = 6.1;
  EXPECT_THAT(error_of(m), HasSubstr("outside the member (length 6)"));
  m = base();
  m.load_cases[0].line_loads[0].end_pos = 6.0 + 1e-12;  // within rounding of the length
  EXPECT_EQ(error_of(m), "<success>");
  m = base();
  m.member_sets[0].members[0].member_type = model::MemberType::Tension;
  EXPECT_EQ(error_of(m),
            "Member 1 is a tension-only member and cannot carry the line load of load case 1.");
  m = base();
  m.member_sets[0].members[0].start_hinge = 3;
  EXPECT_EQ(error_of(m), "Member 1 names hinge 3 at its start, which is not in memberhinges.");
  m = base();
  model::MemberHinge h = hinge(3);
  h.translational_release_vz = -1.0;
  m.memberhinges = std::vector<model::MemberHinge>{h};
  m.member_sets[0].members[0].start_hinge = 3;
  EXPECT_THAT(error_of(m), HasSubstr("Hinge 3 of member 1 has translational_release_vz = -1"));
  m = base();
  h = hinge(3);
  h.translational_release_vz = 0.0;  // the shear of the loaded plane released at both ends
  m.memberhinges = std::vector<model::MemberHinge>{h};
  m.member_sets[0].members[0].start_hinge = m.member_sets[0].members[0].end_hinge = 3;
  EXPECT_EQ(error_of(m),
            "Member 1 cannot carry the line load of load case 1: its end releases leave that "
            "action without stiffness.");
  m = base();
  m.member_sets[0].members[0].reference_node = 2;
  EXPECT_EQ(error_of(m),
            "The reference node 2 of member 1 lies on the member's axis: it cannot orient the "
            "section.");
  m = base();
  m.member_sets[0].members[0].reference_node = 7;
  EXPECT_EQ(error_of(m), "Member 1 names reference node 7, which is not a node of the model.");
}

}  // namespace
}  // namespace velm::testing
