#include "driver/driver.hpp"

#include <array>
#include <new>

#include <fmt/format.h>

#include "driver/document.hpp"
#include "driver/save.hpp"
#include "driver/text_file.hpp"
#include "format/numbers.hpp"
#include "listing/solve.hpp"
#include "report/console_reporter.hpp"

namespace velm::driver {
namespace {

using Outcome = base::Expected<std::string>;

// Flushes the console however the call ends, so that everything printed is out before the
// caller sees the outcome.
struct FlushOnExit {
  report::Console& console;
  ~FlushOnExit() { console.flush(); }
};

// Where the listed analysis is, for the failure a failed allocation becomes.
enum class Stage { reading, solving, listing, saving };

// A failure of the load case's solve, stated with the load case; a cancellation stays one.
std::unexpected<base::Error> load_case_failure(std::uint32_t load_case_id, base::Error error) {
  if (error.code == base::ErrorCode::cancelled) return std::unexpected(std::move(error));
  return base::fail(base::ErrorCode::load_case_failed,
                    fmt::format("{}: {}", load_case_id, base::message(error)));
}

Outcome analyse(std::string_view json_text, report::Output& output, listing::Storage storage,
                Stage& stage, std::uint32_t& load_case_id) {
  auto model = read_model(json_text);
  stage = Stage::listing;
  output.mark("reading");
  if (output.stop_requested()) return base::fail(base::ErrorCode::cancelled);
  if (!model) return std::unexpected(std::move(model.error()));

  load_case_id = model->load_cases.front().id;
  stage = Stage::solving;
  base::Expected<listing::Solution> solution = [&] {
    report::ConsoleReporter reporter(output);
    return listing::solve_for_load_case(*model, load_case_id, reporter, storage);
  }();
  stage = Stage::listing;
  output.console.flush();
  if (!solution) return load_case_failure(load_case_id, std::move(solution.error()));

  print_readable_vector(output.console, solution->displacements, "Displacements");
  print_readable_vector(output.console, solution->reactions, "Reactions");
  output.mark("listing");
  // The last point at which a stop leaves the previous results document as it was.
  if (output.stop_requested()) return base::fail(base::ErrorCode::cancelled);
  model->results = std::move(solution->results);

  stage = Stage::saving;
  auto saved = save_results_to_json(*model, output.file(std::string(kResultsFileName)));
  stage = Stage::listing;
  output.mark("results document");
  if (!saved) return std::unexpected(std::move(saved.error()));
  return fmt::format("Analysis succeeded! Results written to '{}'", kResultsFileName);
}

}  // namespace

Outcome calculate_from_json_internal(std::string_view json_text, report::Output& output,
                                     listing::Storage storage) {
  FlushOnExit flush{output.console};
  Stage stage = Stage::reading;
  std::uint32_t load_case_id = 0;
  try {
    return analyse(json_text, output, storage, stage, load_case_id);
  } catch (const std::bad_alloc&) {
    switch (stage) {
      case Stage::reading:
        return base::fail(base::ErrorCode::out_of_memory_reading);
      case Stage::solving:
        return load_case_failure(
            load_case_id,
            {base::ErrorCode::out_of_memory, "an allocation failed while solving the load case"});
      case Stage::saving:
        return base::fail(base::ErrorCode::write_failed,
                          "not enough memory to build the results document");
      case Stage::listing:
        break;
    }
    // Printing the listing: the caller's own failure, as it always was.
    throw;
  }
}

Outcome calculate_from_file_internal(std::string_view path, report::Output& output,
                                     listing::Storage storage) {
  auto text = read_text_file(path, output.stop_check);
  if (!text) return std::unexpected(std::move(text.error()));
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
