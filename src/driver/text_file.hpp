// Reading a model document from a file.
#pragma once

#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velm::driver {

// Polled while a read waits: true gives up the read.
using StopCheck = std::function<bool()>;

// The whole file as text, or the system's text of the failure ("No such file or directory (os
// error 2)"); a file that is not valid UTF-8 fails too. The text must fit in `memory` bytes
// (by default the memory the analysis may use, solver/memory_budget.hpp): a regular file is
// measured before it is read, anything else (a pipe, a device) is refused once it outgrows it.
// A read interrupted by a signal, and every MiB read, asks `stop_requested`, if given,
// whether to go on; if not, the read fails with the text of a cancelled analysis.
std::expected<std::string, std::string> read_text_file(std::string_view path,
                                                       const StopCheck& stop_requested = {});
std::expected<std::string, std::string> read_text_file(std::string_view path,
                                                       const StopCheck& stop_requested,
                                                       std::optional<std::uint64_t> memory);

}  // namespace velm::driver
