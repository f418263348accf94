// The model document in both directions: text to the VELM record, and the record to the
// pretty-printed results document.
#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "model/velm.hpp"

namespace velm::model {

// Parses a whole document. The error is the reader's message ending in " at line L column C".
std::expected<VELM, std::string> parse_model(std::string_view text);

// The pretty-printed document with every field (two-space indentation, no trailing newline).
std::string write_model(const VELM& model);

}  // namespace velm::model
