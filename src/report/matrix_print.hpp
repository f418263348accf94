// Console form of matrices: a title line "Title (RxC):", one line per row with every value as
// "%10.2f" followed by a space (the last of the row too), then an empty line.
#pragma once

#include <cstddef>
#include <string_view>

#include "linalg/types.hpp"
#include "report/console.hpp"

namespace velm::report {

void print_matrix(Console& console, const Eigen::Ref<const linalg::DenseMatrix>& matrix,
                  std::string_view title);

// The pieces print_matrix is made of, for matrices that are not held as one dense block.
void print_matrix_title(Console& console, std::string_view title, std::size_t rows,
                        std::size_t cols);
// Cells for `count` values read at first[0], first[stride], ...
void print_matrix_cells(Console& console, const double* first, std::ptrdiff_t stride,
                        std::size_t count);
// Cells for `count` zeros, copied from a prepared run.
void print_zero_cells(Console& console, std::size_t count);
// One row: `count` values read at first[0], first[stride], ..., then the line break.
void print_matrix_row(Console& console, const double* first, std::ptrdiff_t stride,
                      std::size_t count);
inline void print_matrix_end(Console& console) {
  console.write("\n");
}

// "<label><value>\n" with the value as the shortest exact plain decimal ("inf" and "NaN" too).
void print_determinant(Console& console, std::string_view label, double value);

}  // namespace velm::report
