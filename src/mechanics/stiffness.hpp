// Local stiffness of a straight prismatic space-frame member.
#pragma once

#include <optional>

#include "linalg/types.hpp"
#include "model/lookup_maps.hpp"
#include "model/member.hpp"

namespace velm::mechanics {

// What the element stiffness reads of a member's material and section.
struct FrameProperties {
  double e_mod = 0.0;  // E
  double g_mod = 0.0;  // G
  double area = 0.0;   // A
  double i_y = 0.0;    // bending in the local x-z plane
  double i_z = 0.0;    // bending in the local x-y plane
  double j = 0.0;      // torsion constant
  double density = 0.0;  // mass per volume (the dynamic analysis only)
};

// The section a member names and that section's material, found in the maps; null where the
// maps hold none (the material is null too when the section is missing).
struct MemberSection {
  const model::Section* section = nullptr;
  const model::Material* material = nullptr;
};
MemberSection find_member_section(const model::Member& member, const model::MaterialMap& materials,
                                  const model::SectionMap& sections);

// What the element stiffness reads of a section and its material.
FrameProperties frame_properties(const model::Section& section, const model::Material& material);

// The 12 x 12 stiffness k of a two-node Euler-Bernoulli frame element in its local axes (see
// calculate_transformation_matrix_3d), f = k * u with the dofs
//   start UX UY UZ RX RY RZ, end UX UY UZ RX RY RZ   (UX along the member).
// Axial a = EA/L, torsion t = GJ/L, and two uncoupled bending planes:
//   x-y plane (UY, RZ) with I_z:  12EI_z/L^3, 6EI_z/L^2, 4EI_z/L, 2EI_z/L;
//   x-z plane (UZ, RY) with I_y:  the same terms with I_y.
// The coupling terms of the x-z plane carry the opposite sign of those of the x-y plane: a
// positive rotation about local z raises UY, while a positive rotation about local y lowers UZ.
// So (UY1, RZ1) = +6EI_z/L^2 and (UZ1, RY1) = -6EI_y/L^2. No shear deformation, no hinges; the
// member type does not matter.
//
// Returns no matrix when the member's section, or that section's material, is not in the maps.
// The length is not tested: coincident ends give non-finite terms.
std::optional<linalg::Matrix12> calculate_stiffness_matrix_3d(const model::Member& member,
                                                              const model::MaterialMap& materials,
                                                              const model::SectionMap& sections);

// The same matrix from the properties and the length L.
linalg::Matrix12 frame_stiffness(const FrameProperties& properties, double length);

}  // namespace velm::mechanics
