#include "model/support_dofs.hpp"

#include <string_view>

namespace velm::model {

namespace {

constexpr std::string_view kFixed = "Fixed";

// 0, 1, 2 for the one-letter axis keys, -1 for anything else.
int axis_index(std::string_view key) {
  if (key == "X") return 0;
  if (key == "Y") return 1;
  if (key == "Z") return 2;
  return -1;
}

void mark_fixed(const ConditionMap& conditions, int first_dof, std::array<bool, 6>& fixed) {
  for (const auto& [key, value] : conditions) {
    const int axis = axis_index(key);
    if (axis >= 0 && value == kFixed) fixed[static_cast<std::size_t>(first_dof + axis)] = true;
  }
}

}  // namespace

std::array<bool, 6> fixed_dofs(const NodalSupport& support) {
  std::array<bool, 6> fixed{};
  mark_fixed(support.displacement_conditions, 0, fixed);
  mark_fixed(support.rotation_conditions, 3, fixed);
  return fixed;
}

}  // namespace velm::model
