// The model as the engineering analysis sees it: checked strictly, nodes indexed by id, every
// member with its axes, length and section properties, the supports per node. Built once per
// analysis from the model document; it refers into the document, which must outlive it.
#pragma once

#include <array>
#include <cstdint>
#include <expected>
#include <string>
#include <vector>

#include "linalg/types.hpp"
#include "mechanics/stiffness.hpp"
#include "model/velm.hpp"

namespace velm::solver {

struct StructureMember {
  std::uint32_t id = 0;
  std::uint32_t start = 0;  // node ids, 1..N
  std::uint32_t end = 0;
  double length = 0.0;
  linalg::Matrix3 axes;  // rows: local x, y, z in global components
  mechanics::FrameProperties properties;
};

struct Structure {
  std::uint32_t node_count = 0;
  std::vector<double> coordinates;       // X, Y, Z of node 1, then node 2, ...
  std::vector<StructureMember> members;  // document order
  std::vector<std::uint8_t> restraints;  // 6 per node, 1 where a support fixes the dof
  // Per entry of nodal_supports: the dofs it fixes and the distinct nodes it holds (ascending).
  std::vector<std::array<bool, 6>> support_dofs;
  std::vector<std::vector<std::uint32_t>> support_nodes;
  const model::VELM* model = nullptr;
};

// Checks the model and indexes it. The first problem found is the error, a text naming the
// record concerned: ids used twice (load cases, members, supports, combinations), node ids not
// running 1..N, a missing section or material, a non-finite or non-positive E, G, A, I_y, I_z
// or J, a node given different coordinates by two members (beyond 1e-9 of the model's largest
// extent), coincident ends, a support id that names no support, a combination naming a load
// case that does not exist, a nodal load on a node outside the model or with non-finite values.
std::expected<Structure, std::string> build_structure(const model::VELM& model);

}  // namespace velm::solver
