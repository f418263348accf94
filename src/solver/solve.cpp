#include "solver/solve.hpp"

#include <cmath>
#include <new>

#include "report/matrix_print.hpp"
#include "solver/assembly.hpp"
#include "solver/load_vector.hpp"
#include "solver/lookup_maps.hpp"
#include "solver/node_ids.hpp"
#include "solver/results_record.hpp"
#include "solver/supports.hpp"

namespace velm::solver {

namespace {

std::uint64_t member_count(const std::vector<model::MemberSet>& sets) {
  std::uint64_t count = 0;
  for (const model::MemberSet& set : sets) count += set.members.size();
  return count;
}

std::optional<std::string> find_non_finite_force(const std::vector<results::MemberForce>& forces) {
  const auto finite = [](const results::NodeForces& f) {
    return std::isfinite(f.fx) && std::isfinite(f.fy) && std::isfinite(f.fz) &&
           std::isfinite(f.mx) && std::isfinite(f.my) && std::isfinite(f.mz);
  };
  for (const results::MemberForce& force : forces) {
    if (!finite(force.start_node_forces) || !finite(force.end_node_forces))
      return "The end forces of member " + std::to_string(force.member_id) +
             " are not finite: the stiffness or load values of the model are out of range.";
  }
  return std::nullopt;
}

std::expected<Solution, std::string> run(model::VELM& model, std::uint32_t load_case_id,
                                         report::Output& output, Storage storage) {
  report::Console& console = output.console;
  console.progress("Validating node IDs...\n");
  if (auto valid = validate_node_ids(model.member_sets); !valid)
    return std::unexpected(valid.error());

  output.mark("validation");
  auto assembly = assemble_global_stiffness_matrix(model, output, storage);
  if (!assembly) return std::unexpected(assembly.error());
  output.mark("assembly");
  const GlobalMatrix& k_orig = assembly->stiffness;
  const std::uint32_t n = k_orig.node_count();

  GlobalMatrix k_bc = k_orig;
  k_bc.print(console, "Global Stiffness Matrix");
  console.progress("Applying boundary conditions...\n");
  const LookupMaps maps = build_lookup_maps(model);
  const auto applied_nodes = apply_supports(k_bc, model, maps.supports);
  k_bc.print(console, "Global Stiffness Matrix after Boundary Conditions");
  output.mark("boundary conditions");

  const std::string case_id = std::to_string(load_case_id);
  console.progress("Assembling load vector for load case ID: " + case_id + "\n");
  auto f = build_load_vector(model, load_case_id, n);
  if (!f) return std::unexpected(f.error());
  report::print_matrix(console, *f, "Load Vector for Load Case " + case_id);
  output.mark("load vector");

  // One factorisation gives both the printed determinant and the solve.
  const GlobalFactor factor = std::move(k_bc).factorise();
  output.mark("factorisation");
  report::print_determinant(console,
                            "Determinant of global stiffness matrix: ", factor.determinant());
  console.progress("Solving for displacements...\n");
  const std::optional<linalg::Vector> u = factor.solve(*f);
  if (!u)
    return std::unexpected(std::string("Global stiffness matrix is singular or near-singular."));
  if (auto fault = find_non_finite(*u, "displacement")) return std::unexpected(*fault);
  report::print_matrix(console, *u, "Displacement Vector");
  output.mark("solve");

  console.progress("Calculating reaction forces...\n");
  linalg::Vector r = k_orig.multiply(*u);
  if (auto fault = find_non_finite(r, "reaction vector")) return std::unexpected(*fault);
  report::print_matrix(console, r, "Reaction Forces");
  output.mark("reactions");

  console.progress("Storing results...\n");
  results::Results record;
  record.name = "Load Case " + case_id;
  record.result_type = record.name;
  record.displacement_nodes = extract_displacements(model.member_sets, *u);
  const linalg::Vector residual = r - *f;
  record.reaction_forces = support_reactions(model.nodal_supports, applied_nodes, residual);
  record.member_forces = member_end_forces(model.member_sets, assembly->elements, *u);
  if (auto fault = find_non_finite_force(record.member_forces)) return std::unexpected(*fault);
  record.summary.total_displacements = record.displacement_nodes.size();
  record.summary.total_reaction_forces = record.reaction_forces.size();
  record.summary.total_member_forces = member_count(model.member_sets);
  model.results = std::move(record);
  output.mark("results");
  return Solution{*u, std::move(r)};
}

}  // namespace

std::expected<Solution, std::string> solve_for_load_case(model::VELM& model,
                                                         std::uint32_t load_case_id,
                                                         report::Output& output,
                                                         Storage storage) {
  std::expected<Solution, std::string> outcome;
  try {
    outcome = run(model, load_case_id, output, storage);
  } catch (const std::bad_alloc&) {
    outcome = std::unexpected(std::string(
        "Not enough memory for the analysis: an allocation failed while solving the load case."));
  }
  output.console.flush();
  return outcome;
}

}  // namespace velm::solver
