#include "frame/subdivision.hpp"

namespace velm::frame {

Subdivision subdivided_structure(const Structure& from,
                                 const std::vector<std::vector<double>>& cuts) {
  Subdivision out;
  Structure& s = out.structure;
  s.node_count = from.node_count;
  s.coordinates = from.coordinates;
  s.restraints = from.restraints;
  s.support_ids = from.support_ids;
  s.support_dofs = from.support_dofs;
  s.support_nodes = from.support_nodes;
  s.support_springs = from.support_springs;
  s.springs = from.springs;
  s.axial_only_nodes = from.axial_only_nodes;
  s.root = from.root;
  s.has_switching_members = from.has_switching_members;
  out.first_segment.reserve(from.members.size());
  out.segment_count.reserve(from.members.size());
  std::vector<std::size_t> new_index(from.members.size());
  for (std::size_t m = 0; m < from.members.size(); ++m) {
    const StructureMember& member = from.members[m];
    const std::vector<double>& at = cuts[m];
    out.first_segment.push_back(s.members.size());
    out.segment_count.push_back(static_cast<std::uint32_t>(at.size() + 1));
    new_index[m] = s.members.size();
    if (at.empty()) {
      s.members.push_back(member);
      out.original.push_back(m);
      out.offset.push_back(0.0);
      continue;
    }
    const double* origin = from.xyz(member.start);
    std::uint32_t previous = member.start;
    double previous_at = 0.0;
    for (std::size_t c = 0; c <= at.size(); ++c) {
      const bool last = c == at.size();
      std::uint32_t next = member.end;
      const double next_at = last ? member.length : at[c];
      if (!last) {
        next = ++s.node_count;
        for (int k = 0; k < 3; ++k)
          s.coordinates.push_back(origin[k] + next_at * member.axes(0, k));
        s.restraints.insert(s.restraints.end(), 6, 0);
        if (!s.springs.empty()) s.springs.insert(s.springs.end(), 6, 0.0);
        s.axial_only_nodes.push_back(0);
        s.root.push_back(next);
      }
      StructureMember segment = member;
      segment.start = previous;
      segment.end = next;
      segment.length = next_at - previous_at;
      for (std::size_t k = 0; k < 6; ++k) {
        if (c != 0) segment.ends[k].reset();
        if (!last) segment.ends[6 + k].reset();
      }
      segment.released = false;
      for (const auto& end : segment.ends) segment.released = segment.released || end.has_value();
      s.members.push_back(segment);
      out.original.push_back(m);
      out.offset.push_back(previous_at);
      previous = next;
      previous_at = next_at;
    }
  }
  s.links_leaves_first = from.links_leaves_first;
  for (Structure::Link& link : s.links_leaves_first) link.member = new_index[link.member];
  return out;
}

}  // namespace velm::frame
