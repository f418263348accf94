#include "listing/results_record.hpp"

#include <array>
#include <cmath>

#include "base/finite.hpp"
#include "base/internal_fault.hpp"
#include "format/numbers.hpp"
#include "listing/supports.hpp"
#include "model/dof_labels.hpp"

namespace velm::listing {

namespace {

// The six entries of node n (1-based) in a global vector.
std::array<double, 6> node_values(const linalg::Vector& v, std::uint32_t node_id) {
  const std::uint64_t first = 6 * (std::uint64_t{node_id} - 1);
  if (node_id == 0 || first + 6 > static_cast<std::uint64_t>(v.size()))
    throw InternalFault(kIndexOutOfBounds);
  std::array<double, 6> values{};
  for (std::size_t k = 0; k < 6; ++k) values[k] = v(static_cast<Eigen::Index>(first + k));
  return values;
}

model::NodeForces node_forces(const linalg::Vector12& f, Eigen::Index first) {
  return {f(first), f(first + 1), f(first + 2), f(first + 3), f(first + 4), f(first + 5)};
}

}  // namespace

std::vector<model::NodeDisplacement> extract_displacements(
    const std::vector<model::MemberSet>& sets, const linalg::Vector& u) {
  std::vector<model::NodeDisplacement> nodes;
  for (const model::MemberSet& set : sets) {
    for (const model::Member& member : set.members) {
      for (const std::uint32_t id : {member.start_node.id, member.end_node.id}) {
        const std::array<double, 6> d = node_values(u, id);
        nodes.push_back({id, d[0], d[1], d[2], d[3], d[4], d[5]});
      }
    }
  }
  return nodes;
}

std::vector<model::ReactionForce> support_reactions(
    const std::vector<model::NodalSupport>& supports,
    const std::vector<std::vector<std::uint32_t>>& applied_nodes, const linalg::Vector& residual) {
  if (applied_nodes.size() != supports.size()) throw InternalFault(kIndexOutOfBounds);
  std::vector<model::ReactionForce> reactions;
  reactions.reserve(supports.size());
  for (std::size_t i = 0; i < supports.size(); ++i) {
    const std::array<double, 6> sum =
        model::support_reaction(model::fixed_dofs(supports[i]), applied_nodes[i],
                                [&](std::uint32_t node) { return node_values(residual, node); });
    reactions.push_back({supports[i].id, sum[0], sum[1], sum[2], sum[3], sum[4], sum[5]});
  }
  return reactions;
}

std::vector<model::MemberForce> member_end_forces(
    const std::vector<model::MemberSet>& sets,
    const std::vector<std::optional<ElementMatrices>>& elements, const linalg::Vector& u) {
  std::vector<model::MemberForce> forces;
  forces.reserve(elements.size());
  std::size_t index = 0;
  for (const model::MemberSet& set : sets) {
    for (const model::Member& member : set.members) {
      if (index >= elements.size()) throw InternalFault(kIndexOutOfBounds);
      const std::optional<ElementMatrices>& element = elements[index++];
      model::MemberForce force{member.id, {}, {}};
      if (element) {
        linalg::Vector12 u_global;
        const std::array<double, 6> start = node_values(u, member.start_node.id);
        const std::array<double, 6> end = node_values(u, member.end_node.id);
        for (Eigen::Index k = 0; k < 6; ++k) {
          u_global(k) = start[static_cast<std::size_t>(k)];
          u_global(k + 6) = end[static_cast<std::size_t>(k)];
        }
        const linalg::Vector12 u_local = element->transformation * u_global;
        const linalg::Vector12 f = element->stiffness * u_local;
        force.start_node_forces = node_forces(f, 0);
        force.end_node_forces = node_forces(f, 6);
      }
      forces.push_back(force);
    }
  }
  return forces;
}

base::Expected<void> check_finite(const linalg::Vector& vector, const std::string& what) {
  const std::optional<std::size_t> at =
      base::first_non_finite(vector.data(), static_cast<std::size_t>(vector.size()));
  if (!at) return {};
  const std::size_t i = *at;
  return base::fail(base::ErrorCode::not_finite,
                    "The " + what + " is not finite at node " + std::to_string(i / 6 + 1) + ", " +
                        model::kDofLabels[i % 6] + " (" +
                        format::plain_decimal(vector(static_cast<Eigen::Index>(i))) +
                        "): the stiffness or load values of the model are out of range.");
}

}  // namespace velm::listing
