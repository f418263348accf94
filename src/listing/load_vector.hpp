// The global load vector of one load case, from its nodal loads.
#pragma once

#include <cstdint>

#include "base/error.hpp"

#include "linalg/types.hpp"
#include "model/velm.hpp"

namespace velm::listing {

// F (6N rows): each nodal load of the first load case with that id adds direction * magnitude
// to the UX, UY, UZ rows of its node, one component at a time and only for non-zero (or NaN)
// direction components. No matching case gives F = 0. A non-zero component on node 0 or beyond
// N fails, naming the load and the node.
base::Expected<linalg::Vector> build_load_vector(const model::VELM& model,
                                                 std::uint32_t load_case_id,
                                                 std::uint32_t node_count);

}  // namespace velm::listing
