#include "model/extensions.hpp"

#include <array>

#include "json/error.hpp"
#include "json/read_value.hpp"

namespace velm::model {

namespace {

// Whether the text may hold an extension key: a string that begins like one, or an escape (a
// key may spell its letters as \u escapes). A text that holds neither holds no extensions and
// needs no second pass of the reader. One pass over the bytes, looking at each quote and
// backslash.
bool may_hold_extensions(std::string_view text) {
  static constexpr std::array<std::string_view, 9> kKeys = {"point_loads\"",
                                                            "point_moments\"",
                                                            "nodal_moments\"",
                                                            "end_magnitude\"",
                                                            "axes\"",
                                                            "self_weight\"",
                                                            "support_displacements\"",
                                                            "displacement_springs\"",
                                                            "rotation_springs\""};
  const char* p = text.data();
  const char* const end = p + text.size();
  for (; p != end; ++p) {
    if (*p == '\\') return true;
    if (*p != '"') continue;
    const std::string_view rest(p + 1, static_cast<std::size_t>(end - p - 1));
    for (const std::string_view key : kKeys)
      if (rest.starts_with(key)) return true;
  }
  return false;
}

}  // namespace

base::Expected<Extensions> parse_extensions(std::string_view text, base::Monitor& monitor) {
  if (!may_hold_extensions(text)) return Extensions{};
  auto extensions = json::read_document<Extensions>(text, monitor);
  if (!extensions && extensions.error().cancelled) return base::fail(base::ErrorCode::cancelled);
  if (!extensions)
    return base::fail(base::ErrorCode::not_well_formed, json::describe(extensions.error(), text));
  return std::move(*extensions);
}

}  // namespace velm::model
