// Analysis of one load case: from the model to displacements, reactions and the results record.
#pragma once

#include <cstdint>

#include "base/error.hpp"

#include "linalg/types.hpp"
#include "listing/global_matrix.hpp"
#include "listing/observer.hpp"
#include "model/results.hpp"
#include "model/velm.hpp"

namespace velm::listing {

struct Solution {
  linalg::Vector displacements;  // 6N rows: UX, UY, UZ, RX, RY, RZ of node 1, then node 2, ...
  linalg::Vector reactions;      // K_orig * u, same layout
  model::Results results;        // the record of the load case, for the results document
};

// Validates the node numbering, assembles K, applies the supports, builds F, solves K u = F and
// forms the reactions and the results record, reporting every stage to the observer.
// Failures: invalid_model, too_large, singular, not_finite, cancelled (the observer asked to
// stop). A failed allocation is thrown (std::bad_alloc) to the caller's entry point.
base::Expected<Solution> solve_for_load_case(const model::VELM& model, std::uint32_t load_case_id,
                                             Observer& observer,
                                             Storage storage = Storage::automatic);

}  // namespace velm::listing
