// libFuzzer target: each input is one run of the event driver (a small
// playfield, the game's seed, how deep events nest, then the decisions). A broken invariant aborts with the
// driver's report, so libFuzzer keeps the input as a crash.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "fuzz/event_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (auto failure = brindlet::testing::RunFuzzInput(std::span<const std::uint8_t>(data, size))) {
    std::fputs(failure->c_str(), stderr);
    std::abort();
  }
  return 0;
}
