// How much memory a computation may take. On Linux an over-large zero-fill is met by the OOM
// killer rather than by a failed allocation, so sizes are tested against this budget before
// the memory is taken.
#pragma once

#include <cstdint>
#include <optional>

namespace velm::base {

// The smallest of the physical memory, the cgroup limit (when it is a number) and what the
// address-space limit (RLIMIT_AS) leaves beyond the space already mapped; nothing when none can
// be read.
std::optional<std::uint64_t> available_memory();

}  // namespace velm::base
