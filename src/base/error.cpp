#include "base/error.hpp"

namespace velm::base {

std::string message(const Error& error) {
  const std::string& detail = error.detail;
  switch (error.code) {
    case ErrorCode::read_failed:
      return "Failed to read JSON file: " + detail;
    case ErrorCode::not_well_formed:
      return "JSON was not well-formatted: " + detail;
    case ErrorCode::no_load_cases:
      return "No load cases found in the input data.";
    case ErrorCode::invalid_model:
    case ErrorCode::singular:
    case ErrorCode::too_large:
    case ErrorCode::not_finite:
    case ErrorCode::not_settled:
      return detail;
    case ErrorCode::unstable:
      return "The structure is unstable: " + detail + ".";
    case ErrorCode::solver_failed:
      return "The sparse solver failed: " + detail + ".";
    case ErrorCode::solve_failed:
      return "The sparse solver failed to solve: " + detail + ".";
    case ErrorCode::out_of_memory:
      return "Not enough memory for the analysis: " +
             (detail.empty() ? std::string("an allocation failed") : detail) + ".";
    case ErrorCode::out_of_memory_reading:
      return "Not enough memory to read the model document.";
    case ErrorCode::cancelled:
      return kCancelled;
    case ErrorCode::load_case_failed:
      return "Error during analysis for Load Case " + detail;
    case ErrorCode::write_failed:
      return "Failed to write results to JSON file: " + detail;
  }
  return detail;  // not reached: every code is handled above
}

}  // namespace velm::base
