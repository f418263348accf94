#include "system/discrete_model.hpp"

#include "system/constraints.hpp"
#include "system/member_unknowns.hpp"

namespace velm::system {

DiscreteModel::DiscreteModel(const frame::Structure& of)
    : structure(of),
      dofs(number_dofs(eliminated_dofs(of), of.coordinates)),
      couplings(member_couplings(of)) {
  elements.reserve(of.members.size());
  for (const frame::StructureMember& member : of.members)
    elements.push_back(element_data(of, dofs, member));
}

}  // namespace velm::system
