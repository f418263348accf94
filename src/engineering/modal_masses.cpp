#include "engineering/modal_masses.hpp"

#include <fmt/format.h>

#include <cmath>

#include "frame/load_sets.hpp"

namespace velm::engineering {

base::Expected<MemberMasses> member_masses(const frame::Structure& structure,
                                           const ModalOptions& options) {
  MemberMasses out;
  out.own.resize(structure.members.size());
  out.heaviest_line.assign(structure.members.size(), 0.0);
  out.nodes.assign(structure.node_count, 0.0);
  bool any = false;
  for (std::size_t m = 0; m < structure.members.size(); ++m) {
    const frame::StructureMember& member = structure.members[m];
    const mechanics::FrameProperties& p = member.properties;
    if (!std::isfinite(p.density) || p.density < 0.0)
      return base::fail(base::ErrorCode::invalid_model,
                        fmt::format("Member {} has a material density of {}: a mass needs a "
                                    "finite density of 0 or more.",
                                    member.id, p.density));
    if (member.type == model::MemberType::Rigid) continue;
    out.own[m].translational = p.density * p.area;
    if (!member.axial_only()) out.own[m].torsional = p.density * (p.i_y + p.i_z);
    any = any || out.own[m].translational > 0.0;
  }
  if (any) out.source = "density";
  if (options.mass_combination) {
    const std::uint32_t id = *options.mass_combination;
    const frame::Combination* combination = nullptr;
    for (const frame::Combination& c : structure.combinations)
      if (c.id == id) combination = &c;
    if (combination == nullptr)
      return base::fail(base::ErrorCode::invalid_model,
                        fmt::format("The mass combination {} is not a load combination of the "
                                    "model.",
                                    id));
    const linalg::Vector3 g{options.gravity[0], options.gravity[1], options.gravity[2]};
    const double magnitude = g.norm();
    if (!(magnitude > 0.0) || !std::isfinite(magnitude))
      return base::fail(base::ErrorCode::invalid_model,
                        "The gravity of the mass combination must be finite and not zero.");
    const linalg::Vector3 down = g / magnitude;
    const frame::LoadSet set = frame::combination_loads(structure, *combination);
    bool added = false;
    for (const frame::NodalForce& load : set.nodal) {
      const double along = load.force.head<3>().dot(down);
      if (along > 0.0) out.nodes[load.node - 1] += along / magnitude, added = true;
    }
    for (std::size_t i = 0; i < set.line_loads.size(); ++i) {
      const std::size_t m = set.line_members[i];
      const mechanics::MemberLoad& load = set.line_loads[i];
      const double along = (structure.members[m].axes.transpose() * load.q).dot(down);
      if (!(along > 0.0) || !(load.end > load.start)) continue;
      out.lines.push_back({m, load.start, load.end, along / magnitude});
      out.heaviest_line[m] += along / magnitude;
      added = true;
    }
    const std::string from = fmt::format("load combination {}", id);
    out.source = out.source.empty() ? from : out.source + " and " + from;
    any = any || added;
  }
  if (!any)
    return base::fail(base::ErrorCode::invalid_model,
                      options.mass_combination
                          ? "The model has no mass: its materials have density 0 and the mass "
                            "combination has no load along gravity."
                          : "The model has no mass: its materials have density 0 and no mass "
                            "combination is given.");
  return out;
}

std::vector<mechanics::LineMass> segment_masses(const frame::Subdivision& cut,
                                                const MemberMasses& masses) {
  const std::vector<frame::StructureMember>& segments = cut.structure.members;
  std::vector<mechanics::LineMass> out(segments.size());
  for (std::size_t s = 0; s < segments.size(); ++s) out[s] = masses.own[cut.original[s]];
  for (const LineMassPart& part : masses.lines) {
    const std::size_t first = cut.first_segment[part.member];
    if (cut.segment_count[part.member] == 1 && segments[first].axial_only()) {
      // A bar is not cut: its line mass is spread over it (the same total).
      out[first].translational += part.mass * (part.to - part.from) / segments[first].length;
      continue;
    }
    for (std::size_t s = first; s < first + cut.segment_count[part.member]; ++s) {
      const double middle = cut.offset[s] + 0.5 * segments[s].length;
      if (middle > part.from && middle < part.to) out[s].translational += part.mass;
    }
  }
  return out;
}

}  // namespace velm::engineering
