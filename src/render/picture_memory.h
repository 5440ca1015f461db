// Memory for whole pictures. A frame is touched a few scattered tiles at a
// time, a row of them per page of ordinary 4 KiB pages, so every tick would
// walk the page tables hundreds of times; pictures of a megabyte or more are
// therefore placed on 2 MiB boundaries and offered to the kernel as huge
// pages, where it has them. Smaller blocks come from the ordinary heap.
#pragma once

#include <cstddef>
#include <new>

namespace brindlet {

void* AllocatePicture(std::size_t bytes);
// `bytes` as given to AllocatePicture.
void FreePicture(void* block, std::size_t bytes) noexcept;

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
  void deallocate(T* p, std::size_t n) noexcept { FreePicture(p, n * sizeof(T)); }
  friend bool operator==(const PictureAllocator&, const PictureAllocator&) { return true; }
};

}  // namespace brindlet
