#include "frame/structure.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "mechanics/transformation.hpp"
#include "model/lookup_maps.hpp"
#include "model/node_ids.hpp"
#include "model/support_dofs.hpp"

namespace velm::frame {

namespace {

std::unexpected<std::string> failure(std::string text) {
  return std::unexpected(std::move(text));
}

// The first id that two records share, in document order of the second one.
template <class Records, class IdOf>
std::optional<std::uint32_t> repeated_id(const Records& records, IdOf id_of) {
  std::unordered_set<std::uint32_t> seen;
  seen.reserve(records.size());
  for (const auto& record : records)
    if (!seen.insert(id_of(record)).second) return id_of(record);
  return std::nullopt;
}

std::expected<void, std::string> reject_repeated_ids(const model::VELM& model) {
  if (auto id = repeated_id(model.load_cases, [](const auto& c) { return c.id; }))
    return failure(fmt::format("Two load cases have the id {}.", *id));
  std::vector<const model::Member*> members;
  for (const model::MemberSet& set : model.member_sets)
    for (const model::Member& member : set.members) members.push_back(&member);
  if (auto id = repeated_id(members, [](const auto* m) { return m->id; }))
    return failure(fmt::format("Two members have the id {}.", *id));
  if (auto id = repeated_id(model.nodal_supports, [](const auto& s) { return s.id; }))
    return failure(fmt::format("Two nodal supports have the id {}.", *id));
  if (auto id =
          repeated_id(model.load_combinations, [](const auto& c) { return c.load_combination_id; }))
    return failure(fmt::format("Two load combinations have the id {}.", *id));
  return {};
}

// The end connections of a member from its hinges: per local direction none (rigid), 0
// (released) or a spring stiffness.
std::expected<mechanics::EndConnections, std::string> member_ends(const model::Member& member,
                                                                  const model::LookupMaps& maps) {
  mechanics::EndConnections ends{};
  if (member.member_type == model::MemberType::Truss ||
      member.member_type == model::MemberType::Tension ||
      member.member_type == model::MemberType::Compression) {
    for (const std::size_t k : {3, 4, 5, 9, 10, 11}) ends[k] = 0.0;
    return ends;
  }
  if (member.member_type == model::MemberType::Rigid) return ends;
  for (const auto& [hinge_id, first, where] :
       {std::tuple{member.start_hinge, std::size_t{0}, "start"},
        std::tuple{member.end_hinge, std::size_t{6}, "end"}}) {
    if (!hinge_id) continue;
    const auto entry = maps.hinges.find(*hinge_id);
    if (entry == maps.hinges.end())
      return failure(
          fmt::format("Member {} names hinge {} at its {}, which is not in memberhinges.",
                      member.id, *hinge_id, where));
    const model::MemberHinge& hinge = *entry->second;
    const std::pair<const char*, std::optional<double>> values[6] = {
        {"translational_release_vx", hinge.translational_release_vx},
        {"translational_release_vy", hinge.translational_release_vy},
        {"translational_release_vz", hinge.translational_release_vz},
        {"rotational_release_mx", hinge.rotational_release_mx},
        {"rotational_release_my", hinge.rotational_release_my},
        {"rotational_release_mz", hinge.rotational_release_mz}};
    for (std::size_t k = 0; k < 6; ++k) {
      const auto& [key, value] = values[k];
      if (!value) continue;
      if (!std::isfinite(*value) || *value < 0.0)
        return failure(fmt::format(
            "Hinge {} of member {} has {} = {}, which must be 0 (released), a positive spring "
            "stiffness, or absent (rigid).",
            hinge.id, member.id, key, *value));
      ends[first + k] = *value;
    }
  }
  return ends;
}

std::expected<mechanics::FrameProperties, std::string> member_properties(
    const model::Member& member, const model::LookupMaps& maps) {
  const auto section_entry = maps.sections.find(member.section);
  if (section_entry == maps.sections.end())
    return failure(fmt::format("Member {} names section {}, which is not in the model's sections.",
                               member.id, member.section));
  const model::Section& section = *section_entry->second;
  const auto material_entry = maps.materials.find(section.material);
  if (material_entry == maps.materials.end())
    return failure(fmt::format(
        "Section {} of member {} names material {}, which is not in the model's materials.",
        section.id, member.id, section.material));
  const model::Material& material = *material_entry->second;

  const auto positive = [](double value) { return std::isfinite(value) && value > 0.0; };
  for (const auto& [key, value] : {std::pair{"e_mod", material.e_mod}, {"g_mod", material.g_mod}})
    if (!positive(value))
      return failure(fmt::format(
          "Material {} of member {} has {} = {}, which must be a positive finite number.",
          material.id, member.id, key, value));
  for (const auto& [key, value] : {std::pair{"area", section.area},
                                   {"i_y", section.i_y},
                                   {"i_z", section.i_z},
                                   {"j", section.j}})
    if (!positive(value))
      return failure(fmt::format(
          "Section {} of member {} has {} = {}, which must be a positive finite number.",
          section.id, member.id, key, value));
  return mechanics::FrameProperties{material.e_mod, material.g_mod, section.area,
                                    section.i_y,    section.i_z,    section.j};
}

// Coordinates of every node id, from the first member end that gives it; the other copies must
// agree with it within `tolerance` in each coordinate.
std::expected<std::vector<double>, std::string> node_coordinates(const model::VELM& model,
                                                                 std::uint32_t node_count) {
  std::vector<double> xyz(3 * std::size_t{node_count}, 0.0);
  std::vector<std::uint32_t> given_by(node_count, 0);
  std::vector<bool> known(node_count, false);
  double low[3] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
                   std::numeric_limits<double>::infinity()};
  double high[3] = {-low[0], -low[1], -low[2]};
  for (const model::MemberSet& set : model.member_sets) {
    for (const model::Member& member : set.members) {
      for (const model::Node* node : {&member.start_node, &member.end_node}) {
        const double c[3] = {node->X, node->Y, node->Z};
        if (!std::isfinite(c[0]) || !std::isfinite(c[1]) || !std::isfinite(c[2]))
          return failure(fmt::format("Node {} has a non-finite coordinate in member {}.", node->id,
                                     member.id));
        for (int k = 0; k < 3; ++k) {
          low[k] = std::min(low[k], c[k]);
          high[k] = std::max(high[k], c[k]);
        }
        const std::size_t n = node->id - 1;
        if (!known[n]) {
          known[n] = true;
          given_by[n] = member.id;
          for (int k = 0; k < 3; ++k) xyz[3 * n + static_cast<std::size_t>(k)] = c[k];
        }
      }
    }
  }
  double extent = 0.0;
  for (int k = 0; k < 3; ++k)
    if (high[k] >= low[k]) extent = std::max(extent, high[k] - low[k]);
  const double tolerance = 1e-9 * extent;
  for (const model::MemberSet& set : model.member_sets) {
    for (const model::Member& member : set.members) {
      for (const model::Node* node : {&member.start_node, &member.end_node}) {
        const std::size_t n = node->id - 1;
        const double* first = &xyz[3 * n];
        if (std::abs(node->X - first[0]) > tolerance || std::abs(node->Y - first[1]) > tolerance ||
            std::abs(node->Z - first[2]) > tolerance)
          return failure(fmt::format(
              "Node {} is given different coordinates by member {} ({}, {}, {}) and member {} "
              "({}, {}, {}).",
              node->id, given_by[n], first[0], first[1], first[2], member.id, node->X, node->Y,
              node->Z));
      }
    }
  }
  return xyz;
}

std::expected<void, std::string> apply_supports(const model::VELM& model, Structure& structure) {
  std::unordered_map<std::uint32_t, std::size_t> position;
  position.reserve(model.nodal_supports.size());
  structure.support_dofs.reserve(model.nodal_supports.size());
  for (std::size_t i = 0; i < model.nodal_supports.size(); ++i) {
    position.emplace(model.nodal_supports[i].id, i);
    structure.support_dofs.push_back(model::fixed_dofs(model.nodal_supports[i]));
  }
  structure.support_nodes.assign(model.nodal_supports.size(), {});
  structure.restraints.assign(6 * std::size_t{structure.node_count}, 0);
  for (const model::MemberSet& set : model.member_sets) {
    for (const model::Member& member : set.members) {
      for (const model::Node* node : {&member.start_node, &member.end_node}) {
        if (!node->nodal_support) continue;
        const auto entry = position.find(*node->nodal_support);
        if (entry == position.end())
          return failure(fmt::format(
              "Node {} (in member {}) names support {}, which is not in nodal_supports.", node->id,
              member.id, *node->nodal_support));
        const std::array<bool, 6>& fixed = structure.support_dofs[entry->second];
        for (std::size_t k = 0; k < 6; ++k)
          if (fixed[k]) structure.restraints[6 * (node->id - 1) + k] = 1;
        structure.support_nodes[entry->second].push_back(node->id);
      }
    }
  }
  for (std::vector<std::uint32_t>& nodes : structure.support_nodes) {
    std::sort(nodes.begin(), nodes.end());
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
  }
  return {};
}

std::expected<void, std::string> check_loads(const model::VELM& model, std::uint32_t node_count) {
  std::unordered_set<std::uint32_t> case_ids;
  for (const model::LoadCase& load_case : model.load_cases) {
    case_ids.insert(load_case.id);
    for (const model::NodalLoad& load : load_case.nodal_loads) {
      if (load.node == 0 || load.node > node_count)
        return failure(fmt::format(
            "Nodal load {} of load case {} acts on node {}, which is not a node of the model{}.",
            load.id, load_case.id, load.node,
            node_count == 0 ? " (the model has no nodes)"
                            : fmt::format(" (nodes 1 to {})", node_count)));
      if (!std::isfinite(load.magnitude) || !std::isfinite(load.direction[0]) ||
          !std::isfinite(load.direction[1]) || !std::isfinite(load.direction[2]))
        return failure(
            fmt::format("Nodal load {} of load case {} has a non-finite magnitude or direction.",
                        load.id, load_case.id));
    }
  }
  for (const model::LoadCombination& combination : model.load_combinations) {
    for (const auto& [case_id, factor] : combination.load_cases_factors) {
      if (!case_ids.contains(case_id))
        return failure(fmt::format("Load combination {} names load case {}, which does not exist.",
                                   combination.load_combination_id, case_id));
      if (!std::isfinite(factor))
        return failure(fmt::format("Load combination {} has a non-finite factor for load case {}.",
                                   combination.load_combination_id, case_id));
    }
  }
  return {};
}

const char* type_name(model::MemberType type) {
  switch (type) {
    case model::MemberType::Normal:
      return "normal";
    case model::MemberType::Truss:
      return "truss";
    case model::MemberType::Tension:
      return "tension-only";
    case model::MemberType::Compression:
      return "compression-only";
    case model::MemberType::Rigid:
      return "rigid";
  }
  return "normal";
}

// The line loads of every load case, located on their members and turned into member axes.
std::expected<void, std::string> index_line_loads(const model::VELM& model, Structure& structure) {
  std::unordered_map<std::uint32_t, std::size_t> by_id;
  by_id.reserve(structure.members.size());
  for (std::size_t m = 0; m < structure.members.size(); ++m)
    by_id.emplace(structure.members[m].id, m);
  structure.line_loads.resize(model.load_cases.size());
  for (std::size_t c = 0; c < model.load_cases.size(); ++c) {
    const model::LoadCase& load_case = model.load_cases[c];
    for (const model::LineLoad& line : load_case.line_loads) {
      const std::uint32_t id = line.member.id;
      const auto entry = by_id.find(id);
      if (entry == by_id.end())
        return failure(fmt::format(
            "Load case {} has a line load on member {}, which is not a member of the model.",
            load_case.id, id));
      const StructureMember& m = structure.members[entry->second];
      if (!std::isfinite(line.magnitude) || !std::isfinite(line.direction[0]) ||
          !std::isfinite(line.direction[1]) || !std::isfinite(line.direction[2]) ||
          !std::isfinite(line.start_pos) || !std::isfinite(line.end_pos))
        return failure(
            fmt::format("Load case {} has a line load on member {} with a non-finite value.",
                        load_case.id, id));
      if (line.start_pos > line.end_pos)
        return failure(fmt::format(
            "Load case {} has a line load on member {} from {} to {}: its start_pos must not "
            "exceed its end_pos.",
            load_case.id, id, line.start_pos, line.end_pos));
      const double slack = 1e-9 * m.length;
      if (line.start_pos < -slack || line.end_pos > m.length + slack)
        return failure(fmt::format(
            "Load case {} has a line load on member {} from {} to {}, outside the member "
            "(length {}).",
            load_case.id, id, line.start_pos, line.end_pos, m.length));
      if (line.start_pos == line.end_pos) continue;
      if (m.switching() || m.type == model::MemberType::Rigid)
        return failure(
            fmt::format("Member {} is a {} member and cannot carry the line load of load case {}.",
                        id, type_name(m.type), load_case.id));
      const linalg::Vector3 global{line.magnitude * line.direction[0],
                                   line.magnitude * line.direction[1],
                                   line.magnitude * line.direction[2]};
      MemberLineLoad& load = structure.line_loads[c].emplace_back();
      load.member = entry->second;
      load.load.start = std::clamp(line.start_pos, 0.0, m.length);
      load.load.end = std::clamp(line.end_pos, 0.0, m.length);
      load.load.q = m.axes * global;
    }
  }
  return {};
}

// Groups the nodes that rigid links join: each group follows one node, its root (the one with a
// support, if any), and the links are ordered from the leaves towards the roots.
std::expected<void, std::string> join_rigid_links(Structure& structure) {
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
  for (std::size_t first = 0; first < nodes; ++first) {
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
          return failure(fmt::format(
              "Rigid links join nodes {} and {}, which both have supports: give the supports to "
              "one of them.",
              root + 1, n + 1));
      }
    // Breadth first from the root; a link met a second time closes a loop.
    std::vector<std::size_t> order = {root};
    std::vector<std::uint8_t> reached(nodes, 0);
    reached[root] = 1;
    std::vector<Structure::Link> group_links;
    std::vector<std::uint8_t> used(structure.members.size(), 0);
    for (std::size_t i = 0; i < order.size(); ++i)
      for (const std::size_t m : links[order[i]]) {
        if (used[m]) continue;
        used[m] = 1;
        const StructureMember& link = structure.members[m];
        const std::size_t other = (link.start - 1 == order[i] ? link.end : link.start) - 1;
        if (reached[other])
          return failure(fmt::format(
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

}  // namespace

std::expected<Structure, std::string> build_structure(const model::VELM& model) {
  if (auto valid = reject_repeated_ids(model); !valid) return failure(valid.error());
  if (auto valid = model::reject_node_zero(model.member_sets); !valid) return failure(valid.error());
  if (auto valid = model::validate_node_ids(model.member_sets); !valid) return failure(valid.error());

  Structure structure;
  structure.model = &model;
  structure.node_count = node_count(model.member_sets);
  const model::LookupMaps maps = model::build_lookup_maps(model);

  std::size_t member_total = 0;
  for (const model::MemberSet& set : model.member_sets) member_total += set.members.size();
  structure.members.reserve(member_total);
  for (const model::MemberSet& set : model.member_sets) {
    for (const model::Member& member : set.members) {
      auto properties = member_properties(member, maps);
      if (!properties) return failure(properties.error());
      auto ends = member_ends(member, maps);
      if (!ends) return failure(ends.error());
      StructureMember& m = structure.members.emplace_back();
      m.id = member.id;
      m.start = member.start_node.id;
      m.end = member.end_node.id;
      m.properties = *properties;
      m.type = member.member_type;
      m.ends = *ends;
      m.released = std::any_of(ends->begin(), ends->end(), [](const auto& e) { return bool(e); });
      structure.has_switching_members |= m.switching();
    }
  }

  auto coordinates = node_coordinates(model, structure.node_count);
  if (!coordinates) return failure(coordinates.error());
  structure.coordinates = std::move(*coordinates);

  std::size_t index = 0;
  for (const model::MemberSet& set : model.member_sets) {
    for (const model::Member& member : set.members) {
      StructureMember& m = structure.members[index++];
      const double* a = structure.xyz(m.start);
      const double* b = structure.xyz(m.end);
      const linalg::Vector3 start{a[0], a[1], a[2]}, end{b[0], b[1], b[2]};
      std::optional<linalg::Vector3> reference;
      if (member.reference_node) {
        const std::uint32_t r = *member.reference_node;
        if (r == 0 || r > structure.node_count)
          return failure(fmt::format(
              "Member {} names reference node {}, which is not a node of the model.", m.id, r));
        const double* p = structure.xyz(r);
        reference = linalg::Vector3{p[0], p[1], p[2]};
      }
      if (!std::isfinite(member.rotation_angle))
        return failure(fmt::format("Member {} has a non-finite rotation_angle.", m.id));
      const auto axes = mechanics::oriented_axes(start, end, reference, member.rotation_angle);
      if (!axes) {
        if (reference && (end - start).norm() >= mechanics::kLengthTolerance)
          return failure(fmt::format(
              "The reference node {} of member {} lies on the member's axis: it cannot orient "
              "the section.",
              *member.reference_node, m.id));
        return failure(fmt::format(
            "Member {} has coincident ends (nodes {} and {}): its start and end nodes are the "
            "same or too close to define a direction.",
            m.id, m.start, m.end));
      }
      m.axes = *axes;
      const linalg::Vector3 d = end - start;
      m.length = std::sqrt(d.x() * d.x() + d.y() * d.y() + d.z() * d.z());
    }
  }

  if (auto valid = apply_supports(model, structure); !valid) return failure(valid.error());
  if (auto valid = check_loads(model, structure.node_count); !valid) return failure(valid.error());
  if (auto valid = index_line_loads(model, structure); !valid) return failure(valid.error());
  structure.axial_only_nodes.assign(structure.node_count, 1);
  for (const StructureMember& m : structure.members)
    if (!m.axial_only())
      structure.axial_only_nodes[m.start - 1] = structure.axial_only_nodes[m.end - 1] = 0;
  if (auto valid = join_rigid_links(structure); !valid) return failure(valid.error());
  return structure;
}

std::vector<std::uint8_t> eliminated_dofs(const Structure& structure) {
  std::vector<std::uint8_t> eliminated = structure.restraints;
  for (std::size_t n = 0; n < structure.node_count; ++n) {
    if (structure.axial_only_nodes[n])
      for (std::size_t k = 3; k < 6; ++k) eliminated[6 * n + k] = 1;
    if (structure.root[n] != n + 1)
      for (std::size_t k = 0; k < 6; ++k) eliminated[6 * n + k] = 1;
  }
  return eliminated;
}

}  // namespace velm::frame
