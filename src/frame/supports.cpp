#include "frame/supports.hpp"

#include <fmt/format.h>

#include <vector>

#include "frame/checks.hpp"
#include "model/support_dofs.hpp"

namespace velm::frame {

namespace {

// A node is one point of the structure, held by one support record: two member ends that give
// it two different records are a contradiction, not two supports to add up.
base::Expected<void> reject_two_supports(const model::VELM& model, std::uint32_t node_count,
                                         CheckProgress& progress) {
  struct Named {
    std::uint32_t support = 0, member = 0;
    bool any = false;
  };
  std::vector<Named> named(node_count);
  for (const model::MemberSet& set : model.member_sets)
    for (const model::Member& member : set.members) {
      if (!progress.keep_going()) return cancelled();
      for (const model::Node* node : {&member.start_node, &member.end_node}) {
        if (!node->nodal_support) continue;
        Named& first = named[node->id - 1];
        if (!first.any) {
          first = {*node->nodal_support, member.id, true};
        } else if (first.support != *node->nodal_support) {
          return invalid(
              fmt::format("Node {} is given support {} by member {} and support {} by "
                          "member {}.",
                          node->id, first.support, first.member, *node->nodal_support, member.id));
        }
      }
    }
  return {};
}

}  // namespace

base::Expected<void> apply_supports(const model::VELM& model, const model::LookupMaps& maps,
                                    Structure& structure, CheckProgress& progress) {
  if (auto valid = reject_two_supports(model, structure.node_count, progress); !valid) return valid;
  model::SupportedNodes found = model::supported_nodes(model, maps.supports);
  if (found.unknown)
    return invalid(
        fmt::format("Node {} (in member {}) names support {}, which is not in nodal_supports.",
                    found.unknown->node, found.unknown->member, found.unknown->support));
  structure.support_ids.reserve(model.nodal_supports.size());
  structure.support_dofs.reserve(model.nodal_supports.size());
  for (const model::NodalSupport& support : model.nodal_supports) {
    if (!progress.keep_going()) return cancelled();
    structure.support_ids.push_back(support.id);
    structure.support_dofs.push_back(model::fixed_dofs(support));
  }
  structure.support_nodes = std::move(found.nodes);
  structure.restraints.assign(6 * std::size_t{structure.node_count}, 0);
  for (std::size_t r = 0; r < structure.support_nodes.size(); ++r) {
    if (!progress.keep_going()) return cancelled();
    for (const std::uint32_t node : structure.support_nodes[r])
      for (std::size_t k = 0; k < 6; ++k)
        if (structure.support_dofs[r][k]) structure.restraints[6 * (node - 1) + k] = 1;
  }
  return {};
}

}  // namespace velm::frame
