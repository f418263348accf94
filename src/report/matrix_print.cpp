#include "report/matrix_print.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "format/numbers.hpp"

namespace velm::report {

namespace {

constexpr int kWidth = 10;
constexpr int kDecimals = 2;
// A cell is the padded value and its space; wider values are written in full.
constexpr std::size_t kMaxCell = format::max_fixed_length(kDecimals) + 1;
// Global matrices are mostly zeros: those cells are copied from a prepared run.
constexpr std::string_view kZeroCell = "      0.00 ";
constexpr std::size_t kZeroRunCells = 256;

constexpr std::array<char, kZeroRunCells * kZeroCell.size()> kZeroRun = [] {
  std::array<char, kZeroRunCells * kZeroCell.size()> run{};
  for (std::size_t i = 0; i < run.size(); ++i) run[i] = kZeroCell[i % kZeroCell.size()];
  return run;
}();

bool is_positive_zero(double value) {
  return value == 0.0 && !std::signbit(value);
}

// Writes cells [0, count) into `out`, which has room for count * kMaxCell bytes.
char* write_cells(char* out, const double* first, std::ptrdiff_t stride, std::size_t count) {
  std::size_t i = 0;
  while (i < count) {
    const double value = first[static_cast<std::ptrdiff_t>(i) * stride];
    if (is_positive_zero(value)) {
      std::size_t run = 1;
      while (i + run < count && run < kZeroRunCells &&
             is_positive_zero(first[static_cast<std::ptrdiff_t>(i + run) * stride]))
        ++run;
      std::memcpy(out, kZeroRun.data(), run * kZeroCell.size());
      out += run * kZeroCell.size();
      i += run;
      continue;
    }
    out = format::write_fixed_padded(out, value, kWidth, kDecimals);
    *out++ = ' ';
    ++i;
  }
  return out;
}

}  // namespace

void print_matrix_title(Console& console, std::string_view title, std::size_t rows,
                        std::size_t cols) {
  std::string line;
  line.reserve(title.size() + 48);
  line.append(title).append(" (").append(std::to_string(rows)).append("x");
  line.append(std::to_string(cols)).append("):\n");
  console.write(line);
}

void print_matrix_cells(Console& console, const double* first, std::ptrdiff_t stride,
                        std::size_t count) {
  const std::size_t chunk = console.block_size() / kMaxCell;
  if (chunk == 0) {
    // A console with a tiny block (tests only): format each cell aside.
    char cell[kMaxCell];
    for (std::size_t i = 0; i < count; ++i) {
      const char* end = write_cells(cell, first + static_cast<std::ptrdiff_t>(i) * stride, 1, 1);
      console.write({cell, static_cast<std::size_t>(end - cell)});
    }
    return;
  }
  std::size_t done = 0;
  while (done < count) {
    const std::size_t take = std::min(chunk, count - done);
    char* start = console.reserve(take * kMaxCell);
    char* end =
        write_cells(start, first + static_cast<std::ptrdiff_t>(done) * stride, stride, take);
    console.commit(static_cast<std::size_t>(end - start));
    done += take;
  }
}

void print_matrix_row(Console& console, const double* first, std::ptrdiff_t stride,
                      std::size_t count) {
  print_matrix_cells(console, first, stride, count);
  console.write("\n");
}

void print_zero_cells(Console& console, std::size_t count) {
  while (count > 0) {
    const std::size_t take = std::min(count, kZeroRunCells);
    console.write({kZeroRun.data(), take * kZeroCell.size()});
    count -= take;
  }
}

void print_matrix(Console& console, const Eigen::Ref<const linalg::DenseMatrix>& matrix,
                  std::string_view title) {
  const auto rows = static_cast<std::size_t>(matrix.rows());
  const auto cols = static_cast<std::size_t>(matrix.cols());
  print_matrix_title(console, title, rows, cols);
  // Column-major storage: the values of a row lie one outer stride apart.
  for (Eigen::Index i = 0; i < matrix.rows(); ++i) {
    if (cols == 0) {
      console.write("\n");
      continue;
    }
    print_matrix_row(console, matrix.data() + i, matrix.outerStride(), cols);
  }
  print_matrix_end(console);
}

void print_determinant(Console& console, std::string_view label, double value) {
  std::string line(label);
  line.append(format::plain_decimal(value)).append("\n");
  console.write(line);
}

}  // namespace velm::report
