#include "engineering/result_recovery.hpp"

#include <algorithm>
#include <array>
#include <span>

#include <Eigen/Geometry>

#include "mechanics/beam_column.hpp"
#include "mechanics/deflection_line.hpp"
#include "mechanics/internal_forces.hpp"
#include "model/support_dofs.hpp"
#include "system/constraints.hpp"
#include "system/elastic_supports.hpp"
#include "system/member_unknowns.hpp"

namespace velm::engineering {

namespace {

using frame::StructureMember;

// Members recovered between two questions whether to go on: at most a few milliseconds of work
// at many stations, some tens of microseconds at the usual eleven.
constexpr std::size_t kMembersBetweenPolls = 64;

// The end forces of member m, its internal forces at the stations and their extremes, and its
// deflections with their extremes (`ends`: the member ends' displacements, member axes); in
// second order with the moments of its axial force along its deflection. A rigid link (element
// null) keeps the deflections record_unstrained gave it.
void record_member(const frame::Structure& structure, std::size_t m, const linalg::Vector12& f,
                   const linalg::Vector12* ends, std::span<const mechanics::MemberLoad> loads,
                   int stations, const system::ElementData* element, ResultSet& out) {
  const auto per_member = static_cast<std::size_t>(stations);
  std::copy(f.data(), f.data() + 12, &out.end_forces[12 * m]);
  const StructureMember& member = structure.members[m];
  double rho_y = 0.0, rho_z = 0.0;
  if (element != nullptr && element->second_order) {
    // N L^2 / EI of each bending plane; an axial-only member has no bending stiffness of its
    // own along which the axial force could act (a straight string between its nodes).
    const double n_l2 = element->axial_force * member.length * member.length;
    const double e = member.properties.e_mod;
    const bool bends = !member.axial_only();
    rho_y = bends ? n_l2 / (e * member.properties.i_y) : 0.0;
    rho_z = bends ? n_l2 / (e * member.properties.i_z) : 0.0;
    const mechanics::SecondOrderForceLine line(f, member.length, loads, rho_y, rho_z);
    line.at_stations(stations, &out.internal_forces[6 * per_member * m]);
    line.extremes(&out.internal_force_extremes[12 * m]);
  } else {
    const mechanics::InternalForceLine line(f, member.length, loads);
    line.at_stations(stations, &out.internal_forces[6 * per_member * m]);
    line.extremes(&out.internal_force_extremes[12 * m]);
  }
  if (element == nullptr) return;
  const mechanics::DeflectionLine deflection(*ends, f, member.length, member.properties, loads,
                                             rho_y, rho_z);
  deflection.at_stations(stations, &out.deflections[3 * per_member * m]);
  deflection.extremes(&out.deflection_extremes[6 * m]);
}

// The deflections of a member that moves without straining: a rigid link's rigid motion, or
// the straight line between the ends of a member switched off. Nothing off the chord.
void record_unstrained(const StructureMember& member, std::size_t m, int stations,
                       const std::vector<double>& displacements, ResultSet& out) {
  const linalg::Vector12 ends = system::local_end_displacements(member, displacements);
  const int last = stations - 1;
  for (int j = 0; j <= last; ++j) {
    const double t = static_cast<double>(j) / static_cast<double>(last);
    double* row = &out.deflections[3 * (static_cast<std::size_t>(stations) * m + j)];
    std::array<double, 3> u;
    if (member.type == model::MemberType::Rigid && j > 0 && j < last) {
      u = mechanics::rigid_translation(ends, t * member.length);
    } else {
      for (int k = 0; k < 3; ++k) u[k] = ends(k) + t * (ends(6 + k) - ends(k));
      if (j == last)
        for (int k = 0; k < 3; ++k) u[k] = ends(6 + k);
    }
    std::copy(u.begin(), u.end(), row);
  }
}

// Adds, in global axes at its two nodes, what the nodes exert on a member.
void add_member_forces(const StructureMember& member, const linalg::Vector12& f,
                       std::vector<double>& sums) {
  for (int b = 0; b < 4; ++b) {
    const linalg::Vector3 global = member.axes.transpose() * f.segment<3>(3 * b);
    double* target =
        &sums[6 * ((b < 2 ? member.start : member.end) - 1) + 3 * static_cast<std::size_t>(b % 2)];
    target[0] += global.x();
    target[1] += global.y();
    target[2] += global.z();
  }
}

// The forces the rigid links carry, from the equilibrium of the nodes that follow, leaves
// first: a link takes at its child node what the node's loads leave over after its other
// members, and passes it on to its parent node moved by the link's length.
void link_forces(const frame::Structure& structure, const frame::LoadSet& set, int stations,
                 std::vector<double>& sums, ResultSet& out) {
  if (structure.links_leaves_first.empty()) return;
  std::vector<double> loads = node_loads(structure, set, out.displacements);
  for (const frame::Structure::Link& link : structure.links_leaves_first) {
    const StructureMember& member = structure.members[link.member];
    const std::uint32_t child = link.child;
    const std::uint32_t parent = member.start == child ? member.end : member.start;
    double at_child[6], at_parent[6];
    for (std::size_t k = 0; k < 6; ++k)
      at_child[k] = loads[6 * (child - 1) + k] - sums[6 * (child - 1) + k];
    const double* c = structure.xyz(child);
    const double* p = structure.xyz(parent);
    const linalg::Vector3 r{c[0] - p[0], c[1] - p[1], c[2] - p[2]};
    const linalg::Vector3 force{at_child[0], at_child[1], at_child[2]};
    const linalg::Vector3 moment =
        -linalg::Vector3{at_child[3], at_child[4], at_child[5]} - r.cross(force);
    for (std::size_t k = 0; k < 3; ++k) {
      at_parent[k] = -at_child[k];
      at_parent[3 + k] = moment(static_cast<Eigen::Index>(k));
    }
    for (std::size_t k = 0; k < 6; ++k) {
      sums[6 * (child - 1) + k] += at_child[k];
      sums[6 * (parent - 1) + k] += at_parent[k];
    }
    const double* start = member.start == child ? at_child : at_parent;
    const double* end = member.start == child ? at_parent : at_child;
    linalg::Vector12 f;
    for (int b = 0; b < 4; ++b) {
      const double* g = (b < 2 ? start : end) + 3 * (b % 2);
      f.segment<3>(3 * b) = member.axes * linalg::Vector3{g[0], g[1], g[2]};
    }
    record_member(structure, link.member, f, nullptr, {}, stations, nullptr, out);
  }
}

}  // namespace

std::vector<double> node_loads(const frame::Structure& structure, const frame::LoadSet& set,
                               std::span<const double> displacements) {
  std::vector<double> loads(6 * structure.node_count, 0.0);
  for (const frame::NodalForce& load : set.nodal)
    for (std::size_t k = 0; k < 6; ++k)
      loads[6 * (load.node - 1) + k] += load.force(static_cast<Eigen::Index>(k));
  for (std::size_t i = 0; i < structure.springs.size(); ++i)
    if (structure.springs[i] != 0.0) loads[i] -= structure.springs[i] * displacements[i];
  return loads;
}

std::vector<double> node_displacements(const system::DiscreteModel& model, const double* solution,
                                       std::span<const double> imposed) {
  std::vector<double> displacements = node_displacements(model, solution);
  if (imposed.empty()) return displacements;
  const std::vector<double> field = system::imposed_field(model.structure, imposed);
  for (std::size_t i = 0; i < displacements.size(); ++i) displacements[i] += field[i];
  return displacements;
}

std::vector<double> node_displacements(const system::DiscreteModel& model, const double* solution) {
  const frame::Structure& structure = model.structure;
  const std::size_t nodes = structure.node_count;
  // The unknowns, then every node that follows another.
  std::vector<double> displacements(6 * nodes, 0.0);
  for (std::size_t i = 0; i < 6 * nodes; ++i)
    if (const std::int64_t unknown = model.dofs.index[i]; unknown >= 0)
      displacements[i] = solution[unknown];
  for (std::size_t n = 0; n < nodes; ++n) {
    const std::uint32_t root = structure.root[n];
    if (root == n + 1) continue;
    const Eigen::Map<const linalg::Vector6> u_root(&displacements[6 * (root - std::size_t{1})]);
    const linalg::Vector6 u =
        system::follower_map(structure, static_cast<std::uint32_t>(n + 1)) * u_root;
    std::copy(u.data(), u.data() + 6, &displacements[6 * n]);
  }
  return displacements;
}

std::vector<double> member_end_forces(const system::DiscreteModel& model,
                                      std::span<const system::ElementData> elements,
                                      const frame::LoadSet* set, const double* solution,
                                      const std::vector<std::uint8_t>& active) {
  const frame::Structure& structure = model.structure;
  const std::vector<double> displacements = set != nullptr
                                                ? node_displacements(model, solution, set->imposed)
                                                : node_displacements(model, solution);
  std::vector<double> forces(12 * structure.members.size(), 0.0);
  for (std::size_t m = 0; m < structure.members.size(); ++m) {
    const StructureMember& member = structure.members[m];
    if (!active[m] || member.type == model::MemberType::Rigid) continue;
    const system::ElementData& element = elements[m];
    const linalg::Vector12 local = system::local_end_displacements(member, displacements);
    linalg::Vector12 f = element.stiffness() * local;
    if (set != nullptr && !set->on_member(m).empty())
      f += system::fixed_end_forces(element, member, set->on_member(m)).fixed_end_forces;
    std::copy(f.data(), f.data() + 12, &forces[12 * m]);
  }
  return forces;
}

void recover_results(const system::DiscreteModel& model, const frame::LoadSet& set,
                     const double* solution, const std::vector<std::uint8_t>& active, int stations,
                     ResultSet& out) {
  recover_results(model, model.elements, set, solution, active, stations, out);
}

void recover_results(const system::DiscreteModel& model,
                     std::span<const system::ElementData> elements, const frame::LoadSet& set,
                     const double* solution, const std::vector<std::uint8_t>& active, int stations,
                     ResultSet& out) {
  (void)recover_results(model, elements, set, solution, active, stations, out, nullptr);
}

bool recover_results(const system::DiscreteModel& model, const frame::LoadSet& set,
                     const double* solution, const std::vector<std::uint8_t>& active, int stations,
                     ResultSet& out, const std::function<bool()>& going) {
  return recover_results(model, model.elements, set, solution, active, stations, out, &going);
}

bool recover_results(const system::DiscreteModel& model,
                     std::span<const system::ElementData> elements, const frame::LoadSet& set,
                     const double* solution, const std::vector<std::uint8_t>& active, int stations,
                     ResultSet& out, const std::function<bool()>* going) {
  const frame::Structure& structure = model.structure;
  const std::size_t nodes = structure.node_count;
  const std::size_t members = structure.members.size();
  const auto per_member = static_cast<std::size_t>(stations);
  out.displacements = node_displacements(model, solution, set.imposed);

  out.end_forces.assign(12 * members, 0.0);
  out.internal_forces.assign(6 * per_member * members, 0.0);
  out.internal_force_extremes.assign(12 * members, 0.0);
  out.deflections.assign(3 * per_member * members, 0.0);
  out.deflection_extremes.assign(6 * members, 0.0);
  out.inactive_members.clear();
  std::vector<double> sums(6 * nodes, 0.0);  // what each node exerts on its members
  for (std::size_t m = 0; m < members; ++m) {
    if (going != nullptr && m % kMembersBetweenPolls == 0 && !(*going)()) return false;
    const StructureMember& member = structure.members[m];
    if (!active[m] || member.type == model::MemberType::Rigid) {
      record_unstrained(member, m, stations, out.displacements, out);
      if (!active[m]) out.inactive_members.push_back(member.id);
      continue;
    }
    const std::span<const mechanics::MemberLoad> loads = set.on_member(m);
    const system::ElementData& element = elements[m];
    const mechanics::CondensedLoads condensed = system::fixed_end_forces(element, member, loads);
    const linalg::Vector12 local = system::local_end_displacements(member, out.displacements);
    const linalg::Vector12 f = element.stiffness() * local + condensed.fixed_end_forces;
    const linalg::Vector12 ends = system::member_end_displacements(element, member, loads, local);
    record_member(structure, m, f, &ends, loads, stations, &element, out);
    add_member_forces(member, f, sums);
  }
  link_forces(structure, set, stations, sums, out);

  // Reactions: K u - F at the dofs each record fixes, summed over its nodes; at the dofs it
  // springs, the spring's force on the structure -k u.
  for (const frame::NodalForce& load : set.nodal)
    for (std::size_t k = 0; k < 6; ++k)
      sums[6 * (load.node - 1) + k] -= load.force(static_cast<Eigen::Index>(k));
  out.reactions.assign(6 * structure.support_nodes.size(), 0.0);
  for (std::size_t r = 0; r < structure.support_nodes.size(); ++r) {
    const std::array<double, 6> reaction = model::support_reaction(
        structure.support_dofs[r], structure.support_nodes[r],
        [&](std::uint32_t node) { return &sums[6 * (node - std::size_t{1})]; });
    std::copy(reaction.begin(), reaction.end(), &out.reactions[6 * r]);
    if (structure.support_springs.empty()) continue;
    for (const std::uint32_t node : structure.support_nodes[r])
      for (std::size_t k = 0; k < 6; ++k)
        if (const double stiffness = structure.support_springs[r][k]; stiffness != 0.0)
          out.reactions[6 * r + k] -= stiffness * out.displacements[6 * (node - 1) + k];
  }
  // Per node, the same: K u - F at the dofs any support fixes there, -k u at those it springs.
  out.node_reactions.assign(6 * nodes, 0.0);
  for (std::size_t e = 0; e < 6 * nodes; ++e)
    if (structure.restraints[e]) out.node_reactions[e] = sums[e];
  for (std::size_t r = 0; r < structure.support_springs.size(); ++r)
    for (const std::uint32_t node : structure.support_nodes[r])
      for (std::size_t k = 0; k < 6; ++k)
        if (const double stiffness = structure.support_springs[r][k]; stiffness != 0.0)
          out.node_reactions[6 * (node - 1) + k] -=
              stiffness * out.displacements[6 * (node - 1) + k];
  return true;
}

}  // namespace velm::engineering
