// Vectors whose storage starts on a cache line: the frame's colour and depth
// rows are read and written in 64-byte vectors, which cost a second access
// wherever they straddle two lines, and tiles drawn by two threads at once
// must not share a line at their common edge.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace refdev {

inline constexpr std::size_t kCacheLine = 64;

template <typename T>
struct CacheLineAllocator {
  using value_type = T;
  CacheLineAllocator() = default;
  template <typename U>
  CacheLineAllocator(const CacheLineAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    return static_cast<T*>(::operator new (n * sizeof(T), std::align_val_t{kCacheLine}));
  }
  void deallocate(T* p, std::size_t) noexcept {
    ::operator delete (p, std::align_val_t{kCacheLine});
  }
  template <typename U>
  bool operator==(const CacheLineAllocator<U>&) const noexcept {
    return true;
  }
};

template <typename T>
using AlignedVector = std::vector<T, CacheLineAllocator<T>>;

}  // namespace refdev
