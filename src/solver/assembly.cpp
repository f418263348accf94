#include "solver/assembly.hpp"

#include "linalg/dense_lu.hpp"
#include "mechanics/stiffness.hpp"
#include "mechanics/transformation.hpp"
#include "report/csv_export.hpp"
#include "report/matrix_print.hpp"
#include "solver/lookup_maps.hpp"
#include "solver/memory_budget.hpp"
#include "solver/node_ids.hpp"

namespace velm::solver {

namespace {

// Prints, exports and transforms one member; adds it into K.
std::expected<ElementMatrices, std::string> add_member(const model::Member& member,
                                                       const linalg::Matrix12& k,
                                                       GlobalMatrix& global,
                                                       report::Output& output) {
  report::Console& console = output.console;
  const std::string id = std::to_string(member.id);
  report::print_matrix(console, k, "Local Stiffness Matrix for Member " + id);
  report::print_determinant(console,
                            "Determinant of local stiffness matrix: ", linalg::determinant(k));

  const auto t = mechanics::calculate_transformation_matrix_3d(member);
  if (!t) return std::unexpected(t.error());
  report::print_matrix(console, *t, "Transformation Matrix for Member " + id);
  report::export_transformation_matrix(output, member.id, *t);

  // Ke = T^T k T, as (T^T k) T.
  const linalg::Matrix12 t_transposed = t->transpose();
  const linalg::Matrix12 t_transposed_k = t_transposed * k;
  const linalg::Matrix12 ke = t_transposed_k * *t;
  report::print_matrix(console, ke, "Transformed Stiffness Matrix for Member " + id);

  global.add_element(ke, member.start_node.id, member.end_node.id);
  return ElementMatrices{k, *t};
}

}  // namespace

std::expected<Assembly, std::string> assemble_global_stiffness_matrix(
    const model::VELM& model, report::Output& output, Storage storage) {
  output.console.progress("Assembling global stiffness matrix...\n");
  if (auto valid = validate_node_ids(model.member_sets); !valid)
    return std::unexpected(valid.error());
  const LookupMaps maps = build_lookup_maps(model);

  const std::uint32_t n = node_count(model.member_sets);
  if (auto valid = reject_node_zero(model.member_sets); !valid)
    return std::unexpected(valid.error());
  if (auto fits = check_memory_budget(n, GlobalMatrix::bytes_needed(n), available_memory()); !fits)
    return std::unexpected(fits.error());

  Assembly assembly{GlobalMatrix(n, half_bandwidth(model.member_sets), storage), {}};
  for (const model::MemberSet& set : model.member_sets) {
    for (const model::Member& member : set.members) {
      const auto k =
          mechanics::calculate_stiffness_matrix_3d(member, maps.materials, maps.sections);
      if (!k) {
        assembly.elements.emplace_back();
        continue;
      }
      auto element = add_member(member, *k, assembly.stiffness, output);
      if (!element) return std::unexpected(element.error());
      assembly.elements.emplace_back(std::move(*element));
    }
  }
  return assembly;
}

}  // namespace velm::solver
