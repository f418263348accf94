#include "system/element_data.hpp"

#include "mechanics/beam_column.hpp"
#include "mechanics/stiffness.hpp"
#include "system/member_unknowns.hpp"

namespace velm::system {

ElementData element_data(const frame::Structure& structure, const DofNumbering& dofs,
                         const frame::StructureMember& member) {
  return {mechanics::Condensation(mechanics::frame_stiffness(member.properties, member.length),
                                  member.ends, member.length),
          member_unknowns(structure, dofs, member), false, 0.0, nullptr};
}

ElementData second_order_element_data(const frame::Structure& structure, const DofNumbering& dofs,
                                      const frame::StructureMember& member, double axial_force) {
  if (member.axial_only()) {
    ElementData element = element_data(structure, dofs, member);
    element.second_order = true;
    element.axial_force = axial_force;
    element.string_stiffness = std::make_shared<const linalg::Matrix12>(
        mechanics::string_member_stiffness(member.properties, member.length, axial_force));
    return element;
  }
  return {mechanics::Condensation(
              mechanics::second_order_stiffness(member.properties, member.length, axial_force),
              member.ends, member.length, mechanics::Condensation::Balance::translations),
          member_unknowns(structure, dofs, member), true, axial_force, nullptr};
}

namespace {

// The fixed-end forces of the loads on the member held fixed at both ends, uncondensed.
linalg::Vector12 held_fixed_end_forces(const ElementData& element,
                                       const frame::StructureMember& member,
                                       std::span<const mechanics::MemberLoad> loads) {
  return element.second_order && !member.axial_only()
             ? mechanics::second_order_fixed_end_forces(member.properties, member.length,
                                                        element.axial_force, loads)
             : mechanics::fixed_end_forces(loads, member.length);
}

}  // namespace

mechanics::CondensedLoads fixed_end_forces(const ElementData& element,
                                           const frame::StructureMember& member,
                                           std::span<const mechanics::MemberLoad> loads) {
  if (loads.empty()) return element.condensation.fixed_end_forces(linalg::Vector12::Zero());
  return element.condensation.fixed_end_forces(held_fixed_end_forces(element, member, loads));
}

linalg::Vector12 member_end_displacements(const ElementData& element,
                                          const frame::StructureMember& member,
                                          std::span<const mechanics::MemberLoad> loads,
                                          const linalg::Vector12& local) {
  if (!element.condensation.releases()) return local;
  const linalg::Vector12 f0 =
      loads.empty() ? linalg::Vector12::Zero() : held_fixed_end_forces(element, member, loads);
  return element.condensation.end_displacements(local, f0);
}

}  // namespace velm::system
