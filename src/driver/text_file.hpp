// Reading a model document from a file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.hpp"

namespace velm::driver {

// Polled while a read waits: true gives up the read.
using StopCheck = std::function<bool()>;

// The whole file as text. Failure: read_failed with the system's text ("No such file or
// directory (os error 2)") or the reason the text was refused; a file that is not valid UTF-8
// fails too. The text must fit in `memory` bytes
// (by default the memory the analysis may use, base/memory_budget.hpp): a regular file is
// measured before it is read, anything else (a pipe, a device) is refused once it outgrows it.
// A read interrupted by a signal, and every MiB read, asks `stop_requested`, if given,
// whether to go on; if not, the read fails as cancelled. A failed allocation is caught here,
// once, and stated as read_failed.
base::Expected<std::string> read_text_file(std::string_view path,
                                           const StopCheck& stop_requested = {});
base::Expected<std::string> read_text_file(std::string_view path, const StopCheck& stop_requested,
                                           std::optional<std::uint64_t> memory);

}  // namespace velm::driver
