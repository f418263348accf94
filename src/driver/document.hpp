// The model document as both analyses take it in.
#pragma once

#include <string_view>

#include "base/error.hpp"
#include "model/velm.hpp"

namespace velm::driver {

// A well-formed model with at least one load case. Failures: not_well_formed (the reader's
// message and where), no_load_cases. A failed allocation is thrown to the caller's entry point.
base::Expected<model::VELM> read_model(std::string_view json_text);

}  // namespace velm::driver
