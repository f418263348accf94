#include "analysis/engineering.hpp"

#include <new>

#include "analysis/text_file.hpp"
#include "model/document.hpp"

namespace velm::analysis {

std::expected<solver::StaticAnalysis, std::string> analyze_json(
    std::string_view json_text, const solver::AnalysisOptions& options) {
  if (options.observer != nullptr) options.observer->stage_progress("read", 0.0);
  std::expected<model::VELM, std::string> model;
  try {
    model = model::parse_model(json_text);
  } catch (const std::bad_alloc&) {
    return std::unexpected("Not enough memory to read the model document.");
  }
  if (options.observer != nullptr) options.observer->stage_end("read");
  if (!model) return std::unexpected("JSON was not well-formatted: " + model.error());
  if (model->load_cases.empty())
    return std::unexpected(std::string("No load cases found in the input data."));
  return solver::analyse_statics(*model, options);
}

std::expected<solver::StaticAnalysis, std::string> analyze_file(
    std::string_view path, const solver::AnalysisOptions& options) {
  if (options.observer != nullptr) options.observer->stage_progress("read", 0.0);
  std::expected<std::string, std::string> text;
  try {
    text = read_text_file(path);
  } catch (const std::bad_alloc&) {
    return std::unexpected("Not enough memory to read the model document.");
  }
  if (!text) return std::unexpected("Failed to read JSON file: " + text.error());
  return analyze_json(*text, options);
}

}  // namespace velm::analysis
