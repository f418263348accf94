// The loads of the engineering analysis: every load case's nodal loads and its line loads in
// member axes, and every combination resolved to load case indices.
#pragma once

#include <optional>
#include <string>
#include "base/error.hpp"
#include "frame/checks.hpp"
#include "frame/structure.hpp"

#include "model/extensions.hpp"
#include "model/velm.hpp"

namespace velm::frame {

// Fills load_cases (ids, names, nodal loads) and combinations, checking the nodal loads (node
// in the model, finite values) and the combinations (cases that exist, finite factors). The
// load case ids must be distinct (checked before).
base::Expected<void> read_loads(const model::VELM& model, Structure& structure,
                                CheckProgress& progress);

// Fills the line loads of every load case, located on their members and turned into member
// axes (those given in local axes as they are), varying to their end_magnitude where the
// extensions give one: needs the members with their axes and lengths.
base::Expected<void> read_line_loads(const model::VELM& model, const model::Extensions& extensions,
                                     Structure& structure, CheckProgress& progress);

// The extensions of load case c (document order), if any.
const model::LoadCaseExtension* case_extension(const model::Extensions& extensions, std::size_t c);
// Whether an axes key names the local axes: absent or "global" false, "local" true, anything
// else nothing.
std::optional<bool> local_axes(const std::optional<std::string>& axes);
// "truss", "tension-only", ...: how the errors name a member type.
const char* member_type_name(model::MemberType type);

}  // namespace velm::frame
