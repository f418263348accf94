// Small frames drawn from a stream of bytes: nodes on a coarse grid (so that members line up,
// cross and meet at right angles as real frames do), members of every type between them,
// sections from stiff to slender, hinges and springs, supports that fix any set of dofs, nodal
// and line loads in several cases and combinations. Every document is well formed; many are
// mechanisms or otherwise refused, which is the point: what the engine accepts must hold.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/velm.hpp"

namespace velm::fuzz {

// The bytes as a source of small choices; zeros once they run out.
class ByteSource {
 public:
  explicit ByteSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint8_t byte() { return next_ < bytes_.size() ? bytes_[next_++] : 0; }
  // 0 .. count-1.
  std::size_t pick(std::size_t count) { return count == 0 ? 0 : byte() % count; }
  bool chance(int in_256) { return byte() < in_256; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t next_ = 0;
};

inline model::VELM generate_model(ByteSource& in) {
  static constexpr double kGrid[] = {0.0, 1.0, 2.0, 3.0, 4.5};
  static constexpr double kAreas[] = {1e-2, 1e-3, 5e-2};
  static constexpr double kInertias[] = {1e-4, 1e-6, 2e-5, 1e-9};
  static constexpr double kSprings[] = {0.0, 1e3, 1e6, 1e9};
  static constexpr double kDirections[][3] = {
      {1, 0, 0}, {0, 1, 0}, {0, 0, -1}, {1, 1, 0}, {0.3, -0.2, 1}};
  static constexpr model::MemberType kTypes[] = {
      model::MemberType::Normal, model::MemberType::Normal,  model::MemberType::Normal,
      model::MemberType::Truss,  model::MemberType::Tension, model::MemberType::Compression,
      model::MemberType::Rigid};
  model::VELM m;
  m.materials.push_back({1, "Steel", 210e9, 81e9, 7850.0, 355e6});
  m.materials.push_back({2, "Timber", 11e9, 0.69e9, 420.0, 24e6});
  for (std::uint32_t s = 1; s <= 3; ++s) {
    model::Section section;
    section.id = s;
    section.name = "S" + std::to_string(s);
    section.material = 1 + static_cast<std::uint32_t>(in.pick(2));
    section.area = kAreas[in.pick(std::size(kAreas))];
    section.i_y = kInertias[in.pick(std::size(kInertias))];
    section.i_z = kInertias[in.pick(std::size(kInertias))];
    section.j = kInertias[in.pick(std::size(kInertias))];
    m.sections.push_back(section);
  }
  std::vector<model::MemberHinge> hinges;
  for (std::uint32_t h = 1; h <= 2; ++h) {
    model::MemberHinge hinge;
    hinge.id = h;
    std::optional<double>* releases[] = {
        &hinge.translational_release_vx, &hinge.translational_release_vy,
        &hinge.translational_release_vz, &hinge.rotational_release_mx,
        &hinge.rotational_release_my,    &hinge.rotational_release_mz};
    for (std::optional<double>* release : releases)
      if (in.chance(80)) *release = kSprings[in.pick(std::size(kSprings))];
    hinges.push_back(hinge);
  }
  m.memberhinges = hinges;

  const std::uint32_t supports = 1 + static_cast<std::uint32_t>(in.pick(3));
  for (std::uint32_t s = 1; s <= supports; ++s) {
    model::NodalSupport support;
    support.id = s;
    static constexpr const char* kAxes[] = {"X", "Y", "Z"};
    for (const char* axis : kAxes) {
      if (in.chance(170)) support.displacement_conditions.insert_or_assign(axis, "Fixed");
      if (in.chance(110)) support.rotation_conditions.insert_or_assign(axis, "Fixed");
    }
    m.nodal_supports.push_back(support);
  }

  // Nodes 1..N on the grid, distinct positions; each perhaps supported.
  const std::size_t node_count = 2 + in.pick(9);
  std::vector<model::Node> nodes;
  while (nodes.size() < node_count) {
    model::Node node;
    node.id = static_cast<std::uint32_t>(nodes.size() + 1);
    node.X = kGrid[in.pick(std::size(kGrid))];
    node.Y = in.chance(90) ? kGrid[in.pick(std::size(kGrid))] : 0.0;
    node.Z = kGrid[in.pick(std::size(kGrid))];
    const bool taken = std::any_of(nodes.begin(), nodes.end(), [&](const model::Node& other) {
      return other.X == node.X && other.Y == node.Y && other.Z == node.Z;
    });
    if (taken) {
      node.X += 0.25 * static_cast<double>(nodes.size() + 1);  // a fresh position
    }
    if (in.chance(70)) node.nodal_support = 1 + static_cast<std::uint32_t>(in.pick(supports));
    nodes.push_back(node);
  }
  // Members: a chain through every node (so that node ids run 1..N), then a few more.
  model::MemberSet set;
  set.id = 1;
  const std::size_t extra = in.pick(6);
  for (std::size_t k = 0; k + 1 < node_count + extra; ++k) {
    const std::size_t a = k + 1 < node_count ? k : in.pick(node_count);
    std::size_t b = k + 1 < node_count ? k + 1 : in.pick(node_count);
    if (b == a) b = (a + 1) % node_count;
    model::Member member;
    member.id = static_cast<std::uint32_t>(set.members.size() + 1);
    member.start_node = nodes[a];
    member.end_node = nodes[b];
    member.section = 1 + static_cast<std::uint32_t>(in.pick(3));
    member.member_type = kTypes[in.pick(std::size(kTypes))];
    member.rotation_angle = in.chance(40) ? 30.0 : 0.0;
    if (in.chance(50)) member.start_hinge = 1 + static_cast<std::uint32_t>(in.pick(2));
    if (in.chance(50)) member.end_hinge = 1 + static_cast<std::uint32_t>(in.pick(2));
    set.members.push_back(member);
  }
  m.member_sets.push_back(set);

  const std::uint32_t cases = 1 + static_cast<std::uint32_t>(in.pick(3));
  for (std::uint32_t c = 1; c <= cases; ++c) {
    model::LoadCase load_case;
    load_case.id = c;
    load_case.name = "Case " + std::to_string(c);
    const std::size_t loads = 1 + in.pick(3);
    for (std::size_t l = 0; l < loads; ++l) {
      model::NodalLoad load;
      load.id = static_cast<std::uint32_t>(l + 1);
      load.node = 1 + static_cast<std::uint32_t>(in.pick(node_count));
      load.load_case = c;
      load.magnitude = 1e3 * static_cast<double>(1 + in.pick(20));
      const double* d = kDirections[in.pick(std::size(kDirections))];
      load.direction = {d[0], d[1], d[2]};
      load.load_type = "Force";
      load_case.nodal_loads.push_back(load);
    }
    if (in.chance(120)) {
      const model::Member& member = set.members[in.pick(set.members.size())];
      if (member.member_type == model::MemberType::Normal ||
          member.member_type == model::MemberType::Truss) {
        model::LineLoad line;
        line.member = member;
        line.load_case = c;
        line.magnitude = 2e3;
        const double* d = kDirections[in.pick(std::size(kDirections))];
        line.direction = {d[0], d[1], d[2]};
        line.start_pos = 0.0;
        line.end_pos = 0.5;
        load_case.line_loads.push_back(line);
      }
    }
    m.load_cases.push_back(load_case);
  }
  if (cases > 1) {
    model::LoadCombination combination;
    combination.load_combination_id = 1;
    combination.name = "Combination";
    for (std::uint32_t c = 1; c <= cases; ++c)
      combination.load_cases_factors.insert_or_assign(c, 0.5 + static_cast<double>(in.pick(3)));
    m.load_combinations.push_back(combination);
  }
  return m;
}

}  // namespace velm::fuzz
