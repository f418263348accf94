#include "solver/global_matrix.hpp"

#include <utility>

#include "base/internal_fault.hpp"
#include "report/matrix_print.hpp"

namespace velm::solver {

namespace {

constexpr std::uint64_t kDofsPerNode = 6;
constexpr std::uint64_t kMatricesAlive = 3;

Eigen::Index dof_count(std::uint32_t node_count) {
  return static_cast<Eigen::Index>(kDofsPerNode * node_count);
}

}  // namespace

GlobalMatrix::GlobalMatrix(std::uint32_t node_count)
    : node_count_(node_count),
      matrix_(linalg::DenseMatrix::Zero(dof_count(node_count), dof_count(node_count))) {}

std::optional<std::uint64_t> GlobalMatrix::bytes_needed(std::uint64_t node_count) {
  std::uint64_t dofs = 0, entries = 0, bytes = 0, total = 0;
  if (__builtin_mul_overflow(node_count, kDofsPerNode, &dofs) ||
      __builtin_mul_overflow(dofs, dofs, &entries) ||
      __builtin_mul_overflow(entries, std::uint64_t{sizeof(double)}, &bytes) ||
      __builtin_mul_overflow(bytes, kMatricesAlive, &total))
    return std::nullopt;
  return total;
}

double GlobalMatrix::operator()(Eigen::Index row, Eigen::Index col) const {
  if (row < 0 || col < 0 || row >= size() || col >= size()) throw InternalFault(kIndexOutOfBounds);
  return matrix_(row, col);
}

void GlobalMatrix::add_element(const linalg::Matrix12& element, std::uint32_t start_node,
                               std::uint32_t end_node) {
  if (start_node == 0 || end_node == 0 || start_node > node_count_ || end_node > node_count_)
    throw InternalFault(kIndexOutOfBounds);
  const Eigen::Index s = dof_count(start_node - 1);
  const Eigen::Index e = dof_count(end_node - 1);
  // One entry of each of the four blocks per (i, j): a member with equal end ids adds all four
  // into the same block, in this order.
  for (Eigen::Index i = 0; i < 6; ++i) {
    for (Eigen::Index j = 0; j < 6; ++j) {
      matrix_(s + i, s + j) += element(i, j);
      matrix_(s + i, e + j) += element(i, j + 6);
      matrix_(e + i, s + j) += element(i + 6, j);
      matrix_(e + i, e + j) += element(i + 6, j + 6);
    }
  }
}

void GlobalMatrix::constrain(std::uint64_t dof) {
  if (dof >= static_cast<std::uint64_t>(size())) throw InternalFault(kIndexOutOfBounds);
  const auto t = static_cast<Eigen::Index>(dof);
  matrix_.row(t).setZero();
  matrix_.col(t).setZero();
  matrix_(t, t) = kConstrainedDiagonal;
}

void GlobalMatrix::print(report::Console& console, std::string_view title) const {
  const auto n = static_cast<std::size_t>(size());
  report::print_matrix_title(console, title, n, n);
  for (Eigen::Index i = 0; i < size(); ++i)
    report::print_matrix_row(console, matrix_.data() + i, matrix_.outerStride(), n);
  report::print_matrix_end(console);
}

linalg::Vector GlobalMatrix::multiply(const linalg::Vector& vector) const {
  if (vector.size() != size()) throw InternalFault(kIndexOutOfBounds);
  linalg::Vector product = matrix_ * vector;
  return product;
}

GlobalFactor GlobalMatrix::factorise() && {
  GlobalFactor factor{linalg::DenseLu(std::move(matrix_))};
  matrix_ = linalg::DenseMatrix();
  node_count_ = 0;
  return factor;
}

}  // namespace velm::solver
