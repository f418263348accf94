#include "driver/driver.hpp"

#include <array>
#include <new>

#include <fmt/format.h>

#include "driver/save.hpp"
#include "driver/text_file.hpp"
#include "format/numbers.hpp"
#include "model/document.hpp"
#include "report/console_reporter.hpp"
#include "listing/solve.hpp"

namespace velm::driver {
namespace {

using Outcome = std::expected<std::string, std::string>;

std::unexpected<std::string> failure(std::string text) {
  return std::unexpected(std::move(text));
}

// Flushes the console however the call ends, so that everything printed is out before the
// caller sees the outcome.
struct FlushOnExit {
  report::Console& console;
  ~FlushOnExit() { console.flush(); }
};

}  // namespace

Outcome calculate_from_json_internal(std::string_view json_text, report::Output& output,
                                     listing::Storage storage) {
  FlushOnExit flush{output.console};
  std::expected<model::VELM, std::string> model;
  try {
    model = model::parse_model(json_text);
  } catch (const std::bad_alloc&) {
    return failure("Not enough memory to read the model document.");
  }
  output.mark("reading");
  if (output.stop_requested()) return failure(base::kCancelled);
  if (!model) return failure("JSON was not well-formatted: " + model.error());
  if (model->load_cases.empty()) return failure("No load cases found in the input data.");

  const std::uint32_t load_case_id = model->load_cases.front().id;
  std::expected<listing::Solution, std::string> solution;
  try {
    report::ConsoleReporter reporter(output);
    solution = listing::solve_for_load_case(*model, load_case_id, reporter, storage);
  } catch (const std::bad_alloc&) {
    solution = std::unexpected("not enough memory to complete the analysis.");
  }
  output.console.flush();
  if (!solution)
    return failure(
        fmt::format("Error during analysis for Load Case {}: {}", load_case_id, solution.error()));

  print_readable_vector(output.console, solution->displacements, "Displacements");
  print_readable_vector(output.console, solution->reactions, "Reactions");
  output.mark("listing");
  // The last point at which a stop leaves the previous results document as it was.
  if (output.stop_requested()) return failure(base::kCancelled);
  model->results = std::move(solution->results);

  std::expected<void, std::string> saved;
  try {
    saved = save_results_to_json(*model, output.file(std::string(kResultsFileName)));
  } catch (const std::bad_alloc&) {
    saved = std::unexpected("not enough memory to build the results document");
  }
  output.mark("results document");
  if (!saved) return failure("Failed to write results to JSON file: " + saved.error());
  return fmt::format("Analysis succeeded! Results written to '{}'", kResultsFileName);
}

Outcome calculate_from_file_internal(std::string_view path, report::Output& output,
                                     listing::Storage storage) {
  auto text = read_text_file(path, output.stop_check);
  if (!text) return failure("Failed to read JSON file: " + text.error());
  return calculate_from_json_internal(*text, output, storage);
}

void print_readable_vector(report::Console& console, const linalg::Vector& vector,
                           std::string_view title) {
  static constexpr std::array<std::string_view, 6> kLabels = {"UX ", "UY ", "UZ ",
                                                              "RX ", "RY ", "RZ "};
  console.write(title);
  console.write(":\n");
  const auto nodes = static_cast<std::size_t>(vector.size()) / 6;
  for (std::size_t node = 0; node < nodes; ++node) {
    console.write(fmt::format("  Node {}:\n", node + 1));
    for (std::size_t dof = 0; dof < 6; ++dof) {
      char* line = console.reserve(16 + format::max_fixed_length(4));
      char* end = line;
      for (const char c : std::string_view("    ")) *end++ = c;
      for (const char c : kLabels[dof]) *end++ = c;
      *end++ = ':';
      *end++ = ' ';
      end =
          format::write_fixed_padded(end, vector[static_cast<Eigen::Index>(6 * node + dof)], 10, 4);
      *end++ = '\n';
      console.commit(static_cast<std::size_t>(end - line));
    }
  }
}

}  // namespace velm::driver
