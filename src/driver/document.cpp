#include "driver/document.hpp"

#include "model/document.hpp"

namespace velm::driver {

base::Expected<model::VELM> read_model(std::string_view json_text) {
  base::Monitor quiet;
  return read_model(json_text, quiet);
}

base::Expected<model::VELM> read_model(std::string_view json_text, base::Monitor& monitor) {
  auto model = model::parse_model(json_text, monitor);
  if (model && model->load_cases.empty()) return base::fail(base::ErrorCode::no_load_cases);
  return model;
}

base::Expected<model::VELM> read_model(std::string_view json_text, base::Monitor& monitor,
                                       std::vector<std::string>& warnings) {
  auto model = model::parse_model(json_text, monitor, warnings);
  if (model && model->load_cases.empty()) return base::fail(base::ErrorCode::no_load_cases);
  return model;
}

base::Expected<model::VELM> read_model(std::string_view json_text, base::Monitor& monitor,
                                       std::vector<std::string>& warnings,
                                       bool& may_hold_extensions) {
  auto model = model::parse_model(json_text, monitor, warnings, may_hold_extensions);
  if (model && model->load_cases.empty()) return base::fail(base::ErrorCode::no_load_cases);
  return model;
}

}  // namespace velm::driver
