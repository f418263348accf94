#include "solver/global_matrix.hpp"

#include <algorithm>
#include <utility>

#include "base/internal_fault.hpp"
#include "report/matrix_print.hpp"

namespace velm::solver {

namespace {

constexpr std::uint64_t kDofsPerNode = 6;
constexpr std::uint64_t kMatricesAlive = 3;

// Measured on a 500-node frame (3000 dofs) renumbered to widen its band: the band path is 3.3x
// faster at b = 0.10 n and 2x at b = 0.23 n, and the two break even near b = 0.35 n, where the
// dense routine's better blocking makes up for its extra work.
bool band_is_worth_it(std::size_t size, std::uint64_t bandwidth) {
  return size > 0 && 3 * bandwidth < size;
}

}  // namespace

std::uint64_t half_bandwidth(const std::vector<model::MemberSet>& member_sets) {
  std::uint64_t widest = 0;
  for (const model::MemberSet& set : member_sets) {
    for (const model::Member& member : set.members) {
      const std::uint32_t a = member.start_node.id, b = member.end_node.id;
      const std::uint64_t apart = a > b ? a - b : b - a;
      widest = std::max(widest, kDofsPerNode * apart + kDofsPerNode - 1);
    }
  }
  return widest;
}

GlobalMatrix::GlobalMatrix(std::uint32_t node_count, std::uint64_t half_bandwidth, Storage storage)
    : node_count_(node_count), size_(static_cast<std::size_t>(kDofsPerNode * node_count)) {
  bandwidth_ = size_ == 0 ? 0 : std::min<std::uint64_t>(half_bandwidth, size_ - 1);
  const bool band = storage == Storage::band ||
                    (storage == Storage::automatic && band_is_worth_it(size_, bandwidth_));
  if (band && size_ > 0) {
    band_.emplace();
    band_->size = size_;
    band_->bandwidth = static_cast<std::size_t>(bandwidth_);
    band_->values.assign(band_->leading_dimension() * size_, 0.0);
  } else {
    bandwidth_ = size_ == 0 ? 0 : size_ - 1;
    dense_ = linalg::DenseMatrix::Zero(size(), size());
  }
}

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
  if (!band_) return dense_(row, col);
  const auto i = static_cast<std::size_t>(row), j = static_cast<std::size_t>(col);
  if ((i > j ? i - j : j - i) > bandwidth_) return 0.0;
  return band_->values[band_->offset(i, j)];
}

void GlobalMatrix::add_element(const linalg::Matrix12& element, std::uint32_t start_node,
                               std::uint32_t end_node) {
  if (start_node == 0 || end_node == 0 || start_node > node_count_ || end_node > node_count_)
    throw InternalFault(kIndexOutOfBounds);
  const std::size_t s = kDofsPerNode * (start_node - 1);
  const std::size_t e = kDofsPerNode * (end_node - 1);
  if (band_ && (s > e ? s - e : e - s) + kDofsPerNode - 1 > bandwidth_)
    throw InternalFault(kIndexOutOfBounds);
  // One entry of each of the four blocks per (i, j): a member with equal end ids adds all four
  // into the same block, in this order.
  for (std::size_t i = 0; i < 6; ++i) {
    for (std::size_t j = 0; j < 6; ++j) {
      const auto ii = static_cast<Eigen::Index>(i), jj = static_cast<Eigen::Index>(j);
      if (band_) {
        band_entry(s + i, s + j) += element(ii, jj);
        band_entry(s + i, e + j) += element(ii, jj + 6);
        band_entry(e + i, s + j) += element(ii + 6, jj);
        band_entry(e + i, e + j) += element(ii + 6, jj + 6);
      } else {
        const auto S = static_cast<Eigen::Index>(s), E = static_cast<Eigen::Index>(e);
        dense_(S + ii, S + jj) += element(ii, jj);
        dense_(S + ii, E + jj) += element(ii, jj + 6);
        dense_(E + ii, S + jj) += element(ii + 6, jj);
        dense_(E + ii, E + jj) += element(ii + 6, jj + 6);
      }
    }
  }
}

void GlobalMatrix::constrain(std::uint64_t dof) {
  if (dof >= size_) throw InternalFault(kIndexOutOfBounds);
  const auto t = static_cast<std::size_t>(dof);
  if (!band_) {
    const auto index = static_cast<Eigen::Index>(t);
    dense_.row(index).setZero();
    dense_.col(index).setZero();
    dense_(index, index) = kConstrainedDiagonal;
    return;
  }
  const std::size_t lo = t > bandwidth_ ? t - bandwidth_ : 0;
  const std::size_t hi = std::min<std::size_t>(size_ - 1, t + bandwidth_);
  for (std::size_t j = lo; j <= hi; ++j) {
    band_entry(t, j) = 0.0;
    band_entry(j, t) = 0.0;
  }
  band_entry(t, t) = kConstrainedDiagonal;
}

void GlobalMatrix::print(report::Console& console, std::string_view title) const {
  report::print_matrix_title(console, title, size_, size_);
  if (!band_) {
    for (std::size_t i = 0; i < size_; ++i)
      report::print_matrix_row(console, dense_.data() + i, dense_.outerStride(), size_);
    report::print_matrix_end(console);
    return;
  }
  // Band storage keeps a column's entries together, so walking a row jumps a whole column
  // height per cell. Rows are printed in tiles instead: the tile's columns are copied into a
  // row-major buffer (contiguous reads), then each row is a run of zero cells, the band, and
  // another run of zero cells.
  constexpr std::size_t kTileRows = 32;
  std::vector<double> tile;
  for (std::size_t first = 0; first < size_; first += kTileRows) {
    const std::size_t last = std::min(size_, first + kTileRows) - 1;
    const std::size_t lo = first > bandwidth_ ? first - bandwidth_ : 0;
    const std::size_t hi = std::min<std::size_t>(size_ - 1, last + bandwidth_);
    const std::size_t width = hi - lo + 1;
    tile.assign((last - first + 1) * width, 0.0);
    for (std::size_t j = lo; j <= hi; ++j) {
      const std::size_t top = std::max(first, j > bandwidth_ ? j - bandwidth_ : 0);
      const std::size_t bottom = std::min<std::size_t>(last, j + bandwidth_);
      if (top > bottom) continue;
      const double* column = band_->values.data() + band_->offset(top, j);
      for (std::size_t i = top; i <= bottom; ++i)
        tile[(i - first) * width + (j - lo)] = column[i - top];
    }
    for (std::size_t i = first; i <= last; ++i) {
      report::print_zero_cells(console, lo);
      report::print_matrix_cells(console, tile.data() + (i - first) * width, 1, width);
      report::print_zero_cells(console, size_ - 1 - hi);
      console.write("\n");
    }
  }
  report::print_matrix_end(console);
}

linalg::Vector GlobalMatrix::multiply(const linalg::Vector& vector) const {
  if (vector.size() != size()) throw InternalFault(kIndexOutOfBounds);
  if (!band_) {
    linalg::Vector product = dense_ * vector;
    return product;
  }
  linalg::Vector product = linalg::Vector::Zero(size());
  for (std::size_t j = 0; j < size_; ++j) {
    const double x = vector[static_cast<Eigen::Index>(j)];
    const std::size_t lo = j > bandwidth_ ? j - bandwidth_ : 0;
    const std::size_t hi = std::min<std::size_t>(size_ - 1, j + bandwidth_);
    const double* column = band_->values.data() + band_->offset(lo, j);
    for (std::size_t i = lo; i <= hi; ++i)
      product[static_cast<Eigen::Index>(i)] += column[i - lo] * x;
  }
  return product;
}

GlobalFactor GlobalMatrix::factorise() && {
  node_count_ = 0;
  if (band_) {
    GlobalFactor factor{linalg::BandLu(std::move(*band_))};
    band_.reset();
    return factor;
  }
  GlobalFactor factor{linalg::DenseLu(std::move(dense_))};
  dense_ = linalg::DenseMatrix();
  return factor;
}

}  // namespace velm::solver
