#include "listing/assembly.hpp"

#include "base/memory_budget.hpp"
#include "listing/memory_verdict.hpp"
#include "mechanics/stiffness.hpp"
#include "mechanics/transformation.hpp"
#include "model/node_ids.hpp"

namespace velm::listing {

namespace {

// Transforms one member, reports its matrices and adds it into K.
base::Expected<ElementMatrices> add_member(const model::Member& member, const linalg::Matrix12& k,
                                           GlobalMatrix& global, Observer& observer) {
  const auto t = mechanics::calculate_transformation_matrix_3d(member);
  if (!t) {
    observer.member_matrices({member, k});
    return base::fail(base::ErrorCode::invalid_model, t.error());
  }
  // Ke = T^T k T, as (T^T k) T.
  const linalg::Matrix12 t_transposed = t->transpose();
  const linalg::Matrix12 t_transposed_k = t_transposed * k;
  const linalg::Matrix12 ke = t_transposed_k * *t;
  observer.member_matrices({member, k, &*t, &ke});

  global.add_element(ke, member_dofs(member.start_node.id, member.end_node.id));
  return ElementMatrices{k, *t};
}

}  // namespace

base::Expected<Assembly> assemble_global_stiffness_matrix(const model::VELM& model,
                                                          const model::LookupMaps& maps,
                                                          Observer& observer, Storage storage) {
  observer.progress("Assembling global stiffness matrix...\n");
  const std::uint32_t n = model::node_count(model.member_sets);
  if (auto valid = model::reject_node_zero(model.member_sets); !valid)
    return base::fail(base::ErrorCode::invalid_model, valid.error());
  if (auto fits = check_memory_budget(n, dense_analysis_bytes(n), base::available_memory()); !fits)
    return std::unexpected(std::move(fits.error()));

  Assembly assembly{
      make_global_matrix(6 * std::size_t{n}, half_bandwidth(model.member_sets), storage), {}};
  for (const model::MemberSet& set : model.member_sets) {
    for (const model::Member& member : set.members) {
      const auto k =
          mechanics::calculate_stiffness_matrix_3d(member, maps.materials, maps.sections);
      if (!k) {
        assembly.elements.emplace_back();
        continue;
      }
      auto element = add_member(member, *k, *assembly.stiffness, observer);
      if (!element) return std::unexpected(std::move(element.error()));
      assembly.elements.emplace_back(std::move(*element));
      // A member takes well under a millisecond, its printing included.
      if (observer.stop_requested()) return base::fail(base::ErrorCode::cancelled);
    }
  }
  return assembly;
}

}  // namespace velm::listing
