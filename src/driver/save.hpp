// Writing the results document.
#pragma once

#include <expected>
#include <filesystem>
#include <string>

#include "model/velm.hpp"

namespace velm::driver {

// Writes the whole model, results included, as the pretty-printed document. The text is built
// in memory, written to a new unnamed file beside the target, named once complete and renamed
// over the target, so a failure at any step, or the process being killed, leaves the previous
// document as it was and no stray file. A symbolic link at file_name is followed: the file it
// points to is the one replaced. An existing file is replaced only where the process could
// open it for writing, and the new one takes its permission bits (and, where the process may
// set them, its owner and group). A device or FIFO (at the end of the links) is written to
// directly, as a plain write would, never replaced. The error is the system's text of the failed step.
std::expected<void, std::string> save_results_to_json(const model::VELM& model,
                                                      const std::filesystem::path& file_name);

// The same for any text (the replacement step alone).
std::expected<void, std::string> replace_file(const std::filesystem::path& file_name,
                                              std::string_view contents);

}  // namespace velm::driver
