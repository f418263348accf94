#include "frame/members.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <tuple>

#include "frame/checks.hpp"
#include "mechanics/stiffness.hpp"
#include "mechanics/transformation.hpp"

namespace velm::frame {

namespace {

// The end connections of a member from its hinges: per local direction none (rigid), 0
// (released) or a spring stiffness.
base::Expected<mechanics::EndConnections> member_ends(const model::Member& member,
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
      return invalid(
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
        return invalid(fmt::format(
            "Hinge {} of member {} has {} = {}, which must be 0 (released), a positive spring "
            "stiffness, or absent (rigid).",
            hinge.id, member.id, key, *value));
      ends[first + k] = *value;
    }
  }
  return ends;
}

base::Expected<mechanics::FrameProperties> member_properties(const model::Member& member,
                                                             const model::LookupMaps& maps) {
  const mechanics::MemberSection found =
      mechanics::find_member_section(member, maps.materials, maps.sections);
  if (found.section == nullptr)
    return invalid(fmt::format("Member {} names section {}, which is not in the model's sections.",
                               member.id, member.section));
  const model::Section& section = *found.section;
  if (found.material == nullptr)
    return invalid(fmt::format(
        "Section {} of member {} names material {}, which is not in the model's materials.",
        section.id, member.id, section.material));
  const model::Material& material = *found.material;

  const auto positive = [](double value) { return std::isfinite(value) && value > 0.0; };
  for (const auto& [key, value] : {std::pair{"e_mod", material.e_mod}, {"g_mod", material.g_mod}})
    if (!positive(value))
      return invalid(fmt::format(
          "Material {} of member {} has {} = {}, which must be a positive finite number.",
          material.id, member.id, key, value));
  for (const auto& [key, value] : {std::pair{"area", section.area},
                                   {"i_y", section.i_y},
                                   {"i_z", section.i_z},
                                   {"j", section.j}})
    if (!positive(value))
      return invalid(fmt::format(
          "Section {} of member {} has {} = {}, which must be a positive finite number.",
          section.id, member.id, key, value));
  return mechanics::frame_properties(section, material);
}

}  // namespace

base::Expected<std::vector<StructureMember>> read_members(const model::VELM& model,
                                                          const model::LookupMaps& maps,
                                                          CheckProgress& progress) {
  std::size_t member_total = 0;
  for (const model::MemberSet& set : model.member_sets) member_total += set.members.size();
  std::vector<StructureMember> members;
  members.reserve(member_total);
  for (const model::MemberSet& set : model.member_sets) {
    for (const model::Member& member : set.members) {
      if (!progress.keep_going()) return cancelled();
      auto properties = member_properties(member, maps);
      if (!properties) return std::unexpected(std::move(properties.error()));
      auto ends = member_ends(member, maps);
      if (!ends) return std::unexpected(std::move(ends.error()));
      StructureMember& m = members.emplace_back();
      m.id = member.id;
      m.start = member.start_node.id;
      m.end = member.end_node.id;
      m.properties = *properties;
      m.type = member.member_type;
      m.ends = *ends;
      m.released = std::any_of(ends->begin(), ends->end(), [](const auto& e) { return bool(e); });
      const mechanics::MemberSection found =
          mechanics::find_member_section(member, maps.materials, maps.sections);
      m.material = found.material->id;
      m.mass_per_length = found.material->density * found.section->area;
    }
  }
  return members;
}

base::Expected<std::vector<double>> node_coordinates(const model::VELM& model,
                                                     std::uint32_t node_count,
                                                     CheckProgress& progress) {
  std::vector<double> xyz(3 * std::size_t{node_count}, 0.0);
  std::vector<std::uint32_t> given_by(node_count, 0);
  std::vector<bool> known(node_count, false);
  double low[3] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
                   std::numeric_limits<double>::infinity()};
  double high[3] = {-low[0], -low[1], -low[2]};
  for (const model::MemberSet& set : model.member_sets) {
    for (const model::Member& member : set.members) {
      if (!progress.keep_going()) return cancelled();
      for (const model::Node* node : {&member.start_node, &member.end_node}) {
        const double c[3] = {node->X, node->Y, node->Z};
        if (!std::isfinite(c[0]) || !std::isfinite(c[1]) || !std::isfinite(c[2]))
          return invalid(fmt::format("Node {} has a non-finite coordinate in member {}.", node->id,
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
      if (!progress.keep_going()) return cancelled();
      for (const model::Node* node : {&member.start_node, &member.end_node}) {
        const std::size_t n = node->id - 1;
        const double* first = &xyz[3 * n];
        if (std::abs(node->X - first[0]) > tolerance || std::abs(node->Y - first[1]) > tolerance ||
            std::abs(node->Z - first[2]) > tolerance)
          return invalid(fmt::format(
              "Node {} is given different coordinates by member {} ({}, {}, {}) and member {} "
              "({}, {}, {}).",
              node->id, given_by[n], first[0], first[1], first[2], member.id, node->X, node->Y,
              node->Z));
      }
    }
  }
  return xyz;
}

base::Expected<void> orient_members(const model::VELM& model, Structure& structure,
                                    CheckProgress& progress) {
  std::size_t index = 0;
  for (const model::MemberSet& set : model.member_sets) {
    for (const model::Member& member : set.members) {
      if (!progress.keep_going()) return cancelled();
      StructureMember& m = structure.members[index++];
      const double* a = structure.xyz(m.start);
      const double* b = structure.xyz(m.end);
      const linalg::Vector3 start{a[0], a[1], a[2]}, end{b[0], b[1], b[2]};
      std::optional<linalg::Vector3> reference;
      if (member.reference_node) {
        const std::uint32_t r = *member.reference_node;
        if (r == 0 || r > structure.node_count)
          return invalid(fmt::format(
              "Member {} names reference node {}, which is not a node of the model.", m.id, r));
        const double* p = structure.xyz(r);
        reference = linalg::Vector3{p[0], p[1], p[2]};
      }
      if (!std::isfinite(member.rotation_angle))
        return invalid(fmt::format("Member {} has a non-finite rotation_angle.", m.id));
      const auto axes = mechanics::oriented_axes(start, end, reference, member.rotation_angle);
      if (!axes) {
        if (reference && (end - start).norm() >= mechanics::kLengthTolerance)
          return invalid(fmt::format(
              "The reference node {} of member {} lies on the member's axis: it cannot orient "
              "the section.",
              *member.reference_node, m.id));
        return invalid(fmt::format(
            "Member {} has coincident ends (nodes {} and {}): its start and end nodes are the "
            "same or too close to define a direction.",
            m.id, m.start, m.end));
      }
      m.axes = *axes;
      const linalg::Vector3 d = end - start;
      m.length = std::sqrt(d.x() * d.x() + d.y() * d.y() + d.z() * d.z());
      // E, G and the section values are each finite, but their products over powers of the
      // length may not be (12 E I / L^3 beyond the largest double).
      const linalg::Matrix12 k = mechanics::frame_stiffness(m.properties, m.length);
      if (!k.allFinite())
        return invalid(
            fmt::format("Member {} has a stiffness out of range: its material and "
                        "section give entries beyond the largest number.",
                        m.id));
    }
  }
  return {};
}

}  // namespace velm::frame
