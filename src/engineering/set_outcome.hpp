// The outcome of analysing one result set alone: a failure of the whole analysis (cancelled,
// out of memory, a mechanism of the whole structure), or else the failure of the result set
// alone, or none.
#pragma once

#include <optional>

#include "base/error.hpp"

namespace velm::engineering {

using SetOutcome = base::Expected<std::optional<base::Error>>;

// The result set's own failure.
inline SetOutcome set_failure(base::ErrorCode code, std::string detail) {
  return std::optional<base::Error>(base::Error{code, std::move(detail)});
}

// Whether a failure met while analysing one result set is that set's alone: the analysis was
// cancelled, memory ran out or the model is too large are the whole analysis's.
inline bool belongs_to_set(const base::Error& error) {
  return error.code != base::ErrorCode::cancelled && error.code != base::ErrorCode::out_of_memory &&
         error.code != base::ErrorCode::too_large;
}

}  // namespace velm::engineering
