#include "frame/structure.hpp"

#include "frame/checks.hpp"
#include "frame/loads.hpp"
#include "frame/members.hpp"
#include "frame/rigid_links.hpp"
#include "frame/supports.hpp"
#include "model/lookup_maps.hpp"
#include "model/node_ids.hpp"

namespace velm::frame {

base::Expected<Structure> build_structure(const model::VELM& model) {
  if (auto valid = reject_repeated_ids(model); !valid) return std::unexpected(valid.error());
  if (auto valid = model::reject_node_zero(model.member_sets); !valid)
    return invalid(valid.error());
  if (auto valid = model::validate_node_ids(model.member_sets); !valid)
    return invalid(valid.error());

  Structure structure;
  structure.node_count = node_count(model.member_sets);
  const model::LookupMaps maps = model::build_lookup_maps(model);

  auto members = read_members(model, maps);
  if (!members) return std::unexpected(std::move(members.error()));
  structure.members = std::move(*members);
  for (const StructureMember& m : structure.members)
    structure.has_switching_members |= m.switching();

  auto coordinates = node_coordinates(model, structure.node_count);
  if (!coordinates) return std::unexpected(std::move(coordinates.error()));
  structure.coordinates = std::move(*coordinates);
  if (auto valid = orient_members(model, structure); !valid) return std::unexpected(valid.error());

  if (auto valid = apply_supports(model, maps, structure); !valid)
    return std::unexpected(valid.error());
  if (auto valid = read_loads(model, structure); !valid) return std::unexpected(valid.error());
  if (auto valid = read_line_loads(model, structure); !valid) return std::unexpected(valid.error());
  structure.axial_only_nodes.assign(structure.node_count, 1);
  for (const StructureMember& m : structure.members)
    if (!m.axial_only())
      structure.axial_only_nodes[m.start - 1] = structure.axial_only_nodes[m.end - 1] = 0;
  if (auto valid = join_rigid_links(structure); !valid) return std::unexpected(valid.error());
  return structure;
}

}  // namespace velm::frame
