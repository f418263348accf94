#include "model/document.hpp"

#include <algorithm>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

#include "json/error.hpp"
#include "json/read_value.hpp"
#include "json/write_value.hpp"
#include "model/extensions.hpp"
#include "model/warnings.hpp"

namespace velm::model {

namespace {

// Whether no record within T has a field named like one of `names`.
template <class T>
constexpr bool no_key_among(std::span<const std::string_view> names) {
  if constexpr (json::IsOptional<T>::value || json::IsVector<T>::value) {
    return no_key_among<typename T::value_type>(names);
  } else if constexpr (json::KeyedMap<T>) {
    return no_key_among<typename T::Entry::second_type>(names);
  } else if constexpr (json::Record<T>) {
    return std::apply(
        [&](const auto&... fields) {
          return ((std::ranges::find(names, fields.key) == names.end() &&
                   no_key_among<std::remove_cvref_t<decltype(std::declval<T&>().*(fields.member))>>(
                       names)) &&
                  ...);
        },
        json::Schema<T>::fields);
  } else {
    return true;
  }
}

}  // namespace

base::Expected<VELM> parse_model(std::string_view text, base::Monitor& monitor) {
  auto model = json::read_document<VELM>(text, monitor);
  if (!model && model.error().cancelled) return base::fail(base::ErrorCode::cancelled);
  if (!model)
    return base::fail(base::ErrorCode::not_well_formed, json::describe(model.error(), text));
  return std::move(*model);
}

base::Expected<VELM> parse_model(std::string_view text, base::Monitor& monitor,
                                 std::vector<std::string>& warnings) {
  bool may_hold_extensions = false;
  return parse_model(text, monitor, warnings, may_hold_extensions);
}

base::Expected<VELM> parse_model(std::string_view text, base::Monitor& monitor,
                                 std::vector<std::string>& warnings, bool& may_hold_extensions) {
  // The records match the keys they have in place without looking at them as strings, so
  // none of them may be an extension key.
  static_assert(no_key_among<VELM>(kExtensionKeys));
  std::vector<json::SkippedKey> skipped;
  json::Reader reader(text, monitor);
  reader.note_skipped_keys(&skipped);
  reader.watch_strings(kExtensionKeys);
  auto model = json::read_document<VELM>(reader);
  if (!model && model.error().cancelled) return base::fail(base::ErrorCode::cancelled);
  if (!model)
    return base::fail(base::ErrorCode::not_well_formed, json::describe(model.error(), text));
  may_hold_extensions = reader.saw_watched() || reader.saw_escape();
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
