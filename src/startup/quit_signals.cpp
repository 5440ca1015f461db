#include "startup/quit_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace brindlet::startup {
namespace {

int quit_pipe[2] = {-1, -1};
volatile std::sig_atomic_t quit_caught = 0;

void OnQuitSignal(int signal) {
  if (quit_caught != 0) {
    // Asked again while quitting: end now, as the signal does by default
    // (it is delivered once this handler returns).
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  quit_caught = signal;
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t written = ::write(quit_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

bool QuitSignals::Install() {
  if (quit_pipe[0] < 0 && ::pipe2(quit_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  bool ok = true;
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ok = ::sigaction(signal, &action, nullptr) == 0 && ok;
  return ok;
}

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
  if (quit_pipe[0] < 0) return;
  notifier_ = new QSocketNotifier(quit_pipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    unsigned char byte = 0;
    int last = 0;
    while (::read(quit_pipe[0], &byte, 1) == 1) last = byte;
    if (last != 0) emit Requested(last);
  });
}

}  // namespace brindlet::startup
