#include "render/picture_memory.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace brindlet {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLargePicture = std::size_t{1} << 20;

std::size_t HugeSize(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

void* AllocatePicture(std::size_t bytes) {
  if (bytes < kLargePicture) {
    if (void* block = std::malloc(bytes == 0 ? 1 : bytes)) return block;
    throw std::bad_alloc();
  }
  void* block = std::aligned_alloc(kHugePage, HugeSize(bytes));
  if (block == nullptr) throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  // Only advice: without huge pages the block works as well, just slower.
  madvise(block, HugeSize(bytes), MADV_HUGEPAGE);
#endif
  return block;
}

void FreePicture(void* block) noexcept { std::free(block); }

}  // namespace brindlet
