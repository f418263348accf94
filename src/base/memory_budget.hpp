// How much memory a computation may take. On Linux an over-large zero-fill is met by the OOM
// killer rather than by a failed allocation, so sizes are tested against this budget before
// the memory is taken.
#pragma once

#include <cstdint>
#include <optional>

namespace velm::base {

// The smallest of the physical memory, what the control groups of the process leave
// (base/cgroup_memory.hpp: its own group's and every ancestor's limit less its usage, v1 and
// v2) and what the address-space limit (RLIMIT_AS) leaves beyond the space already mapped;
// nothing when none can be read.
std::optional<std::uint64_t> available_memory();

// What a solver's own estimate of its memory may reach: `available` less a margin for what
// the estimate leaves out. kFixedMargin (256 MiB) holds the BLAS library's work buffers
// (OpenBLAS maps 128 MiB ones as its kernels first need them, outside any estimate, and under
// an address-space limit a failed map makes it retry for ever); a tenth of the rest holds the
// model, the results and the allocator's slack:
//   budget = (available - 256 MiB) * 9/10, and 0 when available <= 256 MiB.
inline constexpr std::uint64_t kFixedMargin = std::uint64_t{256} << 20;
inline constexpr std::uint64_t kMarginDivisor = 10;
std::optional<std::uint64_t> with_margin(std::optional<std::uint64_t> available);

// with_margin(available_memory()): the budget the engineering analysis sets its factorisation
// estimate against.
std::optional<std::uint64_t> analysis_budget();

}  // namespace velm::base
