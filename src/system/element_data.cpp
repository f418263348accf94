#include "system/element_data.hpp"

#include "mechanics/stiffness.hpp"
#include "system/member_unknowns.hpp"

namespace velm::system {

ElementData element_data(const frame::Structure& structure, const DofNumbering& dofs,
                         const frame::StructureMember& member) {
  return {mechanics::Condensation(mechanics::frame_stiffness(member.properties, member.length),
                                  member.ends, member.length),
          member_unknowns(structure, dofs, member)};
}

mechanics::CondensedLoads fixed_end_forces(const ElementData& element,
                                           const frame::StructureMember& member,
                                           std::span<const mechanics::MemberLoad> loads) {
  const linalg::Vector12 f0 = loads.empty() ? linalg::Vector12::Zero().eval()
                                            : mechanics::fixed_end_forces(loads, member.length);
  return element.condensation.fixed_end_forces(f0);
}

}  // namespace velm::system
