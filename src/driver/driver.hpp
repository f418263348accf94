// The analysis driver: one model document in, one outcome text out.
#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "linalg/types.hpp"
#include "report/output.hpp"
#include "listing/global_matrix.hpp"

namespace velm::driver {

inline constexpr std::string_view kResultsFileName = "analysis_results.json";

// Success: "Analysis succeeded! Results written to 'analysis_results.json'". Failure: the
// error text, with the prefix of the stage that failed. The storage of the global matrix is
// chosen from the model unless a caller (the benchmark, the tests) forces one.
std::expected<std::string, std::string> calculate_from_json_internal(
    std::string_view json_text, report::Output& output,
    listing::Storage storage = listing::Storage::automatic);
std::expected<std::string, std::string> calculate_from_file_internal(
    std::string_view path, report::Output& output,
    listing::Storage storage = listing::Storage::automatic);

// "Title:", then per node a header and six DOF lines of "%10.4f" values.
void print_readable_vector(report::Console& console, const linalg::Vector& vector,
                           std::string_view title);

}  // namespace velm::driver
