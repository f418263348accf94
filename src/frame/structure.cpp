#include "frame/structure.hpp"

#include <fmt/format.h>

#include "frame/checks.hpp"
#include "frame/extension_loads.hpp"
#include "frame/loads.hpp"
#include "frame/members.hpp"
#include "frame/rigid_links.hpp"
#include "frame/supports.hpp"
#include "model/lookup_maps.hpp"
#include "model/node_ids.hpp"

namespace velm::frame {

namespace {

// The records that the passes of build_structure visit, each counted once per pass.
std::size_t records_visited(const model::VELM& model) {
  std::size_t members = 0, loads = 0;
  for (const model::MemberSet& set : model.member_sets) members += set.members.size();
  for (const model::LoadCase& load_case : model.load_cases)
    loads += load_case.nodal_loads.size() + load_case.line_loads.size();
  const std::size_t tables = model.sections.size() + model.materials.size() +
                             (model.memberhinges ? model.memberhinges->size() : 0);
  return 7 * members + 3 * model.load_cases.size() + 3 * model.nodal_supports.size() +
         2 * model.load_combinations.size() + tables + loads +
         2 * members;  // the rigid-link pass: at most 2 nodes per member
}

// A nodal moment where only truss, tension and compression members meet (pinned to the node)
// and no support holds that rotation: nothing could take it.
base::Expected<void> reject_moments_on_pinned_nodes(const Structure& structure) {
  for (const LoadCase& load_case : structure.load_cases)
    for (const NodalAction& action : load_case.nodal_actions) {
      if (!structure.axial_only_nodes[action.node - 1]) continue;
      for (std::size_t k = 3; k < 6; ++k)
        if (action.action(static_cast<Eigen::Index>(k)) != 0.0 &&
            !structure.restraints[6 * (action.node - std::size_t{1}) + k])
          return invalid(fmt::format(
              "Load case {} has a nodal moment on node {}, where only truss, tension or "
              "compression members meet: they take no moment there.",
              load_case.id, action.node));
    }
  return {};
}

}  // namespace

base::Expected<Structure> build_structure(const model::VELM& model) {
  base::Monitor quiet;
  return build_structure(model, quiet);
}

base::Expected<Structure> build_structure(const model::VELM& model, base::Monitor& monitor) {
  return build_structure(model, model::Extensions{}, monitor);
}

base::Expected<Structure> build_structure(const model::VELM& model,
                                          const model::Extensions& extensions,
                                          base::Monitor& monitor) {
  CheckProgress progress(monitor, records_visited(model) + extension_records(model, extensions));
  if (auto valid = reject_repeated_ids(model, progress); !valid)
    return std::unexpected(valid.error());
  if (auto valid = model::reject_node_zero(model.member_sets); !valid)
    return invalid(valid.error());
  if (auto valid = model::validate_node_ids(model.member_sets); !valid)
    return invalid(valid.error());

  Structure structure;
  structure.node_count = node_count(model.member_sets);
  const model::LookupMaps maps = model::build_lookup_maps(model);

  auto members = read_members(model, maps, progress);
  if (!members) return std::unexpected(std::move(members.error()));
  structure.members = std::move(*members);
  for (const StructureMember& m : structure.members)
    structure.has_switching_members |= m.switching();

  auto coordinates = node_coordinates(model, structure.node_count, progress);
  if (!coordinates) return std::unexpected(std::move(coordinates.error()));
  structure.coordinates = std::move(*coordinates);
  if (auto valid = orient_members(model, structure, progress); !valid)
    return std::unexpected(valid.error());

  if (auto valid = apply_supports(model, maps, structure, progress); !valid)
    return std::unexpected(valid.error());
  if (auto valid = read_loads(model, structure, progress); !valid)
    return std::unexpected(valid.error());
  if (auto valid = apply_springs(model, extensions, structure, progress); !valid)
    return std::unexpected(valid.error());
  if (auto valid = read_line_loads(model, extensions, structure, progress); !valid)
    return std::unexpected(valid.error());
  if (auto valid = read_extension_loads(model, extensions, structure, progress); !valid)
    return std::unexpected(valid.error());
  structure.axial_only_nodes.assign(structure.node_count, 1);
  for (const StructureMember& m : structure.members) {
    if (!progress.keep_going()) return cancelled();
    if (!m.axial_only())
      structure.axial_only_nodes[m.start - 1] = structure.axial_only_nodes[m.end - 1] = 0;
  }
  if (auto valid = reject_moments_on_pinned_nodes(structure); !valid)
    return std::unexpected(valid.error());
  if (auto valid = join_rigid_links(structure, progress); !valid)
    return std::unexpected(valid.error());
  if (!progress.finish()) return cancelled();
  return structure;
}

}  // namespace velm::frame
