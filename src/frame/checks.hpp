// The strict record checks of the engineering analysis that need no geometry.
#pragma once

#include <string>

#include "base/error.hpp"
#include "model/velm.hpp"

namespace velm::frame {

// A rule of the model broken: the text names the record concerned.
inline std::unexpected<base::Error> invalid(std::string text) {
  return base::fail(base::ErrorCode::invalid_model, std::move(text));
}

// Ids used twice among the load cases, members, nodal supports and load combinations, checked
// in that order; the id named is the first repeat in document order.
base::Expected<void> reject_repeated_ids(const model::VELM& model);

}  // namespace velm::frame
