// Replays fuzz inputs through the event driver without libFuzzer, so every
// build checks the committed corpus. Arguments: files or directories of
// inputs. Exits non-zero when any input breaks an invariant.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/event_driver.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const fs::path arg(argv[i]);
    if (fs::is_directory(arg)) {
      for (const auto& entry : fs::directory_iterator(arg)) {
        if (entry.is_regular_file()) inputs.push_back(entry.path());
      }
    } else if (fs::is_regular_file(arg)) {
      inputs.push_back(arg);
    } else {
      std::fprintf(stderr, "no such input: %s\n", argv[i]);
      return 2;
    }
  }
  std::sort(inputs.begin(), inputs.end());
  if (inputs.empty()) {
    std::fprintf(stderr, "no inputs to replay\n");
    return 2;
  }

  int failures = 0;
  long events = 0;
  long delivered = 0;
  int deepest = 0;
  for (const auto& path : inputs) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    brindlet::testing::DriverStats stats;
    if (auto failure = brindlet::testing::RunFuzzInput(bytes, &stats)) {
      std::fprintf(stderr, "%s:\n%s\n", path.c_str(), failure->c_str());
      ++failures;
    }
    events += stats.events;
    delivered += stats.delivered;
    deepest = std::max(deepest, stats.deepest);
  }
  std::printf("replayed %zu inputs (%ld events, %ld more delivered at yields, nested up to %d deep), %d failed\n",
              inputs.size(), events, delivered, deepest, failures);
  return failures == 0 ? 0 : 1;
}
