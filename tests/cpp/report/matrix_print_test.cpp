#include "report/matrix_print.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "report/sink.hpp"

namespace velm::report {
namespace {

std::string printed(const linalg::DenseMatrix& m, std::string_view title,
                    std::size_t block = Console::kBlockSize) {
  StringSink out, err;
  {
    Console console(out, err, block);
    print_matrix(console, m, title);
  }
  EXPECT_EQ(err.text, "");
  return out.text;
}

TEST(PrintMatrix, CellsAreTenWideWithTwoDecimalsAndATrailingSpace) {
  linalg::DenseMatrix v(2, 1);
  v << 1.5, -20.0;
  EXPECT_EQ(printed(v, "V"), "V (2x1):\n      1.50 \n    -20.00 \n\n");

  linalg::DenseMatrix m(2, 3);
  m << 0.0, -0.0, 0.125, 1e20, std::numeric_limits<double>::quiet_NaN(),
      -std::numeric_limits<double>::infinity();
  EXPECT_EQ(printed(m, "M"),
            "M (2x3):\n      0.00      -0.00       0.12 \n"
            "100000000000000000000.00        NaN       -inf \n\n");
}

TEST(PrintMatrix, EmptyShapes) {
  EXPECT_EQ(printed(linalg::DenseMatrix(0, 0), "Global Stiffness Matrix"),
            "Global Stiffness Matrix (0x0):\n\n");
  EXPECT_EQ(printed(linalg::DenseMatrix(2, 0), "R"), "R (2x0):\n\n\n\n");
  EXPECT_EQ(printed(linalg::DenseMatrix(0, 1), "F"), "F (0x1):\n\n");
}

TEST(PrintMatrix, LongZeroRunsAndSmallBlocksGiveTheSameText) {
  linalg::DenseMatrix m = linalg::DenseMatrix::Zero(3, 150);
  m(1, 70) = 2.5;
  m(2, 149) = -1.0;
  const std::string expected = printed(m, "Z");
  std::string row0 = "Z (3x150):\n";
  for (int j = 0; j < 150; ++j) row0 += "      0.00 ";
  EXPECT_EQ(expected.substr(0, row0.size() + 1), row0 + "\n");
  EXPECT_EQ(expected.substr(row0.size() + 1 + 70 * 11, 11), "      2.50 ");
  EXPECT_EQ(printed(m, "Z", 700), expected);  // two cells per reserved chunk
  EXPECT_EQ(printed(m, "Z", 64), expected);   // smaller than one cell can be
}

TEST(PrintMatrix, DeterminantLine) {
  StringSink out, err;
  {
    Console console(out, err);
    print_determinant(console, "Determinant of local stiffness matrix: ", 3.0);
    print_determinant(console, "D: ", std::numeric_limits<double>::infinity());
    print_determinant(console, "D: ", 1.5e-7);
  }
  EXPECT_EQ(out.text, "Determinant of local stiffness matrix: 3\nD: inf\nD: 0.00000015\n");
}

}  // namespace
}  // namespace velm::report
