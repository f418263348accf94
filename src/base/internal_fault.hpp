// A broken invariant inside the engine (an index outside a matrix, say). It is never expected
// for any input; the Python module turns it into its own BaseException-derived type.
#pragma once

#include <stdexcept>

namespace velm {

class InternalFault : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

inline constexpr const char* kIndexOutOfBounds = "Matrix index out of bounds.";

}  // namespace velm
