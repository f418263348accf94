// The rule by which a support record fixes dofs, shared by every analysis.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/lookup_maps.hpp"
#include "model/support.hpp"
#include "model/velm.hpp"

namespace velm::model {

// Per local dof UX, UY, UZ, RX, RY, RZ: whether the record fixes it. Only the keys "X", "Y",
// "Z" with the value "Fixed" (case-sensitive) count.
std::array<bool, 6> fixed_dofs(const NodalSupport& support);

// The member ends that name supports, walked in document order (start node, then end node).
struct SupportedNodes {
  // Per entry of model.nodal_supports: the distinct node ids (ascending) whose support id finds
  // that very record in the map; a record shadowed by a later one with the same id gets none.
  std::vector<std::vector<std::uint32_t>> nodes;
  // The first member end that names a support id the map does not hold.
  struct Unknown {
    std::uint32_t node = 0;
    std::uint32_t member = 0;
    std::uint32_t support = 0;
  };
  std::optional<Unknown> unknown;
};
SupportedNodes supported_nodes(const VELM& model, const SupportMap& supports);

// The reaction of one support record: over its nodes in the order given, the sum of
// node_values(node)[k] (what the node's fixed dofs take, K u - F) at each dof k it fixes; 0 at
// the others.
template <class NodeValues>
std::array<double, 6> support_reaction(const std::array<bool, 6>& fixed,
                                       const std::vector<std::uint32_t>& nodes,
                                       NodeValues&& node_values) {
  std::array<double, 6> sum{};
  for (const std::uint32_t node : nodes) {
    const auto& r = node_values(node);
    for (std::size_t k = 0; k < 6; ++k)
      if (fixed[k]) sum[k] += r[k];
  }
  return sum;
}

}  // namespace velm::model
