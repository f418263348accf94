// The engineering analysis from a model document: every load case and combination, returned
// as values, nothing printed and no file written.
#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "engineering/static_analysis.hpp"

namespace velm::driver {

// Failures: "JSON was not well-formatted: ...", "No load cases found in the input data." or
// the analysis's own text; the file variant also "Failed to read JSON file: ...".
std::expected<engineering::StaticAnalysis, std::string> analyze_json(
    std::string_view json_text, const engineering::AnalysisOptions& options,
    base::Monitor& monitor);
std::expected<engineering::StaticAnalysis, std::string> analyze_file(
    std::string_view path, const engineering::AnalysisOptions& options,
    base::Monitor& monitor);

}  // namespace velm::driver
