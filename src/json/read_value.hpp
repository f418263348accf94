// Reading values and records, driven by the field tables. Included only where a document type
// is instantiated; the tokenizer stays behind Reader's small interface.
#pragma once

#include <array>
#include <bitset>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "base/ordered_map.hpp"
#include "json/reader.hpp"
#include "json/schema.hpp"

namespace velm::json {

template <class T>
Result<void> read_value(Reader& reader, T& out);

namespace detail {

inline Result<void> fail(ReadError error) {
  return std::unexpected(std::move(error));
}

template <class T>
std::string record_expectation() {
  return fmt::format("struct {} with {} elements", Schema<T>::name, field_count<T>);
}

// Errors that a record raises itself (missing, duplicate, length) are located where the
// record's closing bracket would be consumed, after any whitespace before it.
inline ReadError at_record_end(Reader& reader, ReadError error, char closing) {
  if (reader.peek() == closing) reader.eat();
  error.index = reader.error("").index;
  return error;
}

// Whether two keys are equal, compared in line: keys are a few bytes long.
inline bool same_key(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// Reads the value of field `index` (from I on), returned as it is made.
template <std::size_t I, class T>
Result<void> read_field(Reader& reader, T& out, std::size_t index) {
  if constexpr (I == field_count<T>) {
    return {};
  } else {
    if (index == I) return read_value(reader, out.*(std::get<I>(Schema<T>::fields).member));
    return read_field<I + 1>(reader, out, index);
  }
}

// The keys of a record, in the order of its fields.
template <class T, std::size_t... I>
constexpr auto record_keys(std::index_sequence<I...>) {
  return std::array<std::string_view, sizeof...(I)>{std::get<I>(Schema<T>::fields).key...};
}

// Reads the value of the field named `key`. Documents name a record's fields in the order of
// its table, so the field after the one read last (`expected`) is tried first; `expected`
// becomes the field after this one.
template <class T, std::size_t... I>
Result<void> read_field_by_key(Reader& reader, T& out, std::string_view key, std::bitset<64>& seen,
                               std::size_t& expected, std::index_sequence<I...> sequence) {
  static constexpr auto keys = record_keys<T>(sequence);
  std::size_t index = sizeof...(I);
  if (expected < keys.size() && same_key(keys[expected], key))
    index = expected;
  else
    (void)((same_key(key, keys[I]) ? (index = I, true) : false) || ...);
  if (index == sizeof...(I)) {  // not a field of this record: skipped whole
    if (std::vector<SkippedKey>* skipped = reader.skipped_keys())
      skipped->push_back({Schema<T>::name, std::string(key), reader.key_index()});
    if (auto ok = reader.colon(); !ok) return ok;
    return reader.skip_value();
  }
  expected = index + 1;
  if (seen[index]) {
    return fail(
        at_record_end(reader, reader.error(fmt::format("duplicate field `{}`", keys[index])), '}'));
  }
  seen.set(index);
  if (auto ok = reader.colon(); !ok) return ok;
  return read_field<0>(reader, out, index);
}

// The fields that follow in the order of the table, each key matched in place and its value
// read at once, as the usual document has them: the same steps as read_record's loop takes for
// them. Stops at the first entry that is not the next field and leaves it to that loop: `open`
// when its opening quote is consumed, `closed` when the record closes there.
template <std::size_t I, class T>
Result<void> read_in_order(Reader& reader, T& out, std::bitset<64>& seen, std::size_t& expected,
                           bool& first, bool& open, bool& closed) {
  if constexpr (I == field_count<T>) {
    return {};
  } else {
    auto more = reader.next_entry(first);
    if (!more) return fail(more.error());
    if (!*more) {
      closed = true;
      return {};
    }
    if (!reader.match_key(std::get<I>(Schema<T>::fields).key)) {
      open = true;
      return {};
    }
    seen.set(I);
    expected = I + 1;
    if (auto ok = reader.colon(); !ok) return ok;
    if (auto ok = read_value(reader, out.*(std::get<I>(Schema<T>::fields).member)); !ok) return ok;
    return read_in_order<I + 1>(reader, out, seen, expected, first, open, closed);
  }
}

template <class T, std::size_t... I>
Result<void> check_missing(Reader& reader, T& out, const std::bitset<64>& seen,
                           std::index_sequence<I...>) {
  constexpr auto& fields = Schema<T>::fields;
  Result<void> result;
  (void)((seen[I] ? false
                  : [&] {
                      using Value = std::decay_t<decltype(out.*(std::get<I>(fields).member))>;
                      if constexpr (IsOptional<Value>::value) {
                        out.*(std::get<I>(fields).member) = std::nullopt;
                        return false;
                      } else {
                        result = fail(at_record_end(
                            reader,
                            reader.error(fmt::format("missing field `{}`", std::get<I>(fields).key)),
                            '}'));
                        return true;
                      }
                    }()) ||
         ...);
  return result;
}

template <class T, std::size_t... I>
Result<void> read_positional(Reader& reader, T& out, std::index_sequence<I...>) {
  constexpr auto& fields = Schema<T>::fields;
  Result<void> result;
  bool first = true;
  (void)(([&] {
           auto more = reader.next_element(first);
           if (!more) {
             result = fail(more.error());
           } else if (!*more) {
             result = fail(at_record_end(reader,
                                         reader.error(fmt::format("invalid length {}, expected {}",
                                                                  I, record_expectation<T>())),
                                         ']'));
           } else {
             result = read_value(reader, out.*(std::get<I>(fields).member));
           }
           return !result.has_value();
         }()) ||
         ...);
  return result;
}

template <class T>
Result<void> read_record(Reader& reader, T& out) {
  constexpr std::size_t count = field_count<T>;
  static_assert(count <= 64);
  const auto next = reader.peek();
  if (!next) return fail(reader.peek_error("EOF while parsing a value"));
  if (*next == '{') {
    if (auto ok = reader.begin_container(); !ok) return ok;
    std::bitset<64> seen;
    bool first = true, open = false, closed = false;
    std::size_t expected = 0;
    if (auto ok = read_in_order<0>(reader, out, seen, expected, first, open, closed); !ok)
      return ok;
    while (!closed) {
      if (!open) {
        auto more = reader.next_entry(first);
        if (!more) return fail(more.error());
        if (!*more) break;
      }
      open = false;
      std::string_view key;
      if (auto ok = reader.key_after_quote(key); !ok) return ok;
      auto ok =
          read_field_by_key(reader, out, key, seen, expected, std::make_index_sequence<count>{});
      if (!ok) return ok;
    }
    reader.end_container();
    if (auto ok = check_missing(reader, out, seen, std::make_index_sequence<count>{}); !ok)
      return ok;
    return reader.end_map();
  }
  if (*next == '[') {
    if (auto ok = reader.begin_container(); !ok) return ok;
    if (auto ok = read_positional(reader, out, std::make_index_sequence<count>{}); !ok) return ok;
    reader.end_container();
    return reader.end_seq();
  }
  return fail(reader.invalid_type(fmt::format("struct {}", Schema<T>::name)));
}

template <class T>
Result<void> read_enum(Reader& reader, T& out) {
  constexpr auto& variants = EnumSchema<T>::variants;
  const auto next = reader.peek();
  if (!next) return fail(reader.peek_error("EOF while parsing a value"));
  const bool object_form = *next == '{';
  if (object_form) {
    // {"Variant": null}, the externally tagged form of a unit variant.
    if (auto ok = reader.begin_container(); !ok) return ok;
  } else if (*next != '"') {
    return fail(reader.invalid_type(fmt::format("enum {}", EnumSchema<T>::name)));
  }
  auto name = reader.read_string("variant identifier");
  if (!name) return fail(name.error());
  std::size_t index = 0;
  while (index < variants.size() && variants[index] != *name) ++index;
  if (index == variants.size()) {
    std::string expected;
    for (const auto variant : variants)
      expected += fmt::format("{}`{}`", expected.empty() ? "" : ", ", variant);
    return fail(
        reader.error(fmt::format("unknown variant `{}`, expected one of {}", *name, expected)));
  }
  out = static_cast<T>(index);
  if (!object_form) return {};
  if (auto ok = reader.colon(); !ok) return ok;
  auto is_null = reader.read_null();
  if (!is_null) return fail(is_null.error());
  if (!*is_null) return fail(reader.invalid_type("unit"));
  reader.end_container();
  const auto closing = reader.peek();
  if (!closing) return fail(reader.error("EOF while parsing an object"));
  if (*closing != '}') return fail(reader.error("expected value"));
  reader.eat();
  return {};
}

template <class T>
Result<void> read_list(Reader& reader, std::vector<T>& out) {
  const auto next = reader.peek();
  if (!next) return fail(reader.peek_error("EOF while parsing a value"));
  if (*next != '[') return fail(reader.invalid_type("a sequence"));
  if (auto ok = reader.begin_container(); !ok) return ok;
  out.clear();
  bool first = true;
  while (true) {
    auto more = reader.next_element(first);
    if (!more) return fail(more.error());
    if (!*more) break;
    if (auto ok = read_value(reader, out.emplace_back()); !ok) return ok;
  }
  reader.end_container();
  return reader.end_seq();
}

inline Result<void> read_triple(Reader& reader, std::array<double, 3>& out) {
  const auto next = reader.peek();
  if (!next) return fail(reader.peek_error("EOF while parsing a value"));
  if (*next != '[') return fail(reader.invalid_type("a tuple of size 3"));
  if (auto ok = reader.begin_container(); !ok) return ok;
  bool first = true;
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto more = reader.next_element(first);
    if (!more) return fail(more.error());
    if (!*more) {
      return fail(at_record_end(
          reader, reader.error(fmt::format("invalid length {}, expected a tuple of size 3", i)),
          ']'));
    }
    auto value = reader.read_f64();
    if (!value) return fail(value.error());
    out[i] = *value;
  }
  reader.end_container();
  return reader.end_seq();
}

template <class K, class V>
Result<void> read_map(Reader& reader, OrderedMap<K, V>& out) {
  const auto next = reader.peek();
  if (!next) return fail(reader.peek_error("EOF while parsing a value"));
  if (*next != '{') return fail(reader.invalid_type("a map"));
  if (auto ok = reader.begin_container(); !ok) return ok;
  out = {};
  bool first = true;
  while (true) {
    K key{};
    Result<bool> more;
    if constexpr (std::is_same_v<K, std::string>)
      more = reader.next_key(first, key);
    else
      more = reader.next_numeric_key(first, key);
    if (!more) return fail(more.error());
    if (!*more) break;
    if (auto ok = reader.colon(); !ok) return ok;
    V value{};
    if (auto ok = read_value(reader, value); !ok) return ok;
    out.insert_or_assign(std::move(key), std::move(value));
  }
  reader.end_container();
  return reader.end_map();
}

template <class T>
Result<void> assign(Result<T> value, T& out) {
  if (!value) return fail(value.error());
  out = std::move(*value);
  return {};
}

}  // namespace detail

template <class T>
Result<void> read_value(Reader& reader, T& out) {
  if constexpr (std::is_same_v<T, std::uint32_t>) {
    return detail::assign<T>(reader.read_u32(), out);
  } else if constexpr (std::is_same_v<T, std::uint64_t>) {
    return detail::assign<T>(reader.read_u64(), out);
  } else if constexpr (std::is_same_v<T, double>) {
    return detail::assign<T>(reader.read_f64(), out);
  } else if constexpr (std::is_same_v<T, bool>) {
    return detail::assign<T>(reader.read_bool(), out);
  } else if constexpr (std::is_same_v<T, std::string>) {
    return detail::assign<T>(reader.read_string(), out);
  } else if constexpr (std::is_same_v<T, std::array<double, 3>>) {
    return detail::read_triple(reader, out);
  } else if constexpr (IsOptional<T>::value) {
    auto is_null = reader.read_null();
    if (!is_null) return detail::fail(is_null.error());
    if (*is_null) {
      out.reset();
      return {};
    }
    return read_value(reader, out.emplace());
  } else if constexpr (IsVector<T>::value) {
    return detail::read_list(reader, out);
  } else if constexpr (KeyedMap<T>) {
    return detail::read_map(reader, out);
  } else if constexpr (UnitEnum<T>) {
    return detail::read_enum(reader, out);
  } else {
    static_assert(Record<T>, "no reader for this type");
    return detail::read_record(reader, out);
  }
}

// A whole document: one value of type T followed only by whitespace. The error holds the byte
// index it refers to; describe() states it for a reader. The reader is left where it stopped,
// with what it noted.
template <class T>
Result<T> read_document(Reader& reader) {
  T out{};
  auto ok = read_value(reader, out);
  if (ok) ok = reader.finish();
  if (!ok) return std::unexpected(std::move(ok.error()));
  return out;
}
template <class T>
Result<T> read_document(std::string_view text) {
  Reader reader(text);
  return read_document<T>(reader);
}
// The same, telling `monitor` how far it has come and asking it whether to stop.
template <class T>
Result<T> read_document(std::string_view text, base::Monitor& monitor) {
  Reader reader(text, monitor);
  return read_document<T>(reader);
}
// The same, noting in `skipped` every key a record does not have.
template <class T>
Result<T> read_document(std::string_view text, base::Monitor& monitor,
                        std::vector<SkippedKey>& skipped) {
  Reader reader(text, monitor);
  reader.note_skipped_keys(&skipped);
  return read_document<T>(reader);
}

}  // namespace velm::json
