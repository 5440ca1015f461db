// SIGTERM, SIGINT and SIGHUP: asking the program to quit as Quit! does.
#pragma once

#include <QObject>
#include <QSocketNotifier>

namespace brindlet::startup {

// The signals, caught from Install on. The first one asks the program to
// quit through the event loop: the watcher (made once Qt runs) emits
// Requested. A second one while the first is being handled ends the program
// at once, as the signal would by default.
class QuitSignals final : public QObject {
  Q_OBJECT

 public:
  // Before Qt starts; false when the signals could not be caught.
  static bool Install();
  explicit QuitSignals(QObject* parent = nullptr);

 signals:
  void Requested(int signal);

 private:
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace brindlet::startup
