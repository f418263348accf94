// The observer of the listed analysis: every stage's progress line and matrices on the console,
// the CSV file of each member's transformation matrix, and the stage times for the benchmark.
#pragma once

#include <string_view>

#include "linalg/types.hpp"
#include "listing/global_matrix.hpp"
#include "listing/observer.hpp"
#include "report/console.hpp"
#include "report/output.hpp"

namespace velm::report {

class ConsoleReporter final : public listing::Observer {
 public:
  explicit ConsoleReporter(const Output& output) : output_(output) {}

  void progress(std::string_view line) override { output_.console.progress(line); }
  // k, "Determinant of local stiffness matrix: " with det(k), T, the CSV file of T with its two
  // console lines, then Ke; only k and its determinant when there is no T.
  void member_matrices(const listing::MemberMatrices& matrices) override;
  void global_matrix(std::string_view title, const listing::GlobalMatrix& matrix) override;
  void vector(std::string_view title, const linalg::Vector& vector) override;
  void determinant(std::string_view label, double value) override;
  void stage_end(std::string_view stage) override { output_.mark(stage); }
  bool stop_requested() override { return output_.stop_requested(); }

 private:
  Output output_;
};

// A global matrix in the form of print_matrix, whatever its storage: rows go out in tiles, each
// row as a run of zero cells, the columns the row may hold non-zeros in, and another run of
// zero cells. The monitor is asked after every row whether to stop; true ends the printing
// there, the matrix unfinished. Without a monitor the whole matrix is printed.
void print_global_matrix(Console& console, const listing::GlobalMatrix& matrix,
                         std::string_view title, base::Monitor& monitor);
void print_global_matrix(Console& console, const listing::GlobalMatrix& matrix,
                         std::string_view title);

}  // namespace velm::report
