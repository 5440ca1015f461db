#include "ui/tick_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "startup/quoted.h"

namespace brindlet::ui {

std::unique_ptr<TickLog> TickLog::FromEnvironment(const startup::EnvLookup& env, std::string* problem) {
  const std::optional<std::string> path = env(kVariable);
  if (!path || path->empty()) return nullptr;
  std::string reason;
  std::unique_ptr<TickLog> log = Open(*path, &reason);
  if (!log) {
    if (problem != nullptr) {
      *problem = reason;
    } else {
      std::fprintf(stderr, "%s\n", reason.c_str());
    }
  }
  return log;
}

std::unique_ptr<TickLog> TickLog::Open(const std::string& path, std::string* problem) {
  const auto refuse = [&](const char* why) -> std::unique_ptr<TickLog> {
    if (problem != nullptr) {
      *problem = std::string("brindlet: no tick log: ") + kVariable + " names " + startup::Quoted(path) + ", " + why + ".";
    }
    return nullptr;
  };
  // Without blocking: opening a FIFO that nobody reads would wait forever
  // (with O_NONBLOCK it fails at once, and one that somebody reads is
  // refused below, as is anything else that is not a plain file).
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return refuse("which is not a regular file");
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) {
    const std::string why = std::string("which can't be opened for writing (") + std::strerror(errno) + ")";
    return refuse(why.c_str());
  }
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return refuse("which is not a regular file");
  }
  if (::ftruncate(fd, 0) != 0) {
    const std::string why = std::string("which can't be emptied (") + std::strerror(errno) + ")";
    ::close(fd);
    return refuse(why.c_str());
  }
  return std::unique_ptr<TickLog>(new TickLog(fd, path));
}

TickLog::TickLog(int fd, std::string path)
    : fd_(fd), path_(std::move(path)), last_flush_(std::chrono::steady_clock::now()) {}

TickLog::~TickLog() {
  Flush();
  ::close(fd_);
}

void TickLog::Mark() {
  const auto now = std::chrono::steady_clock::now();
  ++count_;
  if (failed_) return;
  pending_[pending_count_++] = std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count();
  if (pending_count_ == kPending || now - last_flush_ >= kFlushInterval) Flush();
}

bool TickLog::Flush() {
  last_flush_ = std::chrono::steady_clock::now();
  if (failed_) return false;
  char* out = text_.data();
  for (std::size_t i = 0; i < pending_count_; ++i) {
    out = std::to_chars(out, out + kLineMax - 1, pending_[i]).ptr;
    *out++ = '\n';
  }
  pending_count_ = 0;
  const char* from = text_.data();
  while (from < out) {
    const ssize_t written = ::write(fd_, from, static_cast<std::size_t>(out - from));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      std::fprintf(stderr, "brindlet: could not write the tick log to %s (%s); no more ticks are logged.\n",
                   startup::Quoted(path_).c_str(), written < 0 ? std::strerror(errno) : "nothing written");
      failed_ = true;
      return false;
    }
    from += written;
  }
  return true;
}

}  // namespace brindlet::ui
