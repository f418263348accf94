// The engineering analysis: every load case and every load combination of a model, computed
// quietly. One sparse factorisation of the stiffness over the unknowns serves all load cases
// (one solve with a right-hand side per case); combinations are factored sums of case results.
#pragma once

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "engineering/static_results.hpp"
#include "model/velm.hpp"

namespace velm::engineering {

struct AnalysisOptions {
  int stations = 11;  // points along every member for internal forces, ends included (>= 2)
  bool second_order = false;  // every result set in second order (P-Delta and P-delta)
  int buckling_modes = 0;     // per result set, that many lowest elastic critical load factors
};

// Checks the model, sets up the structure over its unknowns once, and runs the linear analysis
// or, when the model has tension- or compression-only members, the active-set analysis. Fails
// with invalid_model (the strict model checks, a text naming the record concerned), unstable
// (a mechanism: "node 12 is free to move in RX"), too_large (the results or the factorisation
// would not fit into memory), not_finite, not_settled, solver_failed, solve_failed,
// out_of_memory (an allocation failed anywhere in it) or cancelled.
// The monitor is told the stages ("check", "assemble", "order", "factorise", "solve",
// "results") and how far each has come, and is asked whether to stop.
base::Expected<StaticAnalysis> analyse_statics(const model::VELM& model,
                                               const AnalysisOptions& options,
                                               base::Monitor& monitor);

}  // namespace velm::engineering
