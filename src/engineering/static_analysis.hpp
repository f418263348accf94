// The engineering analysis: every load case and every load combination of a model, computed
// quietly. One sparse factorisation of the stiffness over the unknowns serves all load cases
// (one solve with a right-hand side per case); combinations are factored sums of case results.
#pragma once

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "engineering/modal_analysis.hpp"
#include "engineering/static_results.hpp"
#include "model/extensions.hpp"
#include "model/velm.hpp"

namespace velm::engineering {

struct AnalysisOptions {
  int stations = 11;          // points along every member for internal forces, ends included (>= 2)
  bool second_order = false;  // every result set in second order (P-Delta and P-delta)
  int buckling_modes = 0;     // per result set, that many lowest elastic critical load factors
  ModalOptions modal;         // modes > 0: that many lowest natural frequencies and shapes
};

// Checks the model, sets up the structure over its unknowns once, and analyses every result
// set: those of the model's own geometry in first order with one shared factorisation (a
// combination the factored sum of its cases); those with imperfections (on their moved
// geometry), with tension- or compression-only members (the active set) or in second order
// each on its own; then, when asked for, their critical load factors. Fails with invalid_model
// (the strict model checks and the imperfection records, a text naming the record concerned),
// unstable (a mechanism with every member on: "node 12 is free to move in RX"), too_large (the
// results or the factorisation would not fit into memory), solver_failed, solve_failed,
// out_of_memory (an allocation failed anywhere in it) or cancelled. A failure of one result
// set alone (a mechanism once members switch off, loads beyond the elastic critical load, no
// settling or convergence, non-finite or unbalanced results) is its `error`, its arrays empty.
// The monitor is told the stages ("check", "assemble", "order", "factorise", "solve",
// "results") and how far each has come, and is asked whether to stop.
base::Expected<StaticAnalysis> analyse_statics(const model::VELM& model,
                                               const AnalysisOptions& options,
                                               base::Monitor& monitor);
// The same with the document's extensions (model/extensions.hpp): their loads, springs and
// enforced displacements; a spring's reaction is its force on the structure, -k u.
base::Expected<StaticAnalysis> analyse_statics(const model::VELM& model,
                                               const model::Extensions& extensions,
                                               const AnalysisOptions& options,
                                               base::Monitor& monitor);

}  // namespace velm::engineering
