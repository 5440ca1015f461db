// An optional record of when each main tick starts, for measuring how evenly
// the running program ticks. It is off unless the environment variable
// BRINDLET_TICK_LOG names a file. The file is opened when the log is made
// (a file that cannot be opened, or that is not a regular file, is reported
// then and the program plays on without a log). Each tick appends its time
// to a small fixed buffer, which goes to the file about once a second and
// when the log goes away, so a crash or a lost display loses at most the
// last second.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "startup/environment.h"

namespace brindlet::ui {

class TickLog {
 public:
  static constexpr const char* kVariable = "BRINDLET_TICK_LOG";
  // Marks are written at least this often while ticks come.
  static constexpr std::chrono::seconds kFlushInterval{1};

  // A log writing to the file BRINDLET_TICK_LOG names; nullptr when the
  // variable is unset or empty, or when the file can't be used. Then the
  // one line that says why goes to `problem`, or to stderr when that is null.
  static std::unique_ptr<TickLog> FromEnvironment(const startup::EnvLookup& env, std::string* problem = nullptr);
  // A log writing to `path` (made or emptied), or nullptr and the reason.
  static std::unique_ptr<TickLog> Open(const std::string& path, std::string* problem);

  ~TickLog();
  TickLog(const TickLog&) = delete;
  TickLog& operator=(const TickLog&) = delete;

  // The start of a main tick, now. Allocates nothing.
  void Mark();
  std::size_t Count() const { return count_; }

  // Writes the marks not yet written, one line per tick: its start on the
  // steady clock, in nanoseconds. Returns false once writing has failed; the
  // first failure is reported on stderr and nothing more is logged.
  bool Flush();

 private:
  TickLog(int fd, std::string path);

  // A second's ticks at 25 ms with room to spare; a full buffer is written
  // at once.
  static constexpr std::size_t kPending = 128;
  // "-9223372036854775808\n" is the longest line.
  static constexpr std::size_t kLineMax = 21;

  int fd_;
  std::string path_;
  std::array<std::int64_t, kPending> pending_{};
  std::size_t pending_count_ = 0;
  std::size_t count_ = 0;
  std::chrono::steady_clock::time_point last_flush_;
  bool failed_ = false;
  std::array<char, kPending * kLineMax> text_{};
};

}  // namespace brindlet::ui
