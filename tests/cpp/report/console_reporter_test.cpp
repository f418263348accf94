// The reporter of the listed analysis: global matrices print as any matrix whatever their
// storage, and a member's matrices come out in the order of the listing.
#include "report/console_reporter.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "model/member.hpp"
#include "report/matrix_print.hpp"
#include "report/sink.hpp"
#include "temporary_folder.hpp"

namespace velm::report {
namespace {

// 5 nodes (30 dofs, under one tile) or 12 nodes (72 dofs, three tiles of rows), members between
// neighbours, one dof fixed so that the matrix also holds a negative zero.
std::unique_ptr<listing::GlobalMatrix> chain(std::uint32_t nodes, listing::Storage storage) {
  auto k = listing::make_global_matrix(6 * std::size_t{nodes}, 11, storage);
  for (std::uint32_t n = 1; n < nodes; ++n) {
    linalg::Matrix12 e;
    for (int i = 0; i < 12; ++i)
      for (int j = 0; j < 12; ++j) e(i, j) = std::sin(n + 12.0 * i + j) * 1e4;
    k->add_element(e, listing::member_dofs(n, n + 1));
  }
  k->constrain(8);
  return k;
}

std::string printed_global(const listing::GlobalMatrix& matrix) {
  StringSink out, err;
  {
    Console console(out, err);
    print_global_matrix(console, matrix, "K");
  }
  return out.text;
}

std::string printed_dense(const listing::GlobalMatrix& matrix) {
  linalg::DenseMatrix dense(matrix.size(), matrix.size());
  for (std::size_t i = 0; i < matrix.size(); ++i)
    for (std::size_t j = 0; j < matrix.size(); ++j)
      dense(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) = matrix.at(i, j);
  StringSink out, err;
  {
    Console console(out, err);
    print_matrix(console, dense, "K");
  }
  return out.text;
}

TEST(PrintGlobalMatrix, PrintsLikeTheDenseMatrixInBothStorages) {
  for (const auto storage : {listing::Storage::dense, listing::Storage::band}) {
    for (const std::uint32_t nodes : {5u, 12u}) {
      const auto k = chain(nodes, storage);
      EXPECT_EQ(printed_global(*k), printed_dense(*k)) << nodes << " nodes";
    }
  }
  EXPECT_EQ(printed_global(*listing::make_global_matrix(0, 0, listing::Storage::automatic)),
            "K (0x0):\n\n");
}

model::Member bar(std::uint32_t id, double length) {
  model::Member member;
  member.id = id;
  member.start_node.id = 1;
  member.end_node.id = 2;
  member.end_node.X = length;
  return member;
}

TEST(ConsoleReporter, MemberMatricesInTheOrderOfTheListing) {
  const linalg::Matrix12 k = 2.0 * linalg::Matrix12::Identity();
  const linalg::Matrix12 t = linalg::Matrix12::Identity();
  const linalg::Matrix12 ke = 3.0 * linalg::Matrix12::Identity();
  const model::Member member = bar(4, 1.0);
  const testing::TemporaryFolder folder;
  StringSink out, err;
  {
    Console console(out, err);
    ConsoleReporter reporter(Output{console, folder.path});
    reporter.member_matrices({member, k, &t, &ke});
  }
  const std::string& text = out.text;
  const auto at = [&](std::string_view what) { return text.find(what); };
  ASSERT_NE(at("Local Stiffness Matrix for Member 4 (12x12):\n      2.00       0.00 "),
            std::string::npos);
  EXPECT_LT(at("Local Stiffness Matrix"), at("Determinant of local stiffness matrix: 4096\n"));
  EXPECT_LT(at("Determinant of local"), at("Transformation Matrix for Member 4 (12x12):"));
  EXPECT_LT(at("Transformation Matrix"),
            at("Matrix saved to 'transformation_matrix_member_4.csv'\n"
               "Transformation matrix saved to 'transformation_matrix_member_4.csv'\n"
               "Transformed Stiffness Matrix for Member 4 (12x12):\n      3.00 "));
  EXPECT_TRUE(std::filesystem::exists(folder.path / "transformation_matrix_member_4.csv"));
  EXPECT_EQ(err.text, "");
}

TEST(ConsoleReporter, MemberWithoutTransformationShowsItsLocalMatrixOnly) {
  const linalg::Matrix12 k = linalg::Matrix12::Identity();
  const model::Member member = bar(6, 0.0);
  const testing::TemporaryFolder folder;
  StringSink out, err;
  {
    Console console(out, err);
    ConsoleReporter reporter(Output{console, folder.path});
    reporter.member_matrices({member, k});
  }
  EXPECT_EQ(out.text.rfind("Local Stiffness Matrix for Member 6 (12x12):\n", 0), 0u);
  EXPECT_TRUE(out.text.ends_with("\n\nDeterminant of local stiffness matrix: 1\n"));
  EXPECT_TRUE(std::filesystem::is_empty(folder.path));
}

}  // namespace
}  // namespace velm::report
