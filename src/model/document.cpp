#include "model/document.hpp"

#include "json/read_value.hpp"
#include "json/write_value.hpp"

namespace velm::model {

std::expected<VELM, std::string> parse_model(std::string_view text) {
  return json::read_document<VELM>(text);
}

std::string write_model(const VELM& model) {
  return json::write_document(model);
}

}  // namespace velm::model
