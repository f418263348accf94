// Runs the engineering analysis on a model built in a test.
#pragma once

#include <stdexcept>
#include <string>

#include "engineering/static_analysis.hpp"

namespace velm::testing {

inline engineering::StaticAnalysis analyse(const model::VELM& model, int stations = 11) {
  engineering::AnalysisOptions options;
  options.stations = stations;
  base::Monitor quiet;
  auto outcome = engineering::analyse_statics(model, options, quiet);
  if (!outcome) throw std::runtime_error(base::message(outcome.error()));
  return std::move(*outcome);
}

// The error text, or "<success>".
inline std::string error_of(const model::VELM& model) {
  base::Monitor quiet;
  auto outcome = engineering::analyse_statics(model, {}, quiet);
  return outcome ? std::string("<success>") : base::message(outcome.error());
}

}  // namespace velm::testing
