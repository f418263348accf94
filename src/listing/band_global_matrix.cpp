#include "listing/band_global_matrix.hpp"

#include <algorithm>
#include <utility>

#include "base/internal_fault.hpp"

namespace velm::listing {

namespace {

class BandFactor final : public GlobalFactor {
 public:
  explicit BandFactor(linalg::BandStorage matrix) : lu_(std::move(matrix)) {}
  bool singular() const override { return lu_.singular(); }
  double determinant() const override { return lu_.determinant(); }
  std::optional<linalg::Vector> solve(const linalg::Vector& rhs) const override {
    return lu_.solve(rhs);
  }

 private:
  linalg::BandLu lu_;
};

}  // namespace

BandGlobalMatrix::BandGlobalMatrix(std::size_t size, std::size_t half_bandwidth) {
  if (size > 0 && half_bandwidth >= size) throw InternalFault(kIndexOutOfBounds);
  band_.size = size;
  band_.bandwidth = size == 0 ? 0 : half_bandwidth;
  band_.values.assign(band_.leading_dimension() * size, 0.0);
}

std::optional<std::uint64_t> BandGlobalMatrix::bytes_needed(std::uint64_t size,
                                                            std::uint64_t half_bandwidth) {
  std::uint64_t rows = 0, entries = 0, bytes = 0;
  if (__builtin_mul_overflow(half_bandwidth, std::uint64_t{3}, &rows) ||
      __builtin_add_overflow(rows, std::uint64_t{1}, &rows) ||
      __builtin_mul_overflow(rows, size, &entries) ||
      __builtin_mul_overflow(entries, std::uint64_t{sizeof(double)}, &bytes))
    return std::nullopt;
  return bytes;
}

void BandGlobalMatrix::add_element(const linalg::Matrix12& element, const ElementDofs& dofs) {
  std::int64_t lowest = INT64_MAX, highest = -1;
  for (const std::int64_t dof : dofs) {
    if (dof == kNoDof) continue;
    if (dof < 0 || static_cast<std::uint64_t>(dof) >= band_.size)
      throw InternalFault(kIndexOutOfBounds);
    lowest = std::min(lowest, dof);
    highest = std::max(highest, dof);
  }
  if (highest >= 0 && static_cast<std::uint64_t>(highest - lowest) > band_.bandwidth)
    throw InternalFault(kIndexOutOfBounds);
  for (Eigen::Index a = 0; a < 12; ++a) {
    const std::int64_t row = dofs[static_cast<std::size_t>(a)];
    if (row == kNoDof) continue;
    for (Eigen::Index b = 0; b < 12; ++b) {
      const std::int64_t col = dofs[static_cast<std::size_t>(b)];
      if (col != kNoDof)
        entry(static_cast<std::size_t>(row), static_cast<std::size_t>(col)) += element(a, b);
    }
  }
}

void BandGlobalMatrix::constrain(std::size_t dof) {
  if (dof >= band_.size) throw InternalFault(kIndexOutOfBounds);
  const auto [lo, hi] = row_extent(dof);
  for (std::size_t j = lo; j <= hi; ++j) {
    entry(dof, j) = 0.0;
    entry(j, dof) = 0.0;
  }
  entry(dof, dof) = kConstrainedDiagonal;
}

double BandGlobalMatrix::at(std::size_t row, std::size_t col) const {
  if (row >= band_.size || col >= band_.size) throw InternalFault(kIndexOutOfBounds);
  if (!in_band(row, col)) return 0.0;
  return band_.values[band_.offset(row, col)];
}

std::pair<std::size_t, std::size_t> BandGlobalMatrix::row_extent(std::size_t row) const {
  if (row >= band_.size) throw InternalFault(kIndexOutOfBounds);
  const std::size_t b = band_.bandwidth;
  return {row > b ? row - b : 0, std::min(band_.size - 1, row + b)};
}

void BandGlobalMatrix::copy_rows(std::size_t first_row, std::size_t last_row, std::size_t first_col,
                                 std::size_t last_col, double* tile) const {
  if (first_row > last_row || last_row >= band_.size || first_col > last_col ||
      last_col >= band_.size)
    throw InternalFault(kIndexOutOfBounds);
  // The band keeps a column's entries together: each column's part of the tile is one
  // contiguous read.
  const std::size_t width = last_col - first_col + 1;
  const std::size_t b = band_.bandwidth;
  std::fill(tile, tile + (last_row - first_row + 1) * width, 0.0);
  for (std::size_t j = first_col; j <= last_col; ++j) {
    const std::size_t top = std::max(first_row, j > b ? j - b : 0);
    const std::size_t bottom = std::min(last_row, j + b);
    if (top > bottom) continue;
    const double* column = band_.values.data() + band_.offset(top, j);
    for (std::size_t i = top; i <= bottom; ++i)
      tile[(i - first_row) * width + (j - first_col)] = column[i - top];
  }
}

linalg::Vector BandGlobalMatrix::multiply(const linalg::Vector& v) const {
  if (static_cast<std::size_t>(v.size()) != band_.size) throw InternalFault(kIndexOutOfBounds);
  linalg::Vector product = linalg::Vector::Zero(v.size());
  for (std::size_t j = 0; j < band_.size; ++j) {
    const double x = v[static_cast<Eigen::Index>(j)];
    const auto [lo, hi] = row_extent(j);
    const double* column = band_.values.data() + band_.offset(lo, j);
    for (std::size_t i = lo; i <= hi; ++i)
      product[static_cast<Eigen::Index>(i)] += column[i - lo] * x;
  }
  return product;
}

std::unique_ptr<GlobalMatrix> BandGlobalMatrix::clone() const {
  return std::make_unique<BandGlobalMatrix>(*this);
}

std::unique_ptr<GlobalFactor> BandGlobalMatrix::factorise() && {
  auto factor = std::make_unique<BandFactor>(std::move(band_));
  band_ = linalg::BandStorage();
  return factor;
}

}  // namespace velm::listing
