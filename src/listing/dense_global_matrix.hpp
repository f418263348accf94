// The global matrix held whole, column by column, and factorised by the dense LU with partial
// pivoting. Chosen when the band is not much narrower than the matrix (badly numbered models).
#pragma once

#include <cstdint>
#include <optional>

#include "linalg/dense_lu.hpp"
#include "listing/global_matrix.hpp"

namespace velm::listing {

class DenseGlobalMatrix final : public GlobalMatrix {
 public:
  // Zero-filled, size x size.
  explicit DenseGlobalMatrix(std::size_t size);

  // Bytes of one matrix of this order; nothing when the count overflows 64 bits.
  static std::optional<std::uint64_t> bytes_needed(std::uint64_t size);

  std::size_t size() const override { return size_; }
  void add_element(const linalg::Matrix12& element, const ElementDofs& dofs) override;
  void constrain(std::size_t dof) override;
  double at(std::size_t row, std::size_t col) const override;
  std::pair<std::size_t, std::size_t> row_extent(std::size_t row) const override;
  void copy_rows(std::size_t first_row, std::size_t last_row, std::size_t first_col,
                 std::size_t last_col, double* tile) const override;
  linalg::Vector multiply(const linalg::Vector& v) const override;
  std::unique_ptr<GlobalMatrix> clone() const override;
  std::unique_ptr<GlobalFactor> factorise() && override;

 private:
  std::size_t size_;
  linalg::DenseMatrix values_;
};

}  // namespace velm::listing
