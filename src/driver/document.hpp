// The model document as both analyses take it in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "model/velm.hpp"

namespace velm::driver {

// A well-formed model with at least one load case. Failures: not_well_formed (the reader's
// message and where), no_load_cases. A failed allocation is thrown to the caller's entry point.
base::Expected<model::VELM> read_model(std::string_view json_text);
// The same, telling `monitor` how far the reading has come and asking it whether to stop (a
// stop fails as cancelled).
base::Expected<model::VELM> read_model(std::string_view json_text, base::Monitor& monitor);
// The same, with the reader's warnings (model/warnings.hpp) in `warnings`.
base::Expected<model::VELM> read_model(std::string_view json_text, base::Monitor& monitor,
                                       std::vector<std::string>& warnings);
// The same, noting whether the text may hold extensions to the model (model::parse_model).
base::Expected<model::VELM> read_model(std::string_view json_text, base::Monitor& monitor,
                                       std::vector<std::string>& warnings,
                                       bool& may_hold_extensions);

}  // namespace velm::driver
