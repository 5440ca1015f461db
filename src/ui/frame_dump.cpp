#include "ui/frame_dump.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QImage>
#include <QTimer>
#include <cerrno>
#include <cstdio>

namespace brindlet::ui {
namespace {

int dump_pipe[2] = {-1, -1};

void OnDumpSignal(int /*signal*/) {
  const int saved = errno;
  const unsigned char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(dump_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

std::unique_ptr<FrameDump> FrameDump::FromEnvironment(const startup::EnvLookup& env, Ticks& ticks,
                                                      const Playfield& playfield) {
  const std::optional<std::string> path = env(kVariable);
  if (!path || path->empty()) return nullptr;
  if (dump_pipe[0] < 0 && ::pipe2(dump_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return nullptr;
  struct sigaction action {};
  action.sa_handler = OnDumpSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  if (::sigaction(SIGUSR1, &action, nullptr) != 0) return nullptr;
  return std::unique_ptr<FrameDump>(new FrameDump(*path, ticks, playfield));
}

FrameDump::FrameDump(std::string path, Ticks& ticks, const Playfield& playfield)
    : path_(std::move(path)), ticks_(&ticks), playfield_(&playfield) {
  notifier_ = new QSocketNotifier(dump_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    unsigned char byte = 0;
    while (::read(dump_pipe[0], &byte, 1) == 1) Toggle();
  });
}

FrameDump::~FrameDump() { ::signal(SIGUSR1, SIG_DFL); }

void FrameDump::Toggle() {
  frozen_ = !frozen_;
  ticks_->Hold(frozen_);
  if (frozen_) QTimer::singleShot(kWriteDelayMs, this, &FrameDump::Write);
}

void FrameDump::Write() {
  const std::string part = path_ + ".part";
  if (!playfield_->Image().save(QString::fromStdString(part), "PPM") || std::rename(part.c_str(), path_.c_str()) != 0) {
    std::fprintf(stderr, "brindlet: could not write the frame to %s.\n", path_.c_str());
  }
}

}  // namespace brindlet::ui
