// The linear static analysis: one factorisation of K, one solve with a right-hand side per
// load case; a combination's displacements are the factored sum of its cases' displacements,
// u_c = sum over its terms of factor * u_case (a case named twice counts twice).
#pragma once

#include <optional>
#include <vector>

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "engineering/static_analysis.hpp"
#include "engineering/static_results.hpp"
#include "frame/load_sets.hpp"
#include "system/discrete_model.hpp"
#include "system/factorisation.hpp"

namespace velm::engineering {

// sets: the load cases, then the combinations (frame::result_load_sets); results: one per set,
// filled where wanted[s] != 0 (every load case is solved, for the combinations). Stages
// "assemble", "order", "factorise", "solve", "results". With `keep`, the factorisation of K is
// handed over there instead of freed (the modal analysis of the same stiffness reuses it).
base::Expected<void> analyse_linear(const system::DiscreteModel& model,
                                    const std::vector<frame::LoadSet>& sets,
                                    const std::vector<std::uint8_t>& wanted,
                                    const AnalysisOptions& options, base::Monitor& monitor,
                                    std::vector<ResultSet>& results,
                                    std::optional<system::Factorisation>* keep = nullptr);

}  // namespace velm::engineering
