// Runs the engineering analysis on a model built in a test.
#pragma once

#include <stdexcept>
#include <string>

#include "solver/static_analysis.hpp"

namespace velm::testing {

inline solver::StaticAnalysis analyse(const model::VELM& model, int stations = 11) {
  solver::AnalysisOptions options;
  options.stations = stations;
  auto outcome = solver::analyse_statics(model, options);
  if (!outcome) throw std::runtime_error(outcome.error());
  return std::move(*outcome);
}

// The error text, or "<success>".
inline std::string error_of(const model::VELM& model) {
  auto outcome = solver::analyse_statics(model, {});
  return outcome ? std::string("<success>") : outcome.error();
}

}  // namespace velm::testing
