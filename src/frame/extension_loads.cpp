#include "frame/extension_loads.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "frame/loads.hpp"
#include "model/dof_labels.hpp"

namespace velm::frame {

namespace {

bool finite3(const model::Vector3& v) {
  return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

std::string node_range(std::uint32_t node_count) {
  return node_count == 0 ? " (the model has no nodes)"
                         : fmt::format(" (nodes 1 to {})", node_count);
}

// The point loads (moment = false) or point moments of one load case.
base::Expected<void> read_point_loads(const std::vector<model::MemberPointLoad>& loads, bool moment,
                                      std::uint32_t case_id,
                                      const std::unordered_map<std::uint32_t, std::size_t>& by_id,
                                      Structure& structure, LoadCase& into,
                                      CheckProgress& progress) {
  const char* what = moment ? "point moment" : "point load";
  for (const model::MemberPointLoad& load : loads) {
    if (!progress.keep_going()) return cancelled();
    const auto entry = by_id.find(load.member);
    if (entry == by_id.end())
      return invalid(
          fmt::format("Load case {} has a {} on member {}, which is not a member of the model.",
                      case_id, what, load.member));
    const StructureMember& m = structure.members[entry->second];
    if (!std::isfinite(load.position) || !std::isfinite(load.magnitude) || !finite3(load.direction))
      return invalid(fmt::format("Load case {} has a {} on member {} with a non-finite value.",
                                 case_id, what, load.member));
    const auto local = local_axes(load.axes);
    if (!local)
      return invalid(fmt::format(
          "Load case {} has a {} on member {} with axes \"{}\": it must be \"global\" or "
          "\"local\".",
          case_id, what, load.member, *load.axes));
    const double slack = 1e-9 * m.length;
    if (load.position < -slack || load.position > m.length + slack)
      return invalid(
          fmt::format("Load case {} has a {} on member {} at {}, outside the member (length {}).",
                      case_id, what, load.member, load.position, m.length));
    if (m.switching() || m.type == model::MemberType::Rigid)
      return invalid(
          fmt::format("Member {} is a {} member and cannot carry the {} of load case {}.",
                      load.member, member_type_name(m.type), what, case_id));
    const linalg::Vector3 given{load.magnitude * load.direction[0],
                                load.magnitude * load.direction[1],
                                load.magnitude * load.direction[2]};
    const linalg::Vector3 q = *local ? given : (m.axes * given).eval();
    if (moment && m.axial_only() && q.x() != 0.0)
      return invalid(fmt::format(
          "Member {} is a truss member and cannot carry the torsion of the point moment of load "
          "case {}.",
          load.member, case_id));
    const double x = std::clamp(load.position, 0.0, m.length);
    into.line_loads.push_back(
        {entry->second, moment ? mechanics::point_moment(x, q) : mechanics::point_force(x, q),
         false});
  }
  return {};
}

base::Expected<void> read_self_weight(const model::Vector3& gravity, std::uint32_t case_id,
                                      const std::vector<StructureMember>& members, LoadCase& into,
                                      CheckProgress& progress) {
  if (!finite3(gravity))
    return invalid(fmt::format("Load case {} has a self_weight with a non-finite value.", case_id));
  const linalg::Vector3 g{gravity[0], gravity[1], gravity[2]};
  for (std::size_t i = 0; i < members.size(); ++i) {
    if (!progress.keep_going()) return cancelled();
    const StructureMember& m = members[i];
    if (m.type == model::MemberType::Rigid) continue;
    if (!std::isfinite(m.mass_per_length))
      return invalid(fmt::format(
          "Material {} of member {} has a non-finite density, so the self_weight of load case {} "
          "cannot be formed.",
          m.material, m.id, case_id));
    if (m.mass_per_length == 0.0 || g.isZero(0.0)) continue;
    const linalg::Vector3 w = m.mass_per_length * g;
    if (m.switching()) {
      linalg::Vector6 half = linalg::Vector6::Zero();
      half.head<3>() = 0.5 * m.length * w;
      into.nodal_actions.push_back({m.start, half, true});
      into.nodal_actions.push_back({m.end, half, true});
      continue;
    }
    into.line_loads.push_back({i, {0.0, m.length, m.axes * w}, true});
  }
  return {};
}

base::Expected<void> read_support_displacements(
    const std::vector<model::SupportDisplacement>& imposed, std::uint32_t case_id,
    const Structure& structure, LoadCase& into, CheckProgress& progress) {
  for (const model::SupportDisplacement& entry : imposed) {
    if (!progress.keep_going()) return cancelled();
    const std::uint32_t node = entry.node;
    if (node == 0 || node > structure.node_count)
      return invalid(fmt::format(
          "Load case {} has a support displacement of node {}, which is not a node of the "
          "model{}.",
          case_id, node, node_range(structure.node_count)));
    for (const int first : {0, 3}) {
      const auto& values = first == 0 ? entry.displacement : entry.rotation;
      if (!values) continue;
      if (values->size() != 3)
        return invalid(fmt::format(
            "Load case {} has a support displacement of node {} whose {} has {} components, not "
            "3.",
            case_id, node, first == 0 ? "displacement" : "rotation", values->size()));
      for (int k = 0; k < 3; ++k) {
        const std::optional<double>& value = (*values)[static_cast<std::size_t>(k)];
        if (!value) continue;
        const int dof = first + k;
        const char* label = model::kDofLabels[static_cast<std::size_t>(dof)];
        if (!std::isfinite(*value))
          return invalid(fmt::format(
              "Load case {} has a support displacement of node {} with a non-finite value in {}.",
              case_id, node, label));
        if (!structure.restraints[6 * (node - std::size_t{1}) + static_cast<std::size_t>(dof)])
          return invalid(fmt::format(
              "Load case {} imposes a displacement of node {} in {}, which no support fixes.",
              case_id, node, label));
        const bool repeated = std::any_of(
            into.imposed.begin(), into.imposed.end(),
            [&](const ImposedDisplacement& d) { return d.node == node && d.dof == dof; });
        if (repeated)
          return invalid(fmt::format("Load case {} imposes a displacement of node {} in {} twice.",
                                     case_id, node, label));
        into.imposed.push_back({node, dof, *value});
      }
    }
  }
  return {};
}

}  // namespace

std::size_t extension_records(const model::VELM& model, const model::Extensions& extensions) {
  std::size_t count = 0, members = 0;
  for (const model::MemberSet& set : model.member_sets) members += set.members.size();
  if (extensions.load_cases)
    for (const model::LoadCaseExtension& c : *extensions.load_cases)
      count += (c.self_weight ? members : 0) + (c.point_loads ? c.point_loads->size() : 0) +
               (c.point_moments ? c.point_moments->size() : 0) +
               (c.nodal_moments ? c.nodal_moments->size() : 0) +
               (c.support_displacements ? c.support_displacements->size() : 0) + 1;
  if (extensions.nodal_supports) count += extensions.nodal_supports->size();
  return count;
}

base::Expected<void> read_extension_loads(const model::VELM& model,
                                          const model::Extensions& extensions, Structure& structure,
                                          CheckProgress& progress) {
  if (!extensions.load_cases) return {};
  std::unordered_map<std::uint32_t, std::size_t> by_id;
  by_id.reserve(structure.members.size());
  for (std::size_t m = 0; m < structure.members.size(); ++m)
    by_id.emplace(structure.members[m].id, m);
  for (std::size_t c = 0; c < model.load_cases.size(); ++c) {
    const model::LoadCaseExtension* extension = case_extension(extensions, c);
    if (extension == nullptr) break;
    if (!progress.keep_going()) return cancelled();
    LoadCase& into = structure.load_cases[c];
    const std::uint32_t id = into.id;
    if (extension->self_weight)
      if (auto done =
              read_self_weight(*extension->self_weight, id, structure.members, into, progress);
          !done)
        return done;
    if (extension->point_loads)
      if (auto done = read_point_loads(*extension->point_loads, false, id, by_id, structure, into,
                                       progress);
          !done)
        return done;
    if (extension->point_moments)
      if (auto done = read_point_loads(*extension->point_moments, true, id, by_id, structure, into,
                                       progress);
          !done)
        return done;
    if (extension->nodal_moments) {
      std::vector<NodalAction> moments;
      for (const model::NodalMoment& moment : *extension->nodal_moments) {
        if (!progress.keep_going()) return cancelled();
        if (moment.node == 0 || moment.node > structure.node_count)
          return invalid(fmt::format(
              "Load case {} has a nodal moment on node {}, which is not a node of the model{}.", id,
              moment.node, node_range(structure.node_count)));
        if (!finite3(moment.moment))
          return invalid(
              fmt::format("Load case {} has a nodal moment on node {} with a non-finite value.", id,
                          moment.node));
        linalg::Vector6 action = linalg::Vector6::Zero();
        action.tail<3>() = linalg::Vector3{moment.moment[0], moment.moment[1], moment.moment[2]};
        moments.push_back({moment.node, action});
      }
      // Before the lumped weights.
      into.nodal_actions.insert(into.nodal_actions.begin(), moments.begin(), moments.end());
    }
    if (extension->support_displacements)
      if (auto done = read_support_displacements(*extension->support_displacements, id, structure,
                                                 into, progress);
          !done)
        return done;
  }
  return {};
}

base::Expected<void> apply_springs(const model::VELM& model, const model::Extensions& extensions,
                                   Structure& structure, CheckProgress& progress) {
  if (!extensions.nodal_supports) return {};
  const std::size_t records =
      std::min(model.nodal_supports.size(), extensions.nodal_supports->size());
  bool any = false;
  structure.support_springs.assign(model.nodal_supports.size(), {});
  for (std::size_t r = 0; r < records; ++r) {
    if (!progress.keep_going()) return cancelled();
    const model::SupportExtension& extension = (*extensions.nodal_supports)[r];
    const std::uint32_t id = structure.support_ids[r];
    for (const int first : {0, 3}) {
      const auto& springs =
          first == 0 ? extension.displacement_springs : extension.rotation_springs;
      if (!springs) continue;
      const char* key_name = first == 0 ? "displacement_springs" : "rotation_springs";
      for (const auto& [axis, stiffness] : *springs) {
        const int k = axis == "X" ? 0 : axis == "Y" ? 1 : axis == "Z" ? 2 : -1;
        if (k < 0)
          return invalid(
              fmt::format("Support {} has {} for \"{}\": the axes are \"X\", \"Y\" and \"Z\".", id,
                          key_name, axis));
        const auto dof = static_cast<std::size_t>(first + k);
        if (!(std::isfinite(stiffness) && stiffness > 0.0))
          return invalid(fmt::format(
              "Support {} has a spring in {} of stiffness {}, which must be a positive finite "
              "number.",
              id, model::kDofLabels[dof], stiffness));
        if (structure.support_dofs[r][dof])
          return invalid(fmt::format("Support {} both fixes {} and has a spring in it.", id,
                                     model::kDofLabels[dof]));
        structure.support_springs[r][dof] = stiffness;
        any = true;
      }
    }
  }
  if (!any) {
    structure.support_springs.clear();
    return {};
  }
  structure.springs.assign(6 * std::size_t{structure.node_count}, 0.0);
  for (std::size_t r = 0; r < structure.support_nodes.size(); ++r)
    for (const std::uint32_t node : structure.support_nodes[r])
      for (std::size_t k = 0; k < 6; ++k)
        if (structure.support_springs[r][k] != 0.0)
          structure.springs[6 * (node - std::size_t{1}) + k] = structure.support_springs[r][k];
  return {};
}

}  // namespace velm::frame
