#include "system/member_unknowns.hpp"

#include "mechanics/transformation.hpp"
#include "system/constraints.hpp"

namespace velm::system {

std::vector<std::array<std::uint32_t, 2>> member_couplings(const frame::Structure& structure) {
  std::vector<std::array<std::uint32_t, 2>> pairs;
  pairs.reserve(structure.members.size());
  for (const frame::StructureMember& m : structure.members)
    if (m.type != model::MemberType::Rigid)
      pairs.push_back({structure.root[m.start - 1], structure.root[m.end - 1]});
  return pairs;
}

mechanics::ElementDofs member_unknowns(const frame::Structure& structure, const DofNumbering& dofs,
                                       const frame::StructureMember& member) {
  mechanics::ElementDofs element{};
  const std::uint32_t ends[2] = {member.start, member.end};
  for (std::size_t side = 0; side < 2; ++side) {
    const std::uint32_t node = structure.root.empty() ? ends[side] : structure.root[ends[side] - 1];
    for (std::size_t k = 0; k < 6; ++k)
      element[6 * side + k] = dofs.index[6 * (node - std::size_t{1}) + k];
  }
  return element;
}

void to_unknowns(const frame::Structure& structure, const frame::StructureMember& member,
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

linalg::Vector12 local_end_displacements(const frame::StructureMember& member,
                                         std::span<const double> field) {
  linalg::Vector12 local;
  for (int b = 0; b < 4; ++b) {
    const double* u =
        &field[6 * ((b < 2 ? member.start : member.end) - 1) + 3 * static_cast<std::size_t>(b % 2)];
    local.segment<3>(3 * b) = member.axes * linalg::Vector3{u[0], u[1], u[2]};
  }
  return local;
}

}  // namespace velm::system
