#include "driver/engineering.hpp"

#include <new>
#include <string>
#include <vector>

#include "driver/document.hpp"
#include "driver/text_file.hpp"
#include "model/extensions.hpp"

namespace velm::driver {

namespace {

// Passes on only the requests to stop: the second reading of the text (its extensions) does not
// report a second "read" stage.
class StopsOnly final : public base::Monitor {
 public:
  explicit StopsOnly(base::Monitor& monitor) : monitor_(monitor) {}
  bool stop_requested() override { return monitor_.stop_requested(); }

 private:
  base::Monitor& monitor_;
};

}  // namespace

base::Expected<engineering::StaticAnalysis> analyze_json(
    std::string_view json_text, const engineering::AnalysisOptions& options,
    base::Monitor& monitor) {
  monitor.stage_progress("read", 0.0);
  base::Expected<model::VELM> model = base::fail(base::ErrorCode::out_of_memory_reading);
  base::Expected<model::Extensions> extensions = model::Extensions{};
  std::vector<std::string> warnings;
  try {
    // The reading of the model tells whether the text needs a second one for its extensions.
    bool may_hold_extensions = false;
    model = read_model(json_text, monitor, warnings, may_hold_extensions);
    if (model) {
      StopsOnly stops(monitor);
      extensions = model::parse_extensions(json_text, stops, may_hold_extensions);
    }
  } catch (const std::bad_alloc&) {
    return base::fail(base::ErrorCode::out_of_memory_reading);
  }
  monitor.stage_end("read");
  if (!model) return std::unexpected(std::move(model.error()));
  if (!extensions) return std::unexpected(std::move(extensions.error()));
  if (options.strict && !warnings.empty())
    return base::fail(base::ErrorCode::invalid_model, std::move(warnings.front()));
  auto analysis = engineering::analyse_statics(*model, *extensions, options, monitor);
  if (analysis) analysis->warnings = std::move(warnings);
  return analysis;
}

base::Expected<engineering::StaticAnalysis> analyze_file(
    std::string_view path, const engineering::AnalysisOptions& options, base::Monitor& monitor) {
  monitor.stage_progress("read", 0.0);
  auto text = read_text_file(path, [&monitor] { return monitor.stop_requested(); });
  if (!text) return std::unexpected(std::move(text.error()));
  return analyze_json(*text, options, monitor);
}

}  // namespace velm::driver
