// The one failure type of the engine: what went wrong (a code) and the particulars (a detail).
// A failure is a value, carried by std::expected<T, Error>; only a broken invariant is thrown
// (base/internal_fault.hpp). The text a user reads is made in one place, message().
#pragma once

#include <expected>
#include <string>
#include <utility>

namespace velm::base {

enum class ErrorCode {
  read_failed,            // the model file could not be read; detail: why
  not_well_formed,        // the document is not a well-formed model; detail: what and where
  no_load_cases,          // the model has no load case; no detail
  invalid_model,          // the model breaks a rule; detail: the whole text, naming the record
  unstable,               // the structure is a mechanism; detail: the node and dof free to move
  singular,               // the listed solve met a singular matrix; detail: the whole text
  too_large,              // the model would not fit into memory; detail: the whole text
  not_finite,             // a result is not a finite number; detail: the whole text
  not_settled,            // tension/compression members kept switching; detail: the whole text
  solver_failed,          // the sparse solver failed to factorise; detail: its reason
  solve_failed,           // the sparse solver failed to solve; detail: its reason
  out_of_memory,          // an allocation failed during the analysis; detail: what failed
  out_of_memory_reading,  // an allocation failed while the document was read; no detail
  cancelled,              // the caller asked to stop; no detail
  load_case_failed,       // the listed analysis of a load case failed; detail: "<id>: <message>"
  write_failed,           // the results file could not be written; detail: why
};

// The text of ErrorCode::cancelled: a computation that its monitor stopped.
inline constexpr const char* kCancelled = "The analysis was cancelled.";

struct Error {
  ErrorCode code;
  std::string detail;
};

template <class T>
using Expected = std::expected<T, Error>;

inline std::unexpected<Error> fail(ErrorCode code, std::string detail = {}) {
  return std::unexpected(Error{code, std::move(detail)});
}

// The text a user reads.
std::string message(const Error& error);

}  // namespace velm::base
