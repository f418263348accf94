// Runs solve_for_load_case with the console captured in strings and the CSV files written
// into a fresh temporary folder.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "listing/solve.hpp"
#include "report/console.hpp"
#include "report/console_reporter.hpp"
#include "report/output.hpp"
#include "report/sink.hpp"
#include "temporary_folder.hpp"

namespace velm::testing {

struct SolveRun {
  report::StringSink out;
  report::StringSink err;
  TemporaryFolder folder;
  const std::filesystem::path& directory = folder.path;
  base::Expected<listing::Solution> outcome;

  const listing::Solution& solve(const model::VELM& model, std::uint32_t load_case_id = 1) {
    {
      report::Console console(out, err);
      report::ConsoleReporter reporter(report::Output{console, directory});
      outcome = listing::solve_for_load_case(model, load_case_id, reporter);
    }
    if (!outcome) throw std::runtime_error("analysis failed: " + base::message(outcome.error()));
    return *outcome;
  }

  // The results record of the last successful solve.
  const model::Results& results() const { return outcome.value().results; }

  std::string error(const model::VELM& model, std::uint32_t load_case_id = 1) {
    report::Console console(out, err);
    report::ConsoleReporter reporter(report::Output{console, directory});
    outcome = listing::solve_for_load_case(model, load_case_id, reporter);
    return outcome ? std::string("<success>") : base::message(outcome.error());
  }
};

// Displacement `dof` (0..5) of node n.
inline double dof(const linalg::Vector& u, std::uint32_t node_id, int k) {
  return u(6 * (node_id - 1) + k);
}

}  // namespace velm::testing
