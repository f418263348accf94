// The element data each member keeps for the whole analysis: computed once, it must give what
// computing it afresh at each use gives, and its condensation must match the closed forms.
#include "system/element_data.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "frame/load_sets.hpp"
#include "mechanics/stiffness.hpp"
#include "mechanics/transformation.hpp"
#include "model_builder.hpp"
#include "system/assembly.hpp"
#include "system/discrete_model.hpp"
#include "system/member_unknowns.hpp"

namespace velm::testing {
namespace {

constexpr double kL = 4.0;
const SectionData kSection;

model::MemberHinge pin_about_z(std::uint32_t id) {
  model::MemberHinge h;
  h.id = id;
  h.hinge_type = "Test";
  h.rotational_release_mz = 0.0;
  return h;
}

// A frame in space with a pinned, a sprung and a plain member, and a line load on each of the
// first two in one load case and on the first in a second.
model::VELM hinged_frame() {
  model::VELM m = frame({member(1, node(1, 0, 0, 0, 1), node(2, kL, 0, 0)),
                         member(2, node(2, kL, 0, 0), node(3, kL, 3, 0)),
                         member(3, node(3, kL, 3, 0), node(4, kL, 3, 2, 1))},
                        {fixed_support(1)}, {load(1, 3, 5.0, {1, 0, 0})});
  model::MemberHinge spring = pin_about_z(2);
  spring.rotational_release_mz = 3e5;
  spring.translational_release_vx = 0.0;
  m.memberhinges = std::vector<model::MemberHinge>{pin_about_z(1), spring};
  m.member_sets[0].members[0].end_hinge = 1;
  m.member_sets[0].members[1].start_hinge = 2;
  for (const auto& [member_index, case_id] : {std::pair{0u, 1u}, {1u, 1u}, {0u, 2u}}) {
    model::LineLoad line;
    line.member = m.member_sets[0].members[member_index];
    line.load_case = case_id;
    line.magnitude = 7.0 + case_id;
    line.direction = {0, -0.6, 0.8};
    line.start_pos = 0.5;
    line.end_pos = 2.5;
    if (case_id == 2 && m.load_cases.size() < 2) {
      model::LoadCase second;
      second.id = 2;
      second.name = "LC2";
      m.load_cases.push_back(second);
    }
    m.load_cases[case_id - 1].line_loads.push_back(line);
  }
  return m;
}

TEST(ElementData, AMemberPinnedAtItsEndHasTheProppedCantileversStiffness) {
  const auto structure = frame::build_structure(hinged_frame());
  ASSERT_TRUE(structure.has_value());
  const system::DiscreteModel model(*structure);
  const linalg::Matrix12& k = model.elements[0].stiffness();
  // Bending in the local x-y plane (UY, RZ) with the end's rotation released.
  const double ei = kSection.e * kSection.i_z;
  EXPECT_NEAR(k(1, 1), 3 * ei / (kL * kL * kL), 1e-9 * ei);
  EXPECT_NEAR(k(1, 5), 3 * ei / (kL * kL), 1e-9 * ei);
  EXPECT_NEAR(k(5, 5), 3 * ei / kL, 1e-9 * ei);
  EXPECT_NEAR(k(7, 7), 3 * ei / (kL * kL * kL), 1e-9 * ei);
  EXPECT_NEAR(k(11, 11), 0.0, 1e-9 * ei);
  // The other plane and the axial and torsion terms keep the plain frame values (to the
  // rounding that balancing the rigid-body motions leaves).
  const linalg::Matrix12 plain = mechanics::frame_stiffness(structure->members[0].properties, kL);
  for (const int i : {0, 2, 3, 4, 6, 8, 9, 10})
    EXPECT_NEAR(k(i, i), plain(i, i), 1e-13 * std::abs(plain(i, i))) << i;
}

TEST(ElementData, TheStiffnessKeptOnceAssemblesTheMatrixAFreshOneWould) {
  const auto structure = frame::build_structure(hinged_frame());
  ASSERT_TRUE(structure.has_value());
  const system::DiscreteModel model(*structure);
  base::Monitor quiet;
  const std::vector<std::uint8_t> all_on(structure->members.size(), 1);
  auto kept = system::assemble_stiffness(model, all_on, quiet);
  ASSERT_TRUE(kept.has_value());

  system::SparseGlobalMatrix fresh(model.dofs, model.couplings);
  for (const frame::StructureMember& member : structure->members) {
    const mechanics::Condensation condensation(
        mechanics::frame_stiffness(member.properties, member.length), member.ends, member.length);
    linalg::Matrix12 global;
    system::to_unknowns(*structure, member, condensation.stiffness(), linalg::Vector12::Zero(),
                        &global, nullptr);
    fresh.add_element(global, system::member_unknowns(*structure, model.dofs, member));
  }
  ASSERT_EQ(kept->size(), fresh.size());
  for (std::size_t i = 0; i < fresh.size(); ++i)
    for (std::size_t j = i; j < fresh.size(); ++j) ASSERT_EQ(kept->at(i, j), fresh.at(i, j));
}

TEST(ElementData, FixedEndForcesOfOneLoadSetDoNotDependOnTheSetsBeforeIt) {
  const auto structure = frame::build_structure(hinged_frame());
  ASSERT_TRUE(structure.has_value());
  const system::DiscreteModel model(*structure);
  const std::vector<frame::LoadSet> sets = frame::result_load_sets(*structure);
  ASSERT_EQ(sets.size(), 2u);
  // Set 2 after set 1 on the kept data, against a fresh condensation for set 2 alone.
  for (const std::size_t m : {0u, 1u}) {
    const frame::StructureMember& member = structure->members[m];
    (void)system::fixed_end_forces(model.elements[m], member, sets[0].on_member(m));
    const auto kept = system::fixed_end_forces(model.elements[m], member, sets[1].on_member(m));
    const mechanics::Condensation fresh(
        mechanics::frame_stiffness(member.properties, member.length), member.ends, member.length);
    const std::span<const mechanics::MemberLoad> loads = sets[1].on_member(m);
    const auto expected =
        fresh.fixed_end_forces(loads.empty() ? linalg::Vector12::Zero().eval()
                                             : mechanics::fixed_end_forces(loads, member.length));
    EXPECT_EQ(kept.fixed_end_forces, expected.fixed_end_forces) << m;
    EXPECT_EQ(kept.load_not_carried, expected.load_not_carried);
  }
  // The pinned member under a uniform load over part of its span: no moment at the pin.
  const auto pinned =
      system::fixed_end_forces(model.elements[0], structure->members[0], sets[0].on_member(0));
  EXPECT_NEAR(pinned.fixed_end_forces(11), 0.0, 1e-9);
  // Vertical equilibrium of the member's local y: the end forces balance the load 8 * 0.6 * 2.
  EXPECT_NEAR(pinned.fixed_end_forces(1) + pinned.fixed_end_forces(7),
              -sets[0].on_member(0)[0].q.y() * 2.0, 1e-9);
}

}  // namespace
}  // namespace velm::testing
