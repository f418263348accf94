#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "driver/driver.hpp"

namespace velm::driver {
namespace {

std::string printed(const linalg::Vector& vector) {
  report::StringSink out, err;
  {
    report::Console console(out, err);
    print_readable_vector(console, vector, "Displacements");
  }
  return out.text;
}

TEST(PrintReadableVector, NodeBlocksOfSixDofLines) {
  linalg::Vector v = linalg::Vector::Zero(13);
  v[0] = 0.00125;
  v[5] = -0.0;
  v[6] = 1234567.8;
  v[7] = std::nan("");
  v[8] = std::numeric_limits<double>::infinity();
  v[9] = -std::numeric_limits<double>::infinity();
  v[10] = 0.00005;  // a tie in decimal, below it in binary
  v[11] = -2.5;
  v[12] = 99.0;  // the 13th row belongs to no complete node
  EXPECT_EQ(printed(v),
            "Displacements:\n"
            "  Node 1:\n"
            "    UX :     0.0013\n"
            "    UY :     0.0000\n"
            "    UZ :     0.0000\n"
            "    RX :     0.0000\n"
            "    RY :     0.0000\n"
            "    RZ :    -0.0000\n"
            "  Node 2:\n"
            "    UX : 1234567.8000\n"
            "    UY :        NaN\n"
            "    UZ :        inf\n"
            "    RX :       -inf\n"
            "    RY :     0.0001\n"
            "    RZ :    -2.5000\n");
}

TEST(PrintReadableVector, FewerThanSixRowsPrintTheTitleOnly) {
  EXPECT_EQ(printed(linalg::Vector::Ones(5)), "Displacements:\n");
  EXPECT_EQ(printed(linalg::Vector()), "Displacements:\n");
}

}  // namespace
}  // namespace velm::driver
