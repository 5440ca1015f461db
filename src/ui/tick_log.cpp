#include "ui/tick_log.h"

#include <cstdio>

namespace brindlet::ui {

std::unique_ptr<TickLog> TickLog::FromEnvironment(const EnvLookup& env) {
  const std::optional<std::string> path = env(kVariable);
  if (!path || path->empty()) return nullptr;
  return std::make_unique<TickLog>(*path);
}

TickLog::TickLog(std::string path) : path_(std::move(path)) {
  // An hour of ticks at 25 ms, so that a measurement never reallocates.
  starts_.reserve(144000);
}

TickLog::~TickLog() {
  if (!Write()) std::fprintf(stderr, "brindlet: could not write the tick log to %s\n", path_.c_str());
}

bool TickLog::Write() const {
  std::FILE* file = std::fopen(path_.c_str(), "w");
  if (file == nullptr) return false;
  bool ok = true;
  for (const auto& start : starts_) {
    const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count();
    if (std::fprintf(file, "%lld\n", ns) < 0) ok = false;
  }
  return std::fclose(file) == 0 && ok;
}

}  // namespace brindlet::ui
