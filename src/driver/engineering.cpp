#include "driver/engineering.hpp"

#include <new>

#include "driver/document.hpp"
#include "driver/text_file.hpp"

namespace velm::driver {
namespace {

// The analysis's failure text as an error: its cancellation as one, any other text whole.
base::Expected<engineering::StaticAnalysis> as_error(
    std::expected<engineering::StaticAnalysis, std::string> analysis) {
  if (analysis) return std::move(*analysis);
  if (analysis.error() == base::kCancelled) return base::fail(base::ErrorCode::cancelled);
  return base::fail(base::ErrorCode::analysis_failed, std::move(analysis.error()));
}

}  // namespace

base::Expected<engineering::StaticAnalysis> analyze_json(
    std::string_view json_text, const engineering::AnalysisOptions& options,
    base::Monitor& monitor) {
  monitor.stage_progress("read", 0.0);
  base::Expected<model::VELM> model = base::fail(base::ErrorCode::out_of_memory_reading);
  try {
    model = read_model(json_text);
  } catch (const std::bad_alloc&) {
    return base::fail(base::ErrorCode::out_of_memory_reading);
  }
  monitor.stage_end("read");
  if (!model) return std::unexpected(std::move(model.error()));
  return as_error(engineering::analyse_statics(*model, options, monitor));
}

base::Expected<engineering::StaticAnalysis> analyze_file(
    std::string_view path, const engineering::AnalysisOptions& options, base::Monitor& monitor) {
  monitor.stage_progress("read", 0.0);
  auto text = read_text_file(path);
  if (!text) return std::unexpected(std::move(text.error()));
  return analyze_json(*text, options, monitor);
}

}  // namespace velm::driver
