// An optional record of when each main tick starts, for measuring how evenly
// the running program ticks. It is off unless the environment variable
// BRINDLET_TICK_LOG names a file. While on, each tick only appends a time to
// memory; the file is written once, when the log is destroyed at exit.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "ui/display_env.h"

namespace brindlet::ui {

class TickLog {
 public:
  static constexpr const char* kVariable = "BRINDLET_TICK_LOG";

  // A log writing to the file BRINDLET_TICK_LOG names, or nullptr when the
  // variable is unset or empty.
  static std::unique_ptr<TickLog> FromEnvironment(const EnvLookup& env);

  explicit TickLog(std::string path);
  ~TickLog();
  TickLog(const TickLog&) = delete;
  TickLog& operator=(const TickLog&) = delete;

  // The start of a main tick, now.
  void Mark() { starts_.push_back(std::chrono::steady_clock::now()); }
  std::size_t Count() const { return starts_.size(); }

  // Writes one line per tick: its start on the steady clock, in nanoseconds.
  // Returns false when the file can't be written.
  bool Write() const;

 private:
  std::string path_;
  std::vector<std::chrono::steady_clock::time_point> starts_;
};

}  // namespace brindlet::ui
