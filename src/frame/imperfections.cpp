#include "frame/imperfections.hpp"

#include <fmt/format.h>
#include <Eigen/Geometry>

#include <cmath>
#include <string>
#include <unordered_map>

#include "frame/checks.hpp"
#include "mechanics/transformation.hpp"

namespace velm::frame {

namespace {

using NodesOfSets = std::unordered_map<std::uint32_t, std::vector<std::uint32_t>>;

// The end nodes of the members of every member set, by member set id (sets sharing an id
// pool their nodes).
NodesOfSets nodes_of_sets(const model::VELM& model) {
  NodesOfSets nodes;
  for (const model::MemberSet& set : model.member_sets) {
    std::vector<std::uint32_t>& list = nodes[set.id];
    for (const model::Member& member : set.members) {
      list.push_back(member.start_node.id);
      list.push_back(member.end_node.id);
    }
  }
  return nodes;
}

bool finite(const model::Vector3& v) {
  return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

// Adds the offsets of one imperfection; `stamp` marks the nodes it has moved already.
class Mover {
 public:
  Mover(const Structure& structure, const NodesOfSets& sets)
      : structure_(structure), sets_(sets), stamp_(structure.node_count, 0) {}

  // `owner`: "Load case 3" or "Imperfection case 2"; `kind`: "rotation" or "translation".
  template <class Imperfection>
  base::Expected<void> add(const Imperfection& imperfection, const std::string& owner,
                           const char* kind, std::size_t index, std::vector<double>* offsets) {
    const auto name = [&] {
      std::string ids;
      for (const model::MemberSet& set : imperfection.memberset)
        ids += (ids.empty() ? "" : ", ") + std::to_string(set.id);
      return fmt::format("{}: {} imperfection {} (member sets {})", owner, kind, index + 1,
                         ids.empty() ? "none" : ids);
    };
    const model::Vector3& axis = imperfection.axis;
    bool finite_values = std::isfinite(imperfection.magnitude) && finite(axis);
    linalg::Vector3 point = linalg::Vector3::Zero();
    if constexpr (requires { imperfection.point; }) {
      finite_values = finite_values && finite(imperfection.point);
      point = {imperfection.point[0], imperfection.point[1], imperfection.point[2]};
    }
    if (!finite_values) return invalid(name() + " has a non-finite magnitude, axis or point.");
    const linalg::Vector3 a{axis[0], axis[1], axis[2]};
    const double length = a.norm();
    if (!(length > 0.0) || !std::isfinite(length)) return invalid(name() + " has a zero axis.");
    const linalg::Vector3 unit = a / length;
    for (const model::MemberSet& set : imperfection.memberset)
      if (!sets_.contains(set.id))
        return invalid(
            fmt::format("{} names member set {}, which is not in the model.", name(), set.id));
    if (offsets == nullptr) return {};
    if (offsets->empty()) offsets->assign(3 * std::size_t{structure_.node_count}, 0.0);
    ++round_;
    for (const model::MemberSet& set : imperfection.memberset)
      for (const std::uint32_t node : sets_.at(set.id)) {
        if (stamp_[node - 1] == round_) continue;
        stamp_[node - 1] = round_;
        const double* x = structure_.xyz(node);
        linalg::Vector3 move;
        if constexpr (requires { imperfection.point; })
          move = imperfection.magnitude * unit.cross(linalg::Vector3{x[0], x[1], x[2]} - point);
        else
          move = imperfection.magnitude * unit;
        for (int k = 0; k < 3; ++k) (*offsets)[3 * (node - std::size_t{1}) + k] += move(k);
      }
    return {};
  }

  // Both lists of an owner.
  template <class Owner>
  base::Expected<void> add_all(const Owner& owner, const std::string& name,
                               std::vector<double>* offsets) {
    for (std::size_t i = 0; i < owner.rotation_imperfections.size(); ++i)
      if (auto added = add(owner.rotation_imperfections[i], name, "rotation", i, offsets); !added)
        return added;
    for (std::size_t i = 0; i < owner.translation_imperfections.size(); ++i)
      if (auto added = add(owner.translation_imperfections[i], name, "translation", i, offsets);
          !added)
        return added;
    return {};
  }

 private:
  const Structure& structure_;
  const NodesOfSets& sets_;
  std::vector<std::uint32_t> stamp_;
  std::uint32_t round_ = 0;
};

// The least rotation taking unit vector a to unit vector b (Rodrigues):
// R = I + [v]x + [v]x^2 / (1 + c), v = a x b, c = a . b.
linalg::Matrix3 turning(const linalg::Vector3& a, const linalg::Vector3& b) {
  const linalg::Vector3 v = a.cross(b);
  const double c = a.dot(b);
  linalg::Matrix3 cross;
  cross << 0.0, -v.z(), v.y(), v.z(), 0.0, -v.x(), -v.y(), v.x(), 0.0;
  return linalg::Matrix3::Identity() + cross + cross * cross / (1.0 + c);
}

}  // namespace

base::Expected<std::vector<std::vector<double>>> imperfection_offsets(const model::VELM& model,
                                                                      const Structure& structure) {
  const NodesOfSets sets = nodes_of_sets(model);
  Mover mover(structure, sets);
  std::vector<std::vector<double>> offsets(structure.result_set_count());
  // Every record is checked, whether a result set uses it or not.
  for (const model::ImperfectionCase& imperfection_case : model.imperfection_cases)
    if (auto checked = mover.add_all(
            imperfection_case,
            fmt::format("Imperfection case {}", imperfection_case.imperfection_case_id), nullptr);
        !checked)
      return std::unexpected(std::move(checked.error()));
  const std::size_t cases = structure.load_cases.size();
  for (std::size_t c = 0; c < cases; ++c) {
    const model::LoadCase& load_case = model.load_cases[c];
    if (auto added =
            mover.add_all(load_case, fmt::format("Load case {}", load_case.id), &offsets[c]);
        !added)
      return std::unexpected(std::move(added.error()));
  }
  for (std::size_t k = 0; k < structure.combinations.size(); ++k) {
    const std::uint32_t id = structure.combinations[k].id;
    for (const model::ImperfectionCase& imperfection_case : model.imperfection_cases) {
      bool names_it = false;
      for (const model::LoadCombination& combination : imperfection_case.load_combinations)
        names_it = names_it || combination.load_combination_id == id;
      if (!names_it) continue;
      if (auto added = mover.add_all(
              imperfection_case,
              fmt::format("Imperfection case {}", imperfection_case.imperfection_case_id),
              &offsets[cases + k]);
          !added)
        return std::unexpected(std::move(added.error()));
    }
  }
  return offsets;
}

base::Expected<Structure> moved_structure(const Structure& structure,
                                          std::span<const double> offsets) {
  Structure moved = structure;
  for (std::size_t i = 0; i < moved.coordinates.size(); ++i) moved.coordinates[i] += offsets[i];
  std::vector<linalg::Matrix3> turned(moved.members.size());
  std::vector<double> old_lengths(moved.members.size());
  for (std::size_t m = 0; m < moved.members.size(); ++m) {
    StructureMember& member = moved.members[m];
    const double* a = moved.xyz(member.start);
    const double* b = moved.xyz(member.end);
    const linalg::Vector3 d{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double length = d.norm();
    if (!(length >= mechanics::kLengthTolerance) || !std::isfinite(length))
      return invalid(
          fmt::format("The imperfections bring the ends of member {} (nodes {} and {}) together.",
                      member.id, member.start, member.end));
    const linalg::Vector3 old_x = member.axes.row(0).transpose();
    const linalg::Matrix3 rotation = turning(old_x, d / length);
    const linalg::Matrix3 axes = (rotation * member.axes.transpose()).transpose();
    turned[m] = axes * member.axes.transpose();  // old member axes to new member axes
    old_lengths[m] = member.length;
    member.axes = axes;
    member.length = length;
  }
  for (LoadCase& load_case : moved.load_cases)
    for (MemberLineLoad& line : load_case.line_loads) {
      const double length = moved.members[line.member].length;
      const double old_length = old_lengths[line.member];
      mechanics::MemberLoad& load = line.load;
      load.q = turned[line.member] * load.q;
      if (load.varying()) load.dq = turned[line.member] * load.dq;
      if (load.end >= old_length * (1.0 - 1e-12)) load.end = length;
      load.start = std::min(load.start, length);
      load.end = std::min(load.end, length);
      if (load.concentrated()) load.start = load.end;  // an end load stays at the end
    }
  return moved;
}

}  // namespace velm::frame
