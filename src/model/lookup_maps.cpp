#include "model/lookup_maps.hpp"

#include <vector>

namespace velm::model {

namespace {

template <class Record>
std::unordered_map<std::uint32_t, const Record*> index_by_id(const std::vector<Record>& records) {
  std::unordered_map<std::uint32_t, const Record*> map;
  map.reserve(records.size());
  for (const Record& record : records) map.insert_or_assign(record.id, &record);
  return map;
}

}  // namespace

LookupMaps build_lookup_maps(const model::VELM& model) {
  LookupMaps maps;
  maps.materials = index_by_id(model.materials);
  maps.sections = index_by_id(model.sections);
  if (model.memberhinges) maps.hinges = index_by_id(*model.memberhinges);
  maps.supports = index_by_id(model.nodal_supports);
  return maps;
}

}  // namespace velm::model
