#include "engineering/set_checks.hpp"

#include <fmt/format.h>

#include <array>
#include <vector>

#include "base/finite.hpp"
#include "engineering/equilibrium.hpp"
#include "engineering/result_recovery.hpp"
#include "model/dof_labels.hpp"

namespace velm::engineering {

std::optional<std::string> find_non_finite(const ResultSet& set, const std::string& which,
                                           const frame::Structure& structure) {
  if (const auto i = base::first_non_finite(set.displacements.data(), set.displacements.size()))
    return fmt::format(
        "The displacements of {} are not finite at node {}, {}: the stiffness or load values "
        "of the model are out of range.",
        which, *i / 6 + 1, model::kDofLabels[*i % 6]);
  if (const auto i = base::first_non_finite(set.reactions.data(), set.reactions.size()))
    return fmt::format(
        "The reactions of {} are not finite at support {}, {}: the stiffness or load values of "
        "the model are out of range.",
        which, structure.support_ids[*i / 6], model::kForceLabels[*i % 6]);
  const std::size_t members = structure.members.size();
  const std::size_t per_member = members == 0 ? 0 : set.internal_forces.size() / members;
  for (std::size_t m = 0; m < members; ++m) {
    if (base::first_non_finite(set.end_forces.data() + 12 * m, 12) ||
        base::first_non_finite(set.internal_forces.data() + per_member * m, per_member))
      return fmt::format(
          "The member forces of {} are not finite in member {}: the stiffness or load values of "
          "the model are out of range.",
          which, structure.members[m].id);
  }
  return std::nullopt;
}

std::optional<std::string> find_unbalanced_dof(const frame::Structure& structure,
                                               const frame::LoadSet& set, const ResultSet& result) {
  constexpr double kTolerance = 1e-5;
  // The nodal forces and moments and the springs' forces at the results' displacements.
  const std::vector<double> loads = node_loads(structure, set, result.displacements);
  std::vector<std::array<std::uint32_t, 2>> nodes;
  std::vector<double> axes;
  nodes.reserve(structure.members.size());
  axes.reserve(9 * structure.members.size());
  for (const frame::StructureMember& member : structure.members) {
    nodes.push_back({member.start, member.end});
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) axes.push_back(member.axes(i, j));
  }
  const auto worst =
      find_unbalanced(nodes, axes, result.end_forces, loads, structure.restraints, kTolerance);
  if (!worst) return std::nullopt;
  return fmt::format(
      "the results of {} do not balance at node {} in {} (by {:.1e} of "
      "the largest force at a node): its stiffness matrix is too "
      "ill-conditioned to be solved, a mechanism or nearly one, or "
      "members that differ too much in stiffness",
      set.label, worst->node, model::kDofLabels[worst->dof], worst->misfit);
}

}  // namespace velm::engineering
