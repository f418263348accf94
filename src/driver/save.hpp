// Writing the results document.
#pragma once

#include <filesystem>

#include "base/error.hpp"
#include "model/velm.hpp"

namespace velm::driver {

// Writes the whole model, results included, as the pretty-printed document, replacing the file
// as base::replace_file does. Failure: write_failed with the system's text of the failed step.
base::Expected<void> save_results_to_json(const model::VELM& model,
                                          const std::filesystem::path& file_name);

}  // namespace velm::driver
