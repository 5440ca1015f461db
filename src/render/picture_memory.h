// Memory for whole pictures. A frame is touched a few scattered tiles at a
// time, a row of them per page of ordinary 4 KiB pages, so every tick would
// walk the page tables hundreds of times; pictures of a megabyte or more are
// therefore placed on 2 MiB boundaries and offered to the kernel as huge
// pages, where it has them. Smaller blocks come from the ordinary heap.
// Those scattered tiles are also worth asking for ahead of their use.
#pragma once

#include <cstddef>
#include <new>

namespace brindlet {

void* AllocatePicture(std::size_t bytes);
void FreePicture(void* block) noexcept;

// The same, for standard containers.
template <typename T>
struct PictureAllocator {
  using value_type = T;
  PictureAllocator() = default;
  template <typename U>
  PictureAllocator(const PictureAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(AllocatePicture(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t) noexcept { FreePicture(p); }
  friend bool operator==(const PictureAllocator&, const PictureAllocator&) { return true; }
};

// Asks for the cache line holding `p` to be fetched, ahead of its use.
// GCC drops __builtin_prefetch where nothing else in the code depends on
// it, as in a look-ahead, so on x86 the instruction is written out.
inline void PrefetchLine(const void* p) {
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
  asm volatile("prefetcht0 %0" : : "m"(*static_cast<const char*>(p)));
#else
  __builtin_prefetch(p);
#endif
}

// The same for the `bytes` bytes (at least 1) from `p`.
inline void Prefetch(const void* p, std::size_t bytes) {
  const auto* first = static_cast<const char*>(p);
  for (std::size_t at = 0; at < bytes; at += 64) PrefetchLine(first + at);
  PrefetchLine(first + bytes - 1);
}

}  // namespace brindlet
