#include "model/document.hpp"

#include "json/error.hpp"
#include "json/read_value.hpp"
#include "json/write_value.hpp"
#include "model/warnings.hpp"

namespace velm::model {

base::Expected<VELM> parse_model(std::string_view text, base::Monitor& monitor) {
  auto model = json::read_document<VELM>(text, monitor);
  if (!model && model.error().cancelled) return base::fail(base::ErrorCode::cancelled);
  if (!model)
    return base::fail(base::ErrorCode::not_well_formed, json::describe(model.error(), text));
  return std::move(*model);
}

base::Expected<VELM> parse_model(std::string_view text, base::Monitor& monitor,
                                 std::vector<std::string>& warnings) {
  std::vector<json::SkippedKey> skipped;
  auto model = json::read_document<VELM>(text, monitor, skipped);
  if (!model && model.error().cancelled) return base::fail(base::ErrorCode::cancelled);
  if (!model)
    return base::fail(base::ErrorCode::not_well_formed, json::describe(model.error(), text));
  warnings = skipped_key_warnings(skipped, text);
  for (std::string& warning : model_warnings(*model)) warnings.push_back(std::move(warning));
  return std::move(*model);
}

base::Expected<VELM> parse_model(std::string_view text) {
  auto model = json::read_document<VELM>(text);
  if (!model)
    return base::fail(base::ErrorCode::not_well_formed, json::describe(model.error(), text));
  return std::move(*model);
}

std::string write_model(const VELM& model) {
  return json::write_document(model);
}

}  // namespace velm::model
