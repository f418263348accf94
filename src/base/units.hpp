// Amounts as the engine's messages state them.
#pragma once

#include <cstdint>
#include <string>

namespace velm::base {

// "1.5 GB": bytes in gigabytes (10^9) with one decimal.
std::string gigabytes(std::uint64_t bytes);

// "1.5 GB (1500000000 bytes)": the gigabytes, then the exact count.
std::string gigabytes_and_bytes(std::uint64_t bytes);

}  // namespace velm::base
