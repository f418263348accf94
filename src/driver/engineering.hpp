// The engineering analysis from a model document: every load case and combination, returned
// as values, nothing printed and no file written.
#pragma once

#include <string_view>

#include "base/error.hpp"
#include "engineering/static_analysis.hpp"

namespace velm::driver {

// The reader's warnings (model/warnings.hpp) become the analysis's `warnings`; with
// options.strict the first of them fails the analysis as invalid_model instead.
// Failures: not_well_formed, no_load_cases, out_of_memory_reading, or the analysis's own
// failure (cancelled when the monitor asked to stop); the file variant also read_failed. A
// failed allocation while the document is read is caught here, once per entry point.
base::Expected<engineering::StaticAnalysis> analyze_json(
    std::string_view json_text, const engineering::AnalysisOptions& options,
    base::Monitor& monitor);
base::Expected<engineering::StaticAnalysis> analyze_file(
    std::string_view path, const engineering::AnalysisOptions& options, base::Monitor& monitor);

}  // namespace velm::driver
