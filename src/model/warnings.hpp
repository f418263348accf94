// What the reading rules accept without complaint but an author probably did not mean: keys a
// record does not have, support conditions that fix nothing, hinges on members that cannot use
// them, references to nothing. Texts only; the engineering analysis reports them (or refuses
// the model when asked to be strict), the listing path reads as it always has.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "json/reader.hpp"
#include "model/velm.hpp"

namespace velm::model {

// One text per key skipped in `text`, in document order: "LoadCase: unknown key `nodal_laods`
// skipped at line L column C" (the column of its opening quote). The keys that the load and
// support extensions add to load cases, line loads and nodal supports are not warned about.
std::vector<std::string> skipped_key_warnings(std::span<const json::SkippedKey> skipped,
                                              std::string_view text);

// One text per record that reads as a default its author probably did not mean, naming it:
// support condition values other than "Fixed" and "Free", condition keys other than X, Y, Z,
// hinges named by truss, tension, compression or rigid members, a reference_member naming no
// member. Supports first, then members in document order.
std::vector<std::string> model_warnings(const VELM& model);

}  // namespace velm::model
