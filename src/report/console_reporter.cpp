#include "report/console_reporter.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "linalg/dense_lu.hpp"
#include "report/csv_export.hpp"
#include "report/matrix_print.hpp"

namespace velm::report {

void ConsoleReporter::member_matrices(const listing::MemberMatrices& matrices) {
  Console& console = output_.console;
  const std::string id = std::to_string(matrices.member.id);
  print_matrix(console, matrices.stiffness, "Local Stiffness Matrix for Member " + id);
  print_determinant(
      console, "Determinant of local stiffness matrix: ", linalg::determinant(matrices.stiffness));
  if (matrices.transformation == nullptr) return;
  print_matrix(console, *matrices.transformation, "Transformation Matrix for Member " + id);
  export_transformation_matrix(output_, matrices.member.id, *matrices.transformation);
  if (matrices.transformed == nullptr) return;
  print_matrix(console, *matrices.transformed, "Transformed Stiffness Matrix for Member " + id);
}

void ConsoleReporter::global_matrix(std::string_view title, const listing::GlobalMatrix& matrix) {
  print_global_matrix(output_.console, matrix, title, *this);
}

void ConsoleReporter::vector(std::string_view title, const linalg::Vector& vector) {
  print_matrix(output_.console, vector, title);
}

void ConsoleReporter::determinant(std::string_view label, double value) {
  print_determinant(output_.console, label, value);
}

void print_global_matrix(Console& console, const listing::GlobalMatrix& matrix,
                         std::string_view title, base::Monitor& monitor) {
  const std::size_t size = matrix.size();
  print_matrix_title(console, title, size, size);
  // The tile's block of rows is copied into a row-major buffer once, so that a storage keeping a
  // column's entries together is read in contiguous runs rather than a column height per cell.
  constexpr std::size_t kTileRows = 32;
  std::vector<double> tile;
  for (std::size_t first = 0; first < size; first += kTileRows) {
    const std::size_t last = std::min(size, first + kTileRows) - 1;
    std::size_t lo = size, hi = 0;
    for (std::size_t i = first; i <= last; ++i) {
      const auto [row_lo, row_hi] = matrix.row_extent(i);
      lo = std::min(lo, row_lo);
      hi = std::max(hi, row_hi);
    }
    const std::size_t width = hi - lo + 1;
    tile.resize((last - first + 1) * width);
    matrix.copy_rows(first, last, lo, hi, tile.data());
    for (std::size_t i = first; i <= last; ++i) {
      print_zero_cells(console, lo);
      print_matrix_cells(console, tile.data() + (i - first) * width, 1, width);
      print_zero_cells(console, size - 1 - hi);
      console.write("\n");
      // A row of a large matrix takes a fraction of a millisecond.
      if (monitor.stop_requested()) return;
    }
  }
  print_matrix_end(console);
}

void print_global_matrix(Console& console, const listing::GlobalMatrix& matrix,
                         std::string_view title) {
  base::Monitor quiet;
  print_global_matrix(console, matrix, title, quiet);
}

}  // namespace velm::report
