// The static analysis with tension-only and compression-only members: superposition does not
// hold, so every load set is analysed on its own, switching members off and on until none
// changes (an active set). A tension member with a compressive force, or a compression member
// with a tensile one, is switched off; a switched-off member whose ends move apart (tension) or
// together (compression) is switched on again.
#pragma once

#include <vector>

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "engineering/static_analysis.hpp"
#include "engineering/static_results.hpp"
#include "frame/load_sets.hpp"
#include "system/discrete_model.hpp"

namespace velm::engineering {

// At most this many rounds per load set; then it fails with not_settled.
inline constexpr int kMaxSwitchingRounds = 50;

// The members that are on in the next round, from the results of a round with `active` on.
std::vector<std::uint8_t> next_active(const frame::Structure& structure,
                                      const std::vector<std::uint8_t>& active,
                                      const ResultSet& results);

// As analyse_linear; the stages are reported for the first round of the first set only, the
// later rounds are asked only whether to stop.
base::Expected<void> analyse_active_set(const system::DiscreteModel& model,
                                        const std::vector<frame::LoadSet>& sets,
                                        const AnalysisOptions& options, base::Monitor& monitor,
                                        std::vector<ResultSet>& results);

}  // namespace velm::engineering
