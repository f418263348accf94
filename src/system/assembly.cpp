#include "system/assembly.hpp"

#include <fmt/format.h>

#include "system/constraints.hpp"
#include "system/elastic_supports.hpp"
#include "system/member_unknowns.hpp"

namespace velm::system {

namespace {

void add_at_node(const DiscreteModel& model, std::uint32_t node, const linalg::Vector6& f,
                 double* rhs) {
  const std::uint32_t root = model.structure.root[node - 1];
  const linalg::Vector6 moved =
      root == node ? f : (follower_map(model.structure, node).transpose() * f).eval();
  for (std::size_t k = 0; k < 6; ++k)
    if (const std::int64_t unknown = model.dofs.index[6 * (root - std::size_t{1}) + k];
        unknown >= 0)
      rhs[unknown] += moved(static_cast<Eigen::Index>(k));
}

}  // namespace

base::Expected<SparseGlobalMatrix> assemble_stiffness(const DiscreteModel& model,
                                                      const std::vector<std::uint8_t>& active,
                                                      base::Monitor& told) {
  return assemble_stiffness(model, model.elements, active, told);
}

base::Expected<SparseGlobalMatrix> assemble_stiffness(const DiscreteModel& model,
                                                      std::span<const ElementData> elements,
                                                      const std::vector<std::uint8_t>& active,
                                                      base::Monitor& told) {
  const frame::Structure& structure = model.structure;
  SparseGlobalMatrix stiffness(model.dofs, model.couplings);
  base::StageMonitor monitor(told, "assemble", structure.members.size());
  for (std::size_t m = 0; m < structure.members.size(); ++m) {
    if (!monitor.keep_going(m)) return base::fail(base::ErrorCode::cancelled);
    const frame::StructureMember& member = structure.members[m];
    if (!active[m] || member.type == model::MemberType::Rigid) continue;
    const ElementData& element = elements[m];
    linalg::Matrix12 global;
    to_unknowns(structure, member, element.stiffness(), linalg::Vector12::Zero(), &global, nullptr);
    stiffness.add_element(global, element.unknowns);
  }
  add_springs(model, stiffness);
  if (!monitor.finish()) return base::fail(base::ErrorCode::cancelled);
  told.stage_end("assemble");
  return stiffness;
}

base::Expected<void> assemble_loads(const DiscreteModel& model, const frame::LoadSet& set,
                                    double* rhs, const std::vector<std::uint8_t>* active) {
  return assemble_loads(model, model.elements, set, rhs, active);
}

base::Expected<void> assemble_loads(const DiscreteModel& model,
                                    std::span<const ElementData> elements,
                                    const frame::LoadSet& set, double* rhs,
                                    const std::vector<std::uint8_t>* active) {
  if (!set.imposed.empty()) {
    const std::vector<double> field = imposed_field(model.structure, set.imposed);
    for (std::size_t m = 0; m < model.structure.members.size(); ++m) {
      const frame::StructureMember& member = model.structure.members[m];
      if ((active != nullptr && !(*active)[m]) || member.type == model::MemberType::Rigid) continue;
      const linalg::Vector12 u = local_end_displacements(member, field);
      if (u.isZero(0.0)) continue;
      const ElementData& element = elements[m];
      linalg::Vector12 global;
      to_unknowns(model.structure, member, element.stiffness(), element.stiffness() * u, nullptr,
                  &global);
      for (std::size_t k = 0; k < 12; ++k)
        if (element.unknowns[k] >= 0)
          rhs[element.unknowns[k]] -= global(static_cast<Eigen::Index>(k));
    }
  }
  for (const frame::NodalForce& load : set.nodal) add_at_node(model, load.node, load.force, rhs);
  for (std::size_t i = 0; i < set.line_members.size();) {
    const std::size_t m = set.line_members[i];
    const std::span<const mechanics::MemberLoad> loads = set.on_member(m);
    i += loads.size();
    const frame::StructureMember& member = model.structure.members[m];
    const ElementData& element = elements[m];
    const mechanics::CondensedLoads condensed = fixed_end_forces(element, member, loads);
    if (condensed.load_not_carried)
      return base::fail(base::ErrorCode::invalid_model,
                        fmt::format("Member {} cannot carry the line load of {}: its end releases "
                                    "leave that action without stiffness.",
                                    member.id, set.label));
    linalg::Vector12 global;
    to_unknowns(model.structure, member, element.stiffness(), condensed.fixed_end_forces, nullptr,
                &global);
    for (std::size_t k = 0; k < 12; ++k)
      if (element.unknowns[k] >= 0)
        rhs[element.unknowns[k]] -= global(static_cast<Eigen::Index>(k));
  }
  return {};
}

void subtract_member_forces(const DiscreteModel& model, std::span<const ElementData> elements,
                            std::span<const double> end_forces,
                            const std::vector<std::uint8_t>& active, double* rhs) {
  const frame::Structure& structure = model.structure;
  for (std::size_t m = 0; m < structure.members.size(); ++m) {
    const frame::StructureMember& member = structure.members[m];
    if (!active[m] || member.type == model::MemberType::Rigid) continue;
    const ElementData& element = elements[m];
    const Eigen::Map<const linalg::Vector12> local(&end_forces[12 * m]);
    linalg::Vector12 global;
    to_unknowns(structure, member, element.stiffness(), local, nullptr, &global);
    for (std::size_t k = 0; k < 12; ++k)
      if (element.unknowns[k] >= 0)
        rhs[element.unknowns[k]] -= global(static_cast<Eigen::Index>(k));
  }
}

}  // namespace velm::system
