#pragma once

#include <string>
#include <string_view>

#include "model/document.hpp"

namespace velm::testing {

// The smallest document that parses: every required list empty.
inline constexpr std::string_view kEmptyModel =
    R"({"member_sets":[],"load_cases":[],"load_combinations":[],"imperfection_cases":[],)"
    R"("materials":[],"sections":[],"nodal_supports":[]})";

// A document with `body` as the only member set list, the rest empty.
inline std::string with_member_sets(std::string_view member_sets) {
  return std::string(R"({"member_sets":)") + std::string(member_sets) +
         R"(,"load_cases":[],"load_combinations":[],"imperfection_cases":[],)"
         R"("materials":[],"sections":[],"nodal_supports":[]})";
}

inline std::string with_supports(std::string_view supports) {
  return std::string(R"({"member_sets":[],"load_cases":[],"load_combinations":[],)"
                     R"("imperfection_cases":[],"materials":[],"sections":[],"nodal_supports":)") +
         std::string(supports) + "}";
}

// The parse error, or "parsed" when the document was accepted.
inline std::string parse_error(std::string_view text) {
  auto model = model::parse_model(text);
  return model ? "parsed" : model.error().detail;
}

}  // namespace velm::testing
