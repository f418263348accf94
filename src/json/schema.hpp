// Field tables: one per record, the single place where its JSON keys are written down.
// Reading and writing are both derived from the table, so the two can never disagree.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <tuple>
#include <vector>

namespace velm::json {

template <class Record, class Value>
struct Field {
  std::string_view key;
  Value Record::*member;
};

template <class Record, class Value>
constexpr Field<Record, Value> field(std::string_view key, Value Record::*member) {
  return {key, member};
}

// Specialised next to each record: `name` (as it appears in messages) and `fields`, a tuple of
// Field in declaration order. A field is optional exactly when its type is std::optional.
template <class T>
struct Schema;

template <class T>
concept Record = requires {
  Schema<T>::name;
  Schema<T>::fields;
};

// Specialised next to each unit enumeration: `name` and `variants` in declaration order, so that
// the enumerator with value i is spelled variants[i].
template <class T>
struct EnumSchema;

template <class T>
concept UnitEnum = requires {
  EnumSchema<T>::name;
  EnumSchema<T>::variants;
};

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <class T>
struct IsVector : std::false_type {};
template <class T>
struct IsVector<std::vector<T>> : std::true_type {};

// The document-ordered maps of the model (base/ordered_map.hpp): key-value entries in order.
template <class T>
concept KeyedMap = requires {
  typename T::Entry;
  typename T::Entry::first_type;
};

template <class T>
constexpr std::size_t field_count = std::tuple_size_v<std::decay_t<decltype(Schema<T>::fields)>>;

}  // namespace velm::json
