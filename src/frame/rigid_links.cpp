#include "frame/rigid_links.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <vector>

#include "frame/checks.hpp"

namespace velm::frame {

base::Expected<void> join_rigid_links(Structure& structure, CheckProgress& progress) {
  const std::size_t nodes = structure.node_count;
  structure.root.resize(nodes);
  for (std::size_t n = 0; n < nodes; ++n) structure.root[n] = static_cast<std::uint32_t>(n + 1);
  std::vector<std::vector<std::size_t>> links(nodes);  // per node: the rigid members at it
  bool any = false;
  for (std::size_t m = 0; m < structure.members.size(); ++m) {
    const StructureMember& member = structure.members[m];
    if (member.type != model::MemberType::Rigid) continue;
    links[member.start - 1].push_back(m);
    links[member.end - 1].push_back(m);
    any = true;
  }
  if (!any) return {};
  const auto supported = [&](std::size_t n) {
    return std::any_of(&structure.restraints[6 * n], &structure.restraints[6 * n + 6],
                       [](std::uint8_t r) { return r != 0; });
  };
  std::vector<std::uint8_t> seen(nodes, 0);
  std::vector<std::size_t> group;
  // Marks of the walk from each root. The groups share no node and no link, so one set of marks
  // serves them all: clearing them per group would make the pass quadratic in the groups.
  std::vector<std::uint8_t> reached(nodes, 0);
  std::vector<std::uint8_t> used(structure.members.size(), 0);
  for (std::size_t first = 0; first < nodes; ++first) {
    if (!progress.keep_going()) return cancelled();
    if (seen[first] || links[first].empty()) continue;
    // The group, by a walk over its links.
    group.assign(1, first);
    seen[first] = 1;
    for (std::size_t i = 0; i < group.size(); ++i)
      for (const std::size_t m : links[group[i]]) {
        const StructureMember& link = structure.members[m];
        const std::size_t other = (link.start - 1 == group[i] ? link.end : link.start) - 1;
        if (!seen[other]) {
          seen[other] = 1;
          group.push_back(other);
        }
      }
    std::size_t root = group.front();
    std::size_t supports = 0;
    for (const std::size_t n : group)
      if (supported(n)) {
        if (++supports == 1)
          root = n;
        else
          return invalid(fmt::format(
              "Rigid links join nodes {} and {}, which both have supports: give the supports to "
              "one of them.",
              root + 1, n + 1));
      }
    // Breadth first from the root; a link met a second time closes a loop.
    std::vector<std::size_t> order = {root};
    reached[root] = 1;
    std::vector<Structure::Link> group_links;
    for (std::size_t i = 0; i < order.size(); ++i)
      for (const std::size_t m : links[order[i]]) {
        if (used[m]) continue;
        used[m] = 1;
        const StructureMember& link = structure.members[m];
        const std::size_t other = (link.start - 1 == order[i] ? link.end : link.start) - 1;
        if (reached[other])
          return invalid(fmt::format(
              "Rigid member {} closes a loop of rigid links: the links of a group must form a "
              "tree.",
              link.id));
        reached[other] = 1;
        order.push_back(other);
        group_links.push_back({m, static_cast<std::uint32_t>(other + 1)});
        structure.root[other] = static_cast<std::uint32_t>(root + 1);
      }
    structure.links_leaves_first.insert(structure.links_leaves_first.end(), group_links.rbegin(),
                                        group_links.rend());
  }
  return {};
}

}  // namespace velm::frame
