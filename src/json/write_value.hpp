// Writing values and records, driven by the same field tables as reading: every field, in
// declaration order, none as null.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/ordered_map.hpp"
#include "json/schema.hpp"
#include "json/writer.hpp"

namespace velm::json {

template <class T>
void write_value(Writer& writer, const T& value);

template <class T>
void write_value(Writer& writer, const T& value) {
  if constexpr (std::is_same_v<T, std::uint32_t> || std::is_same_v<T, std::uint64_t>) {
    writer.unsigned_integer(value);
  } else if constexpr (std::is_same_v<T, double>) {
    writer.number(value);
  } else if constexpr (std::is_same_v<T, bool>) {
    writer.boolean(value);
  } else if constexpr (std::is_same_v<T, std::string>) {
    writer.string(value);
  } else if constexpr (IsOptional<T>::value) {
    if (value)
      write_value(writer, *value);
    else
      writer.null();
  } else if constexpr (std::is_same_v<T, std::array<double, 3>> || IsVector<T>::value) {
    writer.begin_array();
    for (const auto& element : value) {
      writer.element();
      write_value(writer, element);
    }
    writer.end_array();
  } else if constexpr (KeyedMap<T>) {
    writer.begin_object();
    for (const auto& [key, entry] : value) {
      if constexpr (std::is_same_v<std::decay_t<decltype(key)>, std::string>)
        writer.key(key);
      else
        writer.key(std::to_string(key));
      write_value(writer, entry);
    }
    writer.end_object();
  } else if constexpr (UnitEnum<T>) {
    writer.string(EnumSchema<T>::variants[static_cast<std::size_t>(value)]);
  } else {
    static_assert(Record<T>, "no writer for this type");
    writer.begin_object();
    std::apply(
        [&](const auto&... fields) {
          ((writer.key(fields.key), write_value(writer, value.*(fields.member))), ...);
        },
        Schema<T>::fields);
    writer.end_object();
  }
}

template <class T>
std::string write_document(const T& value) {
  Writer writer;
  write_value(writer, value);
  return writer.take();
}

}  // namespace velm::json
