#include "driver/engineering.hpp"

#include <new>

#include "driver/document.hpp"
#include "driver/text_file.hpp"

namespace velm::driver {
base::Expected<engineering::StaticAnalysis> analyze_json(
    std::string_view json_text, const engineering::AnalysisOptions& options,
    base::Monitor& monitor) {
  monitor.stage_progress("read", 0.0);
  base::Expected<model::VELM> model = base::fail(base::ErrorCode::out_of_memory_reading);
  try {
    model = read_model(json_text, monitor);
  } catch (const std::bad_alloc&) {
    return base::fail(base::ErrorCode::out_of_memory_reading);
  }
  monitor.stage_end("read");
  if (!model) return std::unexpected(std::move(model.error()));
  return engineering::analyse_statics(*model, options, monitor);
}

base::Expected<engineering::StaticAnalysis> analyze_file(
    std::string_view path, const engineering::AnalysisOptions& options, base::Monitor& monitor) {
  monitor.stage_progress("read", 0.0);
  auto text = read_text_file(path, [&monitor] { return monitor.stop_requested(); });
  if (!text) return std::unexpected(std::move(text.error()));
  return analyze_json(*text, options, monitor);
}

}  // namespace velm::driver
