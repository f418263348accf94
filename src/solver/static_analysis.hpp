// The engineering analysis: every load case and every load combination of a model, computed
// quietly. One sparse factorisation of the stiffness over the unknowns serves all load cases
// (one solve with a right-hand side per case); combinations are factored sums of case results.
#pragma once

#include <expected>
#include <string>

#include "model/velm.hpp"
#include "solver/observer.hpp"
#include "solver/static_results.hpp"

namespace velm::solver {

struct AnalysisOptions {
  int stations = 11;  // points along every member for internal forces, ends included (>= 2)
  // Told the end of each stage ("read" by the driver, then "assemble", "order", "factorise",
  // "solve", "results"); nothing else is reported. A quiet analysis passes none.
  Observer* observer = nullptr;
};

// Fails with a text naming the record concerned: the strict model checks, a structure that is
// a mechanism ("The structure is unstable: node 12 is free to move in RX."), a factorisation
// that would not fit into memory, non-finite results.
std::expected<StaticAnalysis, std::string> analyse_statics(const model::VELM& model,
                                                           const AnalysisOptions& options);

}  // namespace velm::solver
