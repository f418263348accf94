#include "driver/engineering.hpp"

#include <new>

#include "driver/text_file.hpp"
#include "model/document.hpp"

namespace velm::driver {

std::expected<engineering::StaticAnalysis, std::string> analyze_json(
    std::string_view json_text, const engineering::AnalysisOptions& options,
    base::Monitor& monitor) {
  monitor.stage_progress("read", 0.0);
  std::expected<model::VELM, std::string> model;
  try {
    model = model::parse_model(json_text);
  } catch (const std::bad_alloc&) {
    return std::unexpected("Not enough memory to read the model document.");
  }
  monitor.stage_end("read");
  if (!model) return std::unexpected("JSON was not well-formatted: " + model.error());
  if (model->load_cases.empty())
    return std::unexpected(std::string("No load cases found in the input data."));
  return engineering::analyse_statics(*model, options, monitor);
}

std::expected<engineering::StaticAnalysis, std::string> analyze_file(
    std::string_view path, const engineering::AnalysisOptions& options, base::Monitor& monitor) {
  monitor.stage_progress("read", 0.0);
  std::expected<std::string, std::string> text;
  try {
    text = read_text_file(path, [&monitor] { return monitor.stop_requested(); });
  } catch (const std::bad_alloc&) {
    return std::unexpected("Not enough memory to read the model document.");
  }
  if (!text) return std::unexpected("Failed to read JSON file: " + text.error());
  return analyze_json(*text, options, monitor);
}

}  // namespace velm::driver
