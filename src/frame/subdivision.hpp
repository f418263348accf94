// A structure whose members are cut into segments at given points: the same frame with nodes
// added along the members, for analyses that follow what happens between the nodes (the
// vibration of a member between its joints). Segments keep their member's id, axes, section and
// type; the start releases go to the first segment, the end releases to the last.
#pragma once

#include <cstdint>
#include <vector>

#include "frame/structure.hpp"

namespace velm::frame {

struct Subdivision {
  Structure structure;  // the nodes of the original first (same ids), then the added ones
  // Per original member: the index of its first segment in structure.members, and how many.
  std::vector<std::size_t> first_segment;
  std::vector<std::uint32_t> segment_count;
  // Per segment: the original member, and where along it the segment starts.
  std::vector<std::size_t> original;
  std::vector<double> offset;
};

// `cuts[m]`: points strictly between the ends of member m (distances from its start,
// ascending); rigid links and axial-only members take none. Load cases and combinations are
// left out (the subdivision serves analyses that take their loads otherwise).
Subdivision subdivided_structure(const Structure& structure,
                                 const std::vector<std::vector<double>>& cuts);

}  // namespace velm::frame
