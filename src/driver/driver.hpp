// The analysis driver: one model document in, one outcome text out.
#pragma once

#include <string>
#include <string_view>

#include "base/error.hpp"
#include "linalg/types.hpp"
#include "listing/global_matrix.hpp"
#include "report/output.hpp"

namespace velm::driver {

inline constexpr std::string_view kResultsFileName = "analysis_results.json";

// Success: "Analysis succeeded! Results written to 'analysis_results.json'". Failure: the error
// of the stage that failed: read_failed or cancelled (the file variant's read), not_well_formed,
// no_load_cases, out_of_memory_reading, load_case_failed (the solve's message after the load
// case), cancelled, write_failed; base::message states it. A failed allocation is caught here
// once, for the stage it happened in. The storage of the global matrix is chosen from the model
// unless a caller (the benchmark, the tests) forces one.
base::Expected<std::string> calculate_from_json_internal(
    std::string_view json_text, report::Output& output,
    listing::Storage storage = listing::Storage::automatic);
base::Expected<std::string> calculate_from_file_internal(
    std::string_view path, report::Output& output,
    listing::Storage storage = listing::Storage::automatic);

// "Title:", then per node a header and six DOF lines of "%10.4f" values.
void print_readable_vector(report::Console& console, const linalg::Vector& vector,
                           std::string_view title);

}  // namespace velm::driver
