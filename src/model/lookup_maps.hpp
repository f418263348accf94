// Id-to-record maps of one solve. They refer into the model and must not outlive it.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "model/material.hpp"
#include "model/velm.hpp"

namespace velm::model {

using MaterialMap = std::unordered_map<std::uint32_t, const Material*>;
using SectionMap = std::unordered_map<std::uint32_t, const Section*>;
using HingeMap = std::unordered_map<std::uint32_t, const model::MemberHinge*>;
using SupportMap = std::unordered_map<std::uint32_t, const model::NodalSupport*>;

struct LookupMaps {
  MaterialMap materials;
  SectionMap sections;
  HingeMap hinges;  // empty when the model has no hinge list
  SupportMap supports;
};

// Indexes the top-level lists by id; when two records share an id, the later one is found.
LookupMaps build_lookup_maps(const model::VELM& model);

}  // namespace velm::model
