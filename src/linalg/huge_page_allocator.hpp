// An allocator for the large matrices of a solve: 2 MiB aligned and marked for transparent huge
// pages before the first touch, so that zero-filling and copying a matrix of hundreds of
// megabytes takes a few hundred page faults instead of a few hundred thousand.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace velm::linalg {

template <class T>
struct HugePageAllocator {
  using value_type = T;
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;

  HugePageAllocator() = default;
  template <class U>
  HugePageAllocator(const HugePageAllocator<U>&) {}

  T* allocate(std::size_t count) {
    if (count > SIZE_MAX / sizeof(T) - kHugePage) throw std::bad_alloc();
    const std::size_t bytes = (count * sizeof(T) + kHugePage - 1) / kHugePage * kHugePage;
    void* memory = std::aligned_alloc(kHugePage, bytes);
    if (memory == nullptr) throw std::bad_alloc();
    ::madvise(memory, bytes, MADV_HUGEPAGE);  // a hint: without it the memory still works
    return static_cast<T*>(memory);
  }
  void deallocate(T* memory, std::size_t) { std::free(memory); }

  template <class U>
  bool operator==(const HugePageAllocator<U>&) const {
    return true;
  }
};

}  // namespace velm::linalg
