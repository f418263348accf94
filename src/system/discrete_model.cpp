#include "system/discrete_model.hpp"

#include "system/constraints.hpp"
#include "system/member_unknowns.hpp"

namespace velm::system {

namespace {
base::Monitor quiet;
}  // namespace

DiscreteModel::DiscreteModel(const frame::Structure& of) : DiscreteModel(of, quiet) {}

DiscreteModel::DiscreteModel(const frame::Structure& of, base::Monitor& monitor)
    : structure(of),
      dofs(number_dofs(eliminated_dofs(of), of.coordinates)),
      couplings(member_couplings(of)) {
  elements.reserve(of.members.size());
  for (const frame::StructureMember& member : of.members) {
    if (elements.size() % 1024 == 0 && monitor.stop_requested()) return;
    elements.push_back(element_data(of, dofs, member));
  }
}

}  // namespace velm::system
