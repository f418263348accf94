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
    // The members' own weights (self_weight) are their density's masses already.
    for (std::size_t i = 0; i < set.nodal.size(); ++i) {
      const frame::NodalForce& load = set.nodal[i];
      if (set.is_weight_nodal(i)) continue;
      const double along = load.force.head<3>().dot(down);
      if (along > 0.0) out.nodes[load.node - 1] += along / magnitude, added = true;
    }
    const auto add_line = [&](std::size_t m, double from, double to, double mass) {
      out.lines.push_back({m, from, to, mass});
      out.heaviest_line[m] += mass;
      added = true;
    };
    for (std::size_t i = 0; i < set.line_loads.size(); ++i) {
      const std::size_t m = set.line_members[i];
      const mechanics::MemberLoad& load = set.line_loads[i];
      if (set.is_weight_line(i) || load.kind == mechanics::MemberLoad::Kind::moment) continue;
      const frame::StructureMember& member = structure.members[m];
      const double along = (member.axes.transpose() * load.q).dot(down);
      if (load.kind == mechanics::MemberLoad::Kind::force) {
        // A concentrated load's mass at the member's end nodes, split as a simple beam's
        // reactions (its total and its centre kept).
        if (!(along > 0.0)) continue;
        const double share = load.start / member.length;
        out.nodes[member.start - 1] += (1.0 - share) * along / magnitude;
        out.nodes[member.end - 1] += share * along / magnitude;
        added = true;
        continue;
      }
      if (!(load.end > load.start)) continue;
      if (!load.varying()) {
        if (along > 0.0) add_line(m, load.start, load.end, along / magnitude);
        continue;
      }
      // A varying load as strips of its intensity at their middles (the total kept exactly).
      const double change = (member.axes.transpose() * load.dq).dot(down);
      constexpr int kStrips = 8;
      const double h = (load.end - load.start) / kStrips;
      for (int k = 0; k < kStrips; ++k) {
        const double intensity = along + (k + 0.5) / kStrips * change;
        if (intensity > 0.0)
          add_line(m, load.start + k * h, k + 1 == kStrips ? load.end : load.start + (k + 1) * h,
                   intensity / magnitude);
      }
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
