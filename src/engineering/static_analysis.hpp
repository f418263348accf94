// The engineering analysis: every load case and every load combination of a model, computed
// quietly. One sparse factorisation of the stiffness over the unknowns serves all load cases
// (one solve with a right-hand side per case); combinations are factored sums of case results.
#pragma once

#include <expected>
#include <string>

#include "model/velm.hpp"
#include "base/monitor.hpp"
#include "engineering/static_results.hpp"

namespace velm::engineering {

struct AnalysisOptions {
  int stations = 11;  // points along every member for internal forces, ends included (>= 2)
};

// Fails with a text naming the record concerned: the strict model checks, a structure that is
// a mechanism ("The structure is unstable: node 12 is free to move in RX."), a factorisation
// that would not fit into memory, non-finite results.
// The monitor is told the stages ("check", "assemble", "order", "factorise", "solve",
// "results") and how far each has come, and is asked whether to stop.
std::expected<StaticAnalysis, std::string> analyse_statics(const model::VELM& model,
                                                           const AnalysisOptions& options,
                                                           base::Monitor& monitor);

}  // namespace velm::engineering
