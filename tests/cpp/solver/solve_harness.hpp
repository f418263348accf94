// Runs solve_for_load_case with the console captured in strings and the CSV files written
// into a fresh temporary folder.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "report/console.hpp"
#include "report/output.hpp"
#include "report/sink.hpp"
#include "solver/solve.hpp"

namespace velm::testing {

struct SolveRun {
  report::StringSink out;
  report::StringSink err;
  std::filesystem::path directory;
  std::expected<solver::Solution, std::string> outcome;

  SolveRun() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velm-solve-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    directory = pattern;
  }
  ~SolveRun() {
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }
  SolveRun(const SolveRun&) = delete;
  SolveRun& operator=(const SolveRun&) = delete;

  const solver::Solution& solve(model::VELM& model, std::uint32_t load_case_id = 1) {
    {
      report::Console console(out, err);
      report::Output output{console, directory};
      outcome = solver::solve_for_load_case(model, load_case_id, output);
    }
    if (!outcome) throw std::runtime_error("analysis failed: " + outcome.error());
    return *outcome;
  }

  std::string error(model::VELM& model, std::uint32_t load_case_id = 1) {
    report::Console console(out, err);
    report::Output output{console, directory};
    outcome = solver::solve_for_load_case(model, load_case_id, output);
    return outcome ? std::string("<success>") : outcome.error();
  }
};

// Displacement `dof` (0..5) of node n.
inline double dof(const linalg::Vector& u, std::uint32_t node_id, int k) {
  return u(6 * (node_id - 1) + k);
}

}  // namespace velm::testing
