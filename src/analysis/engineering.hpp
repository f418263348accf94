// The engineering analysis from a model document: every load case and combination, returned
// as values, nothing printed and no file written.
#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "solver/static_analysis.hpp"

namespace velm::analysis {

// Failures: "JSON was not well-formatted: ...", "No load cases found in the input data." or
// the analysis's own text; the file variant also "Failed to read JSON file: ...".
std::expected<solver::StaticAnalysis, std::string> analyze_json(
    std::string_view json_text, const solver::AnalysisOptions& options);
std::expected<solver::StaticAnalysis, std::string> analyze_file(
    std::string_view path, const solver::AnalysisOptions& options);

}  // namespace velm::analysis
