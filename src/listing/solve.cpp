#include "listing/solve.hpp"

#include <cmath>

#include "listing/abandonable_work.hpp"
#include "listing/assembly.hpp"
#include "listing/load_vector.hpp"
#include "listing/results_record.hpp"
#include "listing/supports.hpp"
#include "model/lookup_maps.hpp"
#include "model/node_ids.hpp"

namespace velm::listing {

namespace {

std::uint64_t member_count(const std::vector<model::MemberSet>& sets) {
  std::uint64_t count = 0;
  for (const model::MemberSet& set : sets) count += set.members.size();
  return count;
}

base::Expected<void> check_finite_forces(const std::vector<model::MemberForce>& forces) {
  const auto finite = [](const model::NodeForces& f) {
    return std::isfinite(f.fx) && std::isfinite(f.fy) && std::isfinite(f.fz) &&
           std::isfinite(f.mx) && std::isfinite(f.my) && std::isfinite(f.mz);
  };
  for (const model::MemberForce& force : forces) {
    if (!finite(force.start_node_forces) || !finite(force.end_node_forces))
      return base::fail(
          base::ErrorCode::not_finite,
          "The end forces of member " + std::to_string(force.member_id) +
              " are not finite: the stiffness or load values of the model are out of range.");
  }
  return {};
}

std::unexpected<base::Error> cancelled() {
  return base::fail(base::ErrorCode::cancelled);
}

}  // namespace

base::Expected<Solution> solve_for_load_case(const model::VELM& model, std::uint32_t load_case_id,
                                             Observer& observer, Storage storage) {
  observer.progress("Validating node IDs...\n");
  if (auto valid = model::validate_node_ids(model.member_sets); !valid)
    return base::fail(base::ErrorCode::invalid_model, valid.error());
  const model::LookupMaps maps = model::build_lookup_maps(model);
  observer.stage_end("validation");
  if (observer.stop_requested()) return cancelled();

  auto assembly = assemble_global_stiffness_matrix(model, maps, observer, storage);
  if (!assembly) return std::unexpected(std::move(assembly.error()));
  observer.stage_end("assembly");
  if (observer.stop_requested()) return cancelled();
  // Shared with the copy and the factorisation, which run where a stop request can abandon
  // them (abandonable_work.hpp) and so own what they use.
  const std::shared_ptr<const GlobalMatrix> k_orig_owned = std::move(assembly->stiffness);
  const GlobalMatrix& k_orig = *k_orig_owned;
  const auto n = static_cast<std::uint32_t>(k_orig.size() / 6);
  const auto stop = [&observer] { return observer.stop_requested(); };

  std::optional<std::shared_ptr<GlobalMatrix>> copied =
      run_unless_stopped<std::shared_ptr<GlobalMatrix>>(
          [k_orig_owned] { return std::shared_ptr<GlobalMatrix>(k_orig_owned->clone()); }, stop);
  if (!copied) return cancelled();
  std::shared_ptr<GlobalMatrix> k_bc = std::move(*copied);
  observer.global_matrix("Global Stiffness Matrix", *k_bc);
  if (observer.stop_requested()) return cancelled();
  observer.progress("Applying boundary conditions...\n");
  const auto applied_nodes = apply_supports(*k_bc, model, maps.supports);
  if (observer.stop_requested()) return cancelled();
  observer.global_matrix("Global Stiffness Matrix after Boundary Conditions", *k_bc);
  observer.stage_end("boundary conditions");
  if (observer.stop_requested()) return cancelled();

  const std::string case_id = std::to_string(load_case_id);
  observer.progress("Assembling load vector for load case ID: " + case_id + "\n");
  auto f = build_load_vector(model, load_case_id, n);
  if (!f) return std::unexpected(std::move(f.error()));
  observer.vector("Load Vector for Load Case " + case_id, *f);
  observer.stage_end("load vector");
  if (observer.stop_requested()) return cancelled();

  // One factorisation gives both the reported determinant and the solve.
  std::optional<std::shared_ptr<GlobalFactor>> factorised =
      run_unless_stopped<std::shared_ptr<GlobalFactor>>(
          [k_bc] { return std::shared_ptr<GlobalFactor>(std::move(*k_bc).factorise()); }, stop);
  k_bc.reset();
  if (!factorised) return cancelled();
  const std::shared_ptr<GlobalFactor> factor = std::move(*factorised);
  observer.stage_end("factorisation");
  if (observer.stop_requested()) return cancelled();
  observer.determinant("Determinant of global stiffness matrix: ", factor->determinant());
  observer.progress("Solving for displacements...\n");
  const std::optional<linalg::Vector> u = factor->solve(*f);
  if (!u)
    return base::fail(base::ErrorCode::singular,
                      "Global stiffness matrix is singular or near-singular.");
  if (auto finite = check_finite(*u, "displacement"); !finite)
    return std::unexpected(std::move(finite.error()));
  observer.vector("Displacement Vector", *u);
  observer.stage_end("solve");
  if (observer.stop_requested()) return cancelled();

  observer.progress("Calculating reaction forces...\n");
  linalg::Vector r = k_orig.multiply(*u);
  if (auto finite = check_finite(r, "reaction vector"); !finite)
    return std::unexpected(std::move(finite.error()));
  observer.vector("Reaction Forces", r);
  observer.stage_end("reactions");
  if (observer.stop_requested()) return cancelled();

  observer.progress("Storing results...\n");
  model::Results record;
  record.name = "Load Case " + case_id;
  record.result_type = record.name;
  record.displacement_nodes = extract_displacements(model.member_sets, *u);
  const linalg::Vector residual = r - *f;
  record.reaction_forces = support_reactions(model.nodal_supports, applied_nodes, residual);
  record.member_forces = member_end_forces(model.member_sets, assembly->elements, *u);
  if (auto finite = check_finite_forces(record.member_forces); !finite)
    return std::unexpected(std::move(finite.error()));
  record.summary.total_displacements = record.displacement_nodes.size();
  record.summary.total_reaction_forces = record.reaction_forces.size();
  record.summary.total_member_forces = member_count(model.member_sets);
  observer.stage_end("results");
  if (observer.stop_requested()) return cancelled();
  return Solution{*u, std::move(r), std::move(record)};
}

}  // namespace velm::listing
