#include "listing/dense_global_matrix.hpp"

#include <utility>

#include "base/internal_fault.hpp"

namespace velm::listing {

namespace {

class DenseFactor final : public GlobalFactor {
 public:
  explicit DenseFactor(linalg::DenseMatrix matrix) : lu_(std::move(matrix)) {}
  bool singular() const override { return lu_.singular(); }
  double determinant() const override { return lu_.determinant(); }
  std::optional<linalg::Vector> solve(const linalg::Vector& rhs) const override {
    return lu_.solve(rhs);
  }

 private:
  linalg::DenseLu lu_;
};

Eigen::Index index(std::size_t i) {
  return static_cast<Eigen::Index>(i);
}

}  // namespace

DenseGlobalMatrix::DenseGlobalMatrix(std::size_t size)
    : size_(size), values_(linalg::DenseMatrix::Zero(index(size), index(size))) {}

std::optional<std::uint64_t> DenseGlobalMatrix::bytes_needed(std::uint64_t size) {
  std::uint64_t entries = 0, bytes = 0;
  if (__builtin_mul_overflow(size, size, &entries) ||
      __builtin_mul_overflow(entries, std::uint64_t{sizeof(double)}, &bytes))
    return std::nullopt;
  return bytes;
}

void DenseGlobalMatrix::add_element(const linalg::Matrix12& element, const ElementDofs& dofs) {
  for (const std::int64_t dof : dofs)
    if (dof != kNoDof && (dof < 0 || static_cast<std::uint64_t>(dof) >= size_))
      throw InternalFault(kIndexOutOfBounds);
  for (Eigen::Index a = 0; a < 12; ++a) {
    const std::int64_t row = dofs[static_cast<std::size_t>(a)];
    if (row == kNoDof) continue;
    for (Eigen::Index b = 0; b < 12; ++b) {
      const std::int64_t col = dofs[static_cast<std::size_t>(b)];
      if (col != kNoDof) values_(row, col) += element(a, b);
    }
  }
}

void DenseGlobalMatrix::constrain(std::size_t dof) {
  if (dof >= size_) throw InternalFault(kIndexOutOfBounds);
  values_.row(index(dof)).setZero();
  values_.col(index(dof)).setZero();
  values_(index(dof), index(dof)) = kConstrainedDiagonal;
}

double DenseGlobalMatrix::at(std::size_t row, std::size_t col) const {
  if (row >= size_ || col >= size_) throw InternalFault(kIndexOutOfBounds);
  return values_(index(row), index(col));
}

std::pair<std::size_t, std::size_t> DenseGlobalMatrix::row_extent(std::size_t row) const {
  if (row >= size_) throw InternalFault(kIndexOutOfBounds);
  return {0, size_ - 1};
}

void DenseGlobalMatrix::copy_rows(std::size_t first_row, std::size_t last_row,
                                  std::size_t first_col, std::size_t last_col, double* tile) const {
  if (first_row > last_row || last_row >= size_ || first_col > last_col || last_col >= size_)
    throw InternalFault(kIndexOutOfBounds);
  // Column by column: the reads are contiguous, the writes one tile row apart.
  const std::size_t width = last_col - first_col + 1;
  for (std::size_t j = first_col; j <= last_col; ++j) {
    const double* column = values_.data() + index(j) * values_.outerStride();
    for (std::size_t i = first_row; i <= last_row; ++i)
      tile[(i - first_row) * width + (j - first_col)] = column[i];
  }
}

linalg::Vector DenseGlobalMatrix::multiply(const linalg::Vector& v) const {
  if (v.size() != index(size_)) throw InternalFault(kIndexOutOfBounds);
  linalg::Vector product = values_ * v;
  return product;
}

std::unique_ptr<GlobalMatrix> DenseGlobalMatrix::clone() const {
  return std::make_unique<DenseGlobalMatrix>(*this);
}

std::unique_ptr<GlobalFactor> DenseGlobalMatrix::factorise() && {
  auto factor = std::make_unique<DenseFactor>(std::move(values_));
  values_ = linalg::DenseMatrix();
  size_ = 0;
  return factor;
}

}  // namespace velm::listing
