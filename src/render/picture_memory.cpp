#include "render/picture_memory.h"

#include <cstdlib>
#include <new>

namespace brindlet {

void* AllocatePicture(std::size_t bytes) {
  if (void* block = std::malloc(bytes == 0 ? 1 : bytes)) return block;
  throw std::bad_alloc();
}

void FreePicture(void* block) noexcept { std::free(block); }

}  // namespace brindlet
