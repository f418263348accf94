#include "frame/checks.hpp"

#include <fmt/format.h>

#include <optional>
#include <unordered_set>
#include <vector>

namespace velm::frame {

namespace {

// The first id that two records share, in document order of the second one; `stopped` is set
// when the monitor asked to stop before the end.
template <class Records, class IdOf>
std::optional<std::uint32_t> repeated_id(const Records& records, IdOf id_of,
                                         CheckProgress& progress, bool& stopped) {
  std::unordered_set<std::uint32_t> seen;
  seen.reserve(records.size());
  for (const auto& record : records) {
    if (!progress.keep_going()) {
      stopped = true;
      return std::nullopt;
    }
    if (!seen.insert(id_of(record)).second) return id_of(record);
  }
  return std::nullopt;
}

}  // namespace

base::Expected<void> reject_repeated_ids(const model::VELM& model, CheckProgress& progress) {
  bool stopped = false;
  if (auto id = repeated_id(
          model.load_cases, [](const auto& c) { return c.id; }, progress, stopped))
    return invalid(fmt::format("Two load cases have the id {}.", *id));
  std::vector<const model::Member*> members;
  for (const model::MemberSet& set : model.member_sets)
    for (const model::Member& member : set.members) members.push_back(&member);
  if (stopped) return cancelled();
  if (auto id = repeated_id(
          members, [](const auto* m) { return m->id; }, progress, stopped))
    return invalid(fmt::format("Two members have the id {}.", *id));
  if (stopped) return cancelled();
  if (auto id = repeated_id(
          model.nodal_supports, [](const auto& s) { return s.id; }, progress, stopped))
    return invalid(fmt::format("Two nodal supports have the id {}.", *id));
  if (stopped) return cancelled();
  if (auto id = repeated_id(
          model.load_combinations, [](const auto& c) { return c.load_combination_id; }, progress,
          stopped))
    return invalid(fmt::format("Two load combinations have the id {}.", *id));
  if (stopped) return cancelled();
  // The listing analysis lets the later of two such records win; here a repeated id is a
  // mistake in the model, which would otherwise change its stiffness silently.
  if (auto id = repeated_id(
          model.sections, [](const auto& s) { return s.id; }, progress, stopped))
    return invalid(fmt::format("Two sections have the id {}.", *id));
  if (stopped) return cancelled();
  if (auto id = repeated_id(
          model.materials, [](const auto& m) { return m.id; }, progress, stopped))
    return invalid(fmt::format("Two materials have the id {}.", *id));
  if (stopped) return cancelled();
  if (model.memberhinges)
    if (auto id = repeated_id(
            *model.memberhinges, [](const auto& h) { return h.id; }, progress, stopped))
      return invalid(fmt::format("Two member hinges have the id {}.", *id));
  if (stopped) return cancelled();
  return {};
}

}  // namespace velm::frame
