// The static analysis with tension-only and compression-only members: superposition does not
// hold, so every load set is analysed on its own, switching members off and on until none
// changes (an active set). A tension member with a compressive force, or a compression member
// with a tensile one, is switched off; a switched-off member whose ends move apart (tension) or
// together (compression) is switched on again.
#pragma once

#include <vector>

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "engineering/set_outcome.hpp"
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

// One load set in first order, every member on in its first round. A mechanism in that first
// round is the whole structure's (the returned error); a mechanism once members have switched
// off, and not settling within kMaxSwitchingRounds, are the set's own failures. `monitor` is
// told the stages of the first round when `report_stages`, and asked whether to stop.
// Sets out.iterations to the rounds.
SetOutcome analyse_switching_set(const system::DiscreteModel& model, const frame::LoadSet& set,
                                 const AnalysisOptions& options, base::Monitor& monitor,
                                 bool report_stages, ResultSet& out);

}  // namespace velm::engineering
