// Id-to-record maps that the element mechanics read sections and materials through. The maps
// refer into the model document and must not outlive it.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "model/material.hpp"

namespace velm::mechanics {

using MaterialMap = std::unordered_map<std::uint32_t, const model::Material*>;
using SectionMap = std::unordered_map<std::uint32_t, const model::Section*>;

}  // namespace velm::mechanics
