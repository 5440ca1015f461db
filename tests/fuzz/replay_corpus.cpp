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
      for (const auto& entry : fs::directory_iterator(arg)) if (entry.is_regular_file()) inputs.push_back(entry.path());
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
  brindlet::testing::DriverStats total;
  for (const auto& path : inputs) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    brindlet::testing::DriverStats stats;
    if (auto failure = brindlet::testing::RunFuzzInput(bytes, &stats)) {
      std::fprintf(stderr, "%s:\n%s\n", path.c_str(), failure->c_str());
      ++failures;
    }
    total.events += stats.events;
    total.delivered += stats.delivered;
    total.deepest = std::max(total.deepest, stats.deepest);
    total.click_in_tick_in_click += stats.click_in_tick_in_click;
    total.links_made += stats.links_made;
    total.structural_checks += stats.structural_checks;
  }
  std::printf(
      "replayed %zu inputs: %ld events, %ld more delivered at yields (nested up to %d deep, %ld clicks inside a tick "
      "inside a click), %ld links made, %ld checks of links and selection; %d failed\n",
      inputs.size(), total.events, total.delivered, total.deepest, total.click_in_tick_in_click, total.links_made,
      total.structural_checks, failures);
  return failures == 0 ? 0 : 1;
}
