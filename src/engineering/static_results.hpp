// What the engineering analysis returns: the geometry it analysed and one result set per load
// case and per load combination, as flat row-major arrays.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velm::engineering {

struct ModalResult;  // modal_analysis.hpp

struct ResultSet {
  std::uint32_t id = 0;
  std::string name;
  std::vector<double> displacements;            // N x 6: UX UY UZ RX RY RZ, global axes
  std::vector<double> reactions;                // S x 6: FX FY FZ MX MY MZ per support record
  std::vector<double> node_reactions;           // N x 6: the same per node, global axes
  std::vector<double> end_forces;               // M x 12: start then end, local axes
  std::vector<double> internal_forces;          // M x stations x 6: N Vy Vz T My Mz, local axes
  std::vector<double> internal_force_extremes;  // M x 2 x 6: minima, then maxima, over L
  std::vector<double> deflections;              // M x stations x 3: ux uy uz, local axes
  std::vector<double> deflection_extremes;      // M x 2 x 3: minima, then maxima, off the chord
  std::vector<std::uint32_t> inactive_members;  // switched off, document order
  int order = 1;                                // 1: first order, 2: second order
  int iterations = 1;  // rounds of solving: 1 when linear, more when members switch or in order 2
  std::vector<double> imperfections;          // N x 3 node offsets from the document, or empty
  std::vector<double> critical_load_factors;  // ascending, at most the modes asked for
  std::vector<double> buckling_modes;         // k x N x 6, one per critical load factor
  // The failure of this result set alone (its text names it); its arrays are then empty.
  std::optional<std::string> error;
};

struct StaticAnalysis {
  std::uint32_t node_count = 0;
  int stations = 0;
  std::vector<double> coordinates;                         // N x 3
  std::vector<std::uint32_t> member_ids;                   // M, document order
  std::vector<std::array<std::uint32_t, 2>> member_nodes;  // M x (start, end)
  std::vector<double> member_axes;                         // M x 3 x 3, rows local x, y, z
  std::vector<double> member_lengths;                      // M
  std::vector<std::uint32_t> support_ids;                  // S, document order
  std::vector<std::uint8_t> restraints;                    // N x 6, 1 where fixed
  std::vector<ResultSet> load_cases;                       // document order
  std::vector<ResultSet> combinations;                     // document order
  // What the reader skipped or read as a default the author probably did not mean.
  std::vector<std::string> warnings;
  // The natural frequencies and modes when asked for.
  std::shared_ptr<ModalResult> modal;
};

}  // namespace velm::engineering
