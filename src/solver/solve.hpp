// Analysis of one load case: from the model to displacements, reactions and the stored results.
#pragma once

#include <cstdint>
#include <expected>
#include <string>

#include "linalg/types.hpp"
#include "model/velm.hpp"
#include "report/output.hpp"
#include "solver/global_matrix.hpp"

namespace velm::solver {

struct Solution {
  linalg::Vector displacements;  // 6N rows: UX, UY, UZ, RX, RY, RZ of node 1, then node 2, ...
  linalg::Vector reactions;      // K_orig * u, same layout
};

// Prints its progress and matrices to output.console, writes the CSV exports into
// output.directory, and on success replaces model.results.
std::expected<Solution, std::string> solve_for_load_case(model::VELM& model,
                                                         std::uint32_t load_case_id,
                                                         report::Output& output,
                                                         Storage storage = Storage::automatic);

}  // namespace velm::solver
