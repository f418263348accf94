// The structure over its unknowns, set up once per analysis: the numbering of the unknowns,
// the node pairs the members couple, and every member's element data.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/monitor.hpp"
#include "frame/structure.hpp"
#include "system/dof_numbering.hpp"
#include "system/element_data.hpp"

namespace velm::system {

struct DiscreteModel {
  const frame::Structure& structure;  // must outlive the model
  DofNumbering dofs;
  std::vector<std::array<std::uint32_t, 2>> couplings;
  std::vector<ElementData> elements;  // per member, document order

  explicit DiscreteModel(const frame::Structure& structure);
  // The same, asking `monitor` every 1024 members whether to stop: if it does, the element data
  // is left incomplete and the model must not be used (complete() tells; a monitor asked again
  // need not say stop a second time).
  DiscreteModel(const frame::Structure& structure, base::Monitor& monitor);
  DiscreteModel(const DiscreteModel&) = delete;  // matrices refer to its numbering
  DiscreteModel& operator=(const DiscreteModel&) = delete;

  std::size_t unknowns() const { return static_cast<std::size_t>(dofs.count()); }
  // False when the construction stopped before every member had its element data.
  bool complete() const { return elements.size() == structure.members.size(); }
};

}  // namespace velm::system
