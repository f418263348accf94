// The global matrix held as a band. Node numbering of real frames makes K a band matrix (a member
// couples only the dofs of its two nodes), so K is held as a band of half-bandwidth b, found from
// the member node ids before anything is allocated, and factorised by the banded LU with partial
// pivoting.
#pragma once

#include <cstdint>
#include <optional>

#include "linalg/band_lu.hpp"
#include "listing/global_matrix.hpp"

namespace velm::listing {

class BandGlobalMatrix final : public GlobalMatrix {
 public:
  // Zero-filled, size x size, for entries at most `half_bandwidth` (< size) off the diagonal.
  BandGlobalMatrix(std::size_t size, std::size_t half_bandwidth);

  // Bytes of one matrix of this order and half-bandwidth, with the room the LU's row
  // interchanges fill in; nothing when the count overflows 64 bits.
  static std::optional<std::uint64_t> bytes_needed(std::uint64_t size,
                                                   std::uint64_t half_bandwidth);

  std::size_t half_bandwidth() const { return band_.bandwidth; }

  std::size_t size() const override { return band_.size; }
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
  bool in_band(std::size_t row, std::size_t col) const {
    return (row > col ? row - col : col - row) <= band_.bandwidth;
  }
  double& entry(std::size_t row, std::size_t col) { return band_.values[band_.offset(row, col)]; }

  linalg::BandStorage band_;
};

}  // namespace velm::listing
