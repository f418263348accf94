#include "model/extensions.hpp"

#include "json/error.hpp"
#include "json/read_value.hpp"

namespace velm::model {

base::Expected<Extensions> parse_extensions(std::string_view text, base::Monitor& monitor) {
  auto extensions = json::read_document<Extensions>(text, monitor);
  if (!extensions && extensions.error().cancelled) return base::fail(base::ErrorCode::cancelled);
  if (!extensions)
    return base::fail(base::ErrorCode::not_well_formed, json::describe(extensions.error(), text));
  return std::move(*extensions);
}

}  // namespace velm::model
