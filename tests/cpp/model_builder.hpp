// Small models written directly as records, for the solver and mechanics tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/velm.hpp"

namespace velm::testing {

inline model::Node node(std::uint32_t id, double x, double y, double z,
                        std::optional<std::uint32_t> support = std::nullopt) {
  return {id, x, y, z, support};
}

inline model::Member member(std::uint32_t id, const model::Node& start, const model::Node& end,
                            std::uint32_t section = 1) {
  model::Member m;
  m.id = id;
  m.start_node = start;
  m.end_node = end;
  m.section = section;
  return m;
}

// A support fixing the dofs named in `fixed` (characters of "xyzXYZ": lower case translations,
// upper case rotations).
inline model::NodalSupport support(std::uint32_t id, std::string_view fixed) {
  model::NodalSupport s;
  s.id = id;
  for (const char c : fixed) {
    if (c >= 'x' && c <= 'z')
      s.displacement_conditions.insert_or_assign(std::string(1, char(c - 'x' + 'X')), "Fixed");
    else
      s.rotation_conditions.insert_or_assign(std::string(1, c), "Fixed");
  }
  return s;
}

inline model::NodalSupport fixed_support(std::uint32_t id) {
  return support(id, "xyzXYZ");
}

inline model::NodalLoad load(std::uint32_t id, std::uint32_t node_id, double magnitude,
                             model::Vector3 direction) {
  model::NodalLoad l;
  l.id = id;
  l.node = node_id;
  l.load_case = 1;
  l.magnitude = magnitude;
  l.direction = direction;
  l.load_type = "Force";
  return l;
}

struct SectionData {
  double e = 210e9, g = 80e9, area = 0.01, i_y = 2e-5, i_z = 8e-6, j = 1e-5;
};

// One material (id 1) and one section (id 1) with the given properties, one member set with
// the members, one load case (id 1) with the loads.
inline model::VELM frame(std::vector<model::Member> members,
                         std::vector<model::NodalSupport> supports,
                         std::vector<model::NodalLoad> loads, const SectionData& data = {}) {
  model::VELM m;
  m.materials.push_back({1, "Steel", data.e, data.g, 7850.0, 355e6});
  model::Section section;
  section.id = 1;
  section.name = "Test";
  section.material = 1;
  section.area = data.area;
  section.i_y = data.i_y;
  section.i_z = data.i_z;
  section.j = data.j;
  m.sections.push_back(section);
  m.member_sets.push_back({1, std::nullopt, std::nullopt, std::nullopt, std::move(members)});
  m.nodal_supports = std::move(supports);
  model::LoadCase load_case;
  load_case.id = 1;
  load_case.name = "LC1";
  load_case.nodal_loads = std::move(loads);
  m.load_cases.push_back(std::move(load_case));
  return m;
}

}  // namespace velm::testing
