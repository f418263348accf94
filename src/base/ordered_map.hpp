// A small map that keeps its keys in document order, so that a model written back lists its map
// entries exactly as they were read, run after run. A repeated key keeps its first position and
// takes the last value, as reading a JSON object into a map does.
#pragma once

#include <utility>
#include <vector>

namespace velm {

template <class Key, class Value>
class OrderedMap {
 public:
  using Entry = std::pair<Key, Value>;

  void insert_or_assign(Key key, Value value) {
    for (auto& entry : entries_) {
      if (entry.first == key) {
        entry.second = std::move(value);
        return;
      }
    }
    entries_.emplace_back(std::move(key), std::move(value));
  }

  const Value* find(const Key& key) const {
    for (const auto& entry : entries_)
      if (entry.first == key) return &entry.second;
    return nullptr;
  }

  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  bool operator==(const OrderedMap&) const = default;

 private:
  std::vector<Entry> entries_;
};

}  // namespace velm
