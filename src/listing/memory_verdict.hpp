// Whether the dense global matrices of a model fit into memory, tested before they are created.
#pragma once

#include <cstdint>
#include <optional>

#include "base/error.hpp"

namespace velm::listing {

// Bytes that three dense 6N x 6N matrices need (the assembled matrix, its constrained copy and
// the factor of a dense solve); nothing when the count overflows 64 bits. The analysis holds a
// model to this count whatever storage it chooses, so the verdict on a model never depends on
// the choice.
std::optional<std::uint64_t> dense_analysis_bytes(std::uint64_t node_count);

// Fails (too_large), stating the node count and the bytes needed, when `needed` is nothing (the
// count overflows) or more than `available`.
base::Expected<void> check_memory_budget(std::uint32_t node_count,
                                         std::optional<std::uint64_t> needed,
                                         std::optional<std::uint64_t> available);

}  // namespace velm::listing
