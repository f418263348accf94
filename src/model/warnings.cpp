#include "model/warnings.hpp"

#include <array>
#include <unordered_set>
#include <utility>

#include <fmt/format.h>

#include "json/error.hpp"

namespace velm::model {

namespace {

// Keys of the load and support extensions, read by the engineering analysis where it knows them.
constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kExtensionKeys = {{
    {"LoadCase", "point_loads"},
    {"LoadCase", "point_moments"},
    {"LoadCase", "nodal_moments"},
    {"LoadCase", "self_weight"},
    {"LoadCase", "support_displacements"},
    {"LineLoad", "end_magnitude"},
    {"LineLoad", "axes"},
    {"NodalSupport", "displacement_springs"},
    {"NodalSupport", "rotation_springs"},
}};

bool is_extension(const json::SkippedKey& key) {
  for (const auto& [record, name] : kExtensionKeys)
    if (key.record == record && key.key == name) return true;
  return false;
}

// "support 3: condition 'fixed' for Z is not 'Fixed' and leaves UZ free".
void condition_warnings(const NodalSupport& support, const ConditionMap& conditions,
                        const char* kind, char dof, std::vector<std::string>& out) {
  for (const auto& [axis, value] : conditions) {
    if (axis != "X" && axis != "Y" && axis != "Z") {
      out.push_back(
          fmt::format("support {}: {} condition key '{}' is not 'X', 'Y' or 'Z' and "
                      "is ignored",
                      support.id, kind, axis));
      continue;
    }
    if (value != "Fixed" && value != "Free")
      out.push_back(
          fmt::format("support {}: condition '{}' for {} is not 'Fixed' and leaves {}{} "
                      "free",
                      support.id, value, axis, dof, axis));
  }
}

const char* type_name(MemberType type) {
  switch (type) {
    case MemberType::Normal:
      return "Normal";
    case MemberType::Truss:
      return "Truss";
    case MemberType::Tension:
      return "Tension";
    case MemberType::Compression:
      return "Compression";
    case MemberType::Rigid:
      return "Rigid";
  }
  return "";
}

}  // namespace

std::vector<std::string> skipped_key_warnings(std::span<const json::SkippedKey> skipped,
                                              std::string_view text) {
  std::vector<std::string> out;
  for (const json::SkippedKey& key : skipped) {
    if (is_extension(key)) continue;
    const std::string message = fmt::format("{}: unknown key `{}` skipped", key.record, key.key);
    out.push_back(json::describe({message, key.index}, text));
  }
  return out;
}

std::vector<std::string> model_warnings(const VELM& model) {
  std::vector<std::string> out;
  for (const NodalSupport& support : model.nodal_supports) {
    condition_warnings(support, support.displacement_conditions, "displacement", 'U', out);
    condition_warnings(support, support.rotation_conditions, "rotation", 'R', out);
  }
  std::unordered_set<std::uint32_t> member_ids;
  for (const MemberSet& set : model.member_sets)
    for (const Member& member : set.members) member_ids.insert(member.id);
  for (const MemberSet& set : model.member_sets)
    for (const Member& member : set.members) {
      if (member.member_type != MemberType::Normal)
        for (const auto& [hinge, end] :
             {std::pair{member.start_hinge, "start"}, std::pair{member.end_hinge, "end"}})
          if (hinge)
            out.push_back(fmt::format("member {}: its {} hinge {} has no effect on a {} member",
                                      member.id, end, *hinge, type_name(member.member_type)));
      if (member.reference_member && !member_ids.contains(*member.reference_member))
        out.push_back(fmt::format("member {}: reference_member {} names no member", member.id,
                                  *member.reference_member));
    }
  return out;
}

}  // namespace velm::model
