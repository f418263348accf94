// The model document in both directions: text to the VELM record, and the record to the
// pretty-printed results document.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "model/velm.hpp"

namespace velm::model {

// Parses a whole document. Failure: not_well_formed, its detail the reader's message ending in
// " at line L column C".
base::Expected<VELM> parse_model(std::string_view text);
// The same, telling `monitor` how far the reading has come ("read") and asking it whether to
// stop; a stop fails as cancelled.
base::Expected<VELM> parse_model(std::string_view text, base::Monitor& monitor);
// The same, noting in `warnings` (model/warnings.hpp) every key a record does not have and every
// value read as a default its author probably did not mean.
base::Expected<VELM> parse_model(std::string_view text, base::Monitor& monitor,
                                 std::vector<std::string>& warnings);
// The same, noting in `may_hold_extensions` whether the text may hold extensions to the model
// (model/extensions.hpp): false when no string of it spells an extension key and none holds an
// escape, exactly as parse_extensions would find by a look of its own.
base::Expected<VELM> parse_model(std::string_view text, base::Monitor& monitor,
                                 std::vector<std::string>& warnings, bool& may_hold_extensions);

// The pretty-printed document with every field (two-space indentation, no trailing newline).
std::string write_model(const VELM& model);

}  // namespace velm::model
