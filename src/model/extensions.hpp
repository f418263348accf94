// The engineering analysis's extensions to the model document: optional keys in its load
// cases, line loads and nodal supports, read by the engineering analysis only. The listing
// reads the document's own records, which know none of these keys and skip them, so its output
// cannot change with them. They are read from the same text as a record set of their own, whose
// lists run parallel to the document's (the n-th entry of load_cases extends the n-th load
// case).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "base/ordered_map.hpp"
#include "json/schema.hpp"
#include "model/vector3.hpp"

namespace velm::model {

// A concentrated force (or, in point_moments, moment) magnitude times direction at `position`
// from the member's start; direction in global axes unless axes is "local".
struct MemberPointLoad {
  std::uint32_t member = 0;
  double position = 0.0;
  double magnitude = 0.0;
  Vector3 direction{};
  std::optional<std::string> axes;
  bool operator==(const MemberPointLoad&) const = default;
};

// A moment on a node, global axes.
struct NodalMoment {
  std::uint32_t node = 0;
  Vector3 moment{};
  bool operator==(const NodalMoment&) const = default;
};

// Enforced displacements of the dofs a support fixes: three components each, null where not
// imposed.
struct SupportDisplacement {
  std::uint32_t node = 0;
  std::optional<std::vector<std::optional<double>>> displacement;
  std::optional<std::vector<std::optional<double>>> rotation;
  bool operator==(const SupportDisplacement&) const = default;
};

// The extension keys of a line load: the intensity at end_pos (absent: uniform) and the axes of
// its direction ("global", the default, or "local").
struct LineLoadExtension {
  std::optional<double> end_magnitude;
  std::optional<std::string> axes;
  bool operator==(const LineLoadExtension&) const = default;
};

struct LoadCaseExtension {
  std::optional<std::vector<MemberPointLoad>> point_loads;
  std::optional<std::vector<MemberPointLoad>> point_moments;
  std::optional<std::vector<NodalMoment>> nodal_moments;
  std::optional<std::vector<LineLoadExtension>> line_loads;
  std::optional<Vector3> self_weight;  // gravity: every member's weight per length is rho A g
  std::optional<std::vector<SupportDisplacement>> support_displacements;
  bool operator==(const LoadCaseExtension&) const = default;
};

// Stiffness per global axis ("X", "Y", "Z").
using SpringMap = OrderedMap<std::string, double>;

struct SupportExtension {
  std::optional<SpringMap> displacement_springs;
  std::optional<SpringMap> rotation_springs;
  bool operator==(const SupportExtension&) const = default;
};

struct Extensions {
  std::optional<std::vector<LoadCaseExtension>> load_cases;
  std::optional<std::vector<SupportExtension>> nodal_supports;
  bool operator==(const Extensions&) const = default;
};

// The keys of the extensions. A document none of whose strings (keys or values) spells one of
// them, and none of whose strings holds an escape (which may spell one), holds no extensions.
inline constexpr std::array<std::string_view, 9> kExtensionKeys = {
    "point_loads", "point_moments",         "nodal_moments",        "end_magnitude",   "axes",
    "self_weight", "support_displacements", "displacement_springs", "rotation_springs"};

// Reads the extensions of a document (which the caller has read as the model already). Failure:
// not_well_formed, the reader's message ending in " at line L column C"; cancelled when the
// monitor asks to stop. A text that holds no extensions by the test above is not read.
base::Expected<Extensions> parse_extensions(std::string_view text, base::Monitor& monitor);
// The same for a text whose reading as the model told already whether it may hold extensions
// (parse_model's `may_hold_extensions`) in `may_hold`: the text is read only when it may.
base::Expected<Extensions> parse_extensions(std::string_view text, base::Monitor& monitor,
                                            bool may_hold);

}  // namespace velm::model

template <>
struct velm::json::Schema<velm::model::MemberPointLoad> {
  using T = velm::model::MemberPointLoad;
  static constexpr std::string_view name = "MemberPointLoad";
  static constexpr auto fields =
      std::tuple{field("member", &T::member), field("position", &T::position),
                 field("magnitude", &T::magnitude), field("direction", &T::direction),
                 field("axes", &T::axes)};
};

template <>
struct velm::json::Schema<velm::model::NodalMoment> {
  using T = velm::model::NodalMoment;
  static constexpr std::string_view name = "NodalMoment";
  static constexpr auto fields = std::tuple{field("node", &T::node), field("moment", &T::moment)};
};

template <>
struct velm::json::Schema<velm::model::SupportDisplacement> {
  using T = velm::model::SupportDisplacement;
  static constexpr std::string_view name = "SupportDisplacement";
  static constexpr auto fields =
      std::tuple{field("node", &T::node), field("displacement", &T::displacement),
                 field("rotation", &T::rotation)};
};

template <>
struct velm::json::Schema<velm::model::LineLoadExtension> {
  using T = velm::model::LineLoadExtension;
  static constexpr std::string_view name = "LineLoad";
  static constexpr auto fields =
      std::tuple{field("end_magnitude", &T::end_magnitude), field("axes", &T::axes)};
};

template <>
struct velm::json::Schema<velm::model::LoadCaseExtension> {
  using T = velm::model::LoadCaseExtension;
  static constexpr std::string_view name = "LoadCase";
  static constexpr auto fields =
      std::tuple{field("point_loads", &T::point_loads),
                 field("point_moments", &T::point_moments),
                 field("nodal_moments", &T::nodal_moments),
                 field("line_loads", &T::line_loads),
                 field("self_weight", &T::self_weight),
                 field("support_displacements", &T::support_displacements)};
};

template <>
struct velm::json::Schema<velm::model::SupportExtension> {
  using T = velm::model::SupportExtension;
  static constexpr std::string_view name = "NodalSupport";
  static constexpr auto fields = std::tuple{field("displacement_springs", &T::displacement_springs),
                                            field("rotation_springs", &T::rotation_springs)};
};

template <>
struct velm::json::Schema<velm::model::Extensions> {
  using T = velm::model::Extensions;
  static constexpr std::string_view name = "VELM";
  static constexpr auto fields =
      std::tuple{field("load_cases", &T::load_cases), field("nodal_supports", &T::nodal_supports)};
};
