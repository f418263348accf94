#include "mechanics/stiffness.hpp"

#include <cmath>

namespace velm::mechanics {

MemberSection find_member_section(const model::Member& member, const model::MaterialMap& materials,
                                  const model::SectionMap& sections) {
  const auto section_entry = sections.find(member.section);
  if (section_entry == sections.end()) return {};
  const auto material_entry = materials.find(section_entry->second->material);
  if (material_entry == materials.end()) return {section_entry->second, nullptr};
  return {section_entry->second, material_entry->second};
}

FrameProperties frame_properties(const model::Section& section, const model::Material& material) {
  return {material.e_mod, material.g_mod, section.area, section.i_y,
          section.i_z,    section.j,     material.density};
}

std::optional<linalg::Matrix12> calculate_stiffness_matrix_3d(const model::Member& member,
                                                              const model::MaterialMap& materials,
                                                              const model::SectionMap& sections) {
  const MemberSection found = find_member_section(member, materials, sections);
  if (found.material == nullptr) return std::nullopt;

  const model::Node& p = member.start_node;
  const model::Node& q = member.end_node;
  const double l =
      std::sqrt((p.X - q.X) * (p.X - q.X) + (p.Y - q.Y) * (p.Y - q.Y) + (p.Z - q.Z) * (p.Z - q.Z));
  return frame_stiffness(frame_properties(*found.section, *found.material), l);
}

linalg::Matrix12 frame_stiffness(const FrameProperties& properties, double l) {
  const double e = properties.e_mod;
  const double a = e * properties.area / l;
  const double t = properties.g_mod * properties.j / l;
  const double z12 = 12.0 * e * properties.i_z / (l * l * l);
  const double z6 = 6.0 * e * properties.i_z / (l * l);
  const double z4 = 4.0 * e * properties.i_z / l;
  const double z2 = 2.0 * e * properties.i_z / l;
  const double y12 = 12.0 * e * properties.i_y / (l * l * l);
  const double y6 = 6.0 * e * properties.i_y / (l * l);
  const double y4 = 4.0 * e * properties.i_y / l;
  const double y2 = 2.0 * e * properties.i_y / l;

  linalg::Matrix12 k = linalg::Matrix12::Zero();
  // Axial: UX1, UX2.
  k(0, 0) = a;
  k(0, 6) = -a;
  k(6, 0) = -a;
  k(6, 6) = a;
  // Torsion: RX1, RX2.
  k(3, 3) = t;
  k(3, 9) = -t;
  k(9, 3) = -t;
  k(9, 9) = t;
  // Bending in the x-y plane: UY1 (1), RZ1 (5), UY2 (7), RZ2 (11).
  k(1, 1) = z12;
  k(1, 5) = z6;
  k(1, 7) = -z12;
  k(1, 11) = z6;
  k(5, 1) = z6;
  k(5, 5) = z4;
  k(5, 7) = -z6;
  k(5, 11) = z2;
  k(7, 1) = -z12;
  k(7, 5) = -z6;
  k(7, 7) = z12;
  k(7, 11) = -z6;
  k(11, 1) = z6;
  k(11, 5) = z2;
  k(11, 7) = -z6;
  k(11, 11) = z4;
  // Bending in the x-z plane: UZ1 (2), RY1 (4), UZ2 (8), RY2 (10); coupling signs reversed.
  k(2, 2) = y12;
  k(2, 4) = -y6;
  k(2, 8) = -y12;
  k(2, 10) = -y6;
  k(4, 2) = -y6;
  k(4, 4) = y4;
  k(4, 8) = y6;
  k(4, 10) = y2;
  k(8, 2) = -y12;
  k(8, 4) = y6;
  k(8, 8) = y12;
  k(8, 10) = y6;
  k(10, 2) = -y6;
  k(10, 4) = y2;
  k(10, 8) = y6;
  k(10, 10) = y4;
  return k;
}

}  // namespace velm::mechanics
