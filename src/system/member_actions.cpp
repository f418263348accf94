#include "system/member_actions.hpp"

#include "mechanics/end_releases.hpp"
#include "mechanics/transformation.hpp"

namespace velm::system {

MemberActions member_actions(const StructureMember& member,
                             std::span<const mechanics::MemberLoad> loads) {
  const linalg::Matrix12 k = mechanics::frame_stiffness(member.properties, member.length);
  const linalg::Vector12 f0 = loads.empty() ? linalg::Vector12::Zero().eval()
                                            : mechanics::fixed_end_forces(loads, member.length);
  if (!member.released) return {k, f0, false};
  const mechanics::CondensedMember condensed = mechanics::condense(k, f0, member.ends);
  return {condensed.stiffness, condensed.fixed_end_forces, condensed.load_not_carried};
}

linalg::Matrix6 follower_map(const Structure& structure, std::uint32_t node_id) {
  linalg::Matrix6 c = linalg::Matrix6::Identity();
  const std::uint32_t root = structure.root.empty() ? node_id : structure.root[node_id - 1];
  if (root == node_id) return c;
  const double* p = structure.xyz(node_id);
  const double* q = structure.xyz(root);
  const double r[3] = {p[0] - q[0], p[1] - q[1], p[2] - q[2]};
  // theta x r = -[r]x theta
  c(0, 4) = r[2];
  c(0, 5) = -r[1];
  c(1, 3) = -r[2];
  c(1, 5) = r[0];
  c(2, 3) = r[1];
  c(2, 4) = -r[0];
  return c;
}

std::vector<std::array<std::uint32_t, 2>> member_couplings(const Structure& structure) {
  std::vector<std::array<std::uint32_t, 2>> pairs;
  pairs.reserve(structure.members.size());
  for (const StructureMember& m : structure.members)
    if (m.type != model::MemberType::Rigid)
      pairs.push_back({structure.root[m.start - 1], structure.root[m.end - 1]});
  return pairs;
}

ElementDofs member_unknowns(const Structure& structure, const DofNumbering& dofs,
                            const StructureMember& member) {
  ElementDofs element{};
  const std::uint32_t ends[2] = {member.start, member.end};
  for (std::size_t side = 0; side < 2; ++side) {
    const std::uint32_t node = structure.root.empty() ? ends[side] : structure.root[ends[side] - 1];
    for (std::size_t k = 0; k < 6; ++k)
      element[6 * side + k] = dofs.index[6 * (node - std::size_t{1}) + k];
  }
  return element;
}

void to_unknowns(const Structure& structure, const StructureMember& member,
                 const linalg::Matrix12& local, const linalg::Vector12& local_forces,
                 linalg::Matrix12* global, linalg::Vector12* global_forces) {
  if (global != nullptr) *global = mechanics::to_global_axes(local, member.axes);
  if (global_forces != nullptr)
    for (int b = 0; b < 4; ++b)
      global_forces->segment<3>(3 * b) = member.axes.transpose() * local_forces.segment<3>(3 * b);
  const bool start_follows =
      !structure.root.empty() && structure.root[member.start - 1] != member.start;
  const bool end_follows = !structure.root.empty() && structure.root[member.end - 1] != member.end;
  if (!start_follows && !end_follows) return;
  linalg::Matrix12 g = linalg::Matrix12::Zero();
  g.block<6, 6>(0, 0) = follower_map(structure, member.start);
  g.block<6, 6>(6, 6) = follower_map(structure, member.end);
  if (global != nullptr) {
    const linalg::Matrix12 gt_k = g.transpose() * *global;
    *global = gt_k * g;
  }
  if (global_forces != nullptr) {
    const linalg::Vector12 moved = g.transpose() * *global_forces;
    *global_forces = moved;
  }
}

}  // namespace velm::system
