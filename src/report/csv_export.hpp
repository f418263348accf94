// Export of a member's transformation matrix as a CSV file: one record per row, no header,
// comma delimiter, double quotes only where a field needs them, "\n" line ends, every value
// with six decimals ("-0.000000" for negative zero).
#pragma once

#include <cstdint>
#include <string>

#include "linalg/types.hpp"
#include "report/output.hpp"

namespace velm::report {

// "transformation_matrix_member_<id>.csv"
std::string transformation_matrix_file_name(std::uint32_t member_id);

// The CSV text of a matrix in the dialect above.
std::string matrix_csv(const linalg::Matrix12& matrix);

// Writes the file into output.directory and reports the outcome on the console: the two
// "saved" lines on success, one line on standard error on failure (a partly written file is
// left in place). Never stops the analysis.
void export_transformation_matrix(const Output& output, std::uint32_t member_id,
                                  const linalg::Matrix12& matrix);

}  // namespace velm::report
