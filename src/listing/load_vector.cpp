#include "listing/load_vector.hpp"

namespace velm::listing {

base::Expected<linalg::Vector> build_load_vector(const model::VELM& model,
                                                 std::uint32_t load_case_id,
                                                 std::uint32_t node_count) {
  linalg::Vector f = linalg::Vector::Zero(static_cast<Eigen::Index>(6 * std::uint64_t{node_count}));
  const model::LoadCase* load_case = nullptr;
  for (const model::LoadCase& candidate : model.load_cases) {
    if (candidate.id == load_case_id) {
      load_case = &candidate;
      break;
    }
  }
  if (load_case == nullptr) return f;

  for (const model::NodalLoad& load : load_case->nodal_loads) {
    const std::uint32_t n = load.node;
    for (std::size_t axis = 0; axis < 3; ++axis) {
      const double component = load.direction[axis];
      // NaN compares unequal to zero and so counts as a component that acts.
      if (component == 0.0) continue;
      if (n == 0 || n > node_count)
        return base::fail(
            base::ErrorCode::invalid_model,
            "Nodal load " + std::to_string(load.id) + " acts on node " + std::to_string(n) +
                ", which is not a node of the members" +
                (node_count == 0 ? " (the model has no members)."
                                 : " (nodes 1 to " + std::to_string(node_count) + ")."));
      f(static_cast<Eigen::Index>(6 * (std::uint64_t{n} - 1) + axis)) += component * load.magnitude;
    }
  }
  return f;
}

}  // namespace velm::listing
