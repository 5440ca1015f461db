// Asking for a picture's lines ahead of use. A frame is touched a few
// scattered tiles at a time, and its lines have left the caches by the next
// tick, so those tiles are worth fetching ahead.
#pragma once

#include <cstddef>

namespace brindlet {

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
