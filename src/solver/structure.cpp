#include "solver/structure.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <unordered_set>

#include "mechanics/transformation.hpp"
#include "solver/lookup_maps.hpp"
#include "solver/node_ids.hpp"
#include "solver/supports.hpp"

namespace velm::solver {

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

std::expected<mechanics::FrameProperties, std::string> member_properties(
    const model::Member& member, const LookupMaps& maps) {
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
    structure.support_dofs.push_back(fixed_dofs(model.nodal_supports[i]));
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

}  // namespace

std::expected<Structure, std::string> build_structure(const model::VELM& model) {
  if (auto valid = reject_repeated_ids(model); !valid) return failure(valid.error());
  if (auto valid = reject_node_zero(model.member_sets); !valid) return failure(valid.error());
  if (auto valid = validate_node_ids(model.member_sets); !valid) return failure(valid.error());

  Structure structure;
  structure.model = &model;
  structure.node_count = node_count(model.member_sets);
  const LookupMaps maps = build_lookup_maps(model);

  std::size_t member_total = 0;
  for (const model::MemberSet& set : model.member_sets) member_total += set.members.size();
  structure.members.reserve(member_total);
  for (const model::MemberSet& set : model.member_sets) {
    for (const model::Member& member : set.members) {
      auto properties = member_properties(member, maps);
      if (!properties) return failure(properties.error());
      StructureMember& m = structure.members.emplace_back();
      m.id = member.id;
      m.start = member.start_node.id;
      m.end = member.end_node.id;
      m.properties = *properties;
    }
  }

  auto coordinates = node_coordinates(model, structure.node_count);
  if (!coordinates) return failure(coordinates.error());
  structure.coordinates = std::move(*coordinates);

  for (StructureMember& m : structure.members) {
    const double* a = &structure.coordinates[3 * (m.start - 1)];
    const double* b = &structure.coordinates[3 * (m.end - 1)];
    const linalg::Vector3 start{a[0], a[1], a[2]}, end{b[0], b[1], b[2]};
    const auto axes = mechanics::local_axes(start, end);
    if (!axes)
      return failure(fmt::format(
          "Member {} has coincident ends (nodes {} and {}): its start and end nodes are the same "
          "or too close to define a direction.",
          m.id, m.start, m.end));
    m.axes = *axes;
    const linalg::Vector3 d = end - start;
    m.length = std::sqrt(d.x() * d.x() + d.y() * d.y() + d.z() * d.z());
  }

  if (auto valid = apply_supports(model, structure); !valid) return failure(valid.error());
  if (auto valid = check_loads(model, structure.node_count); !valid) return failure(valid.error());
  return structure;
}

}  // namespace velm::solver
