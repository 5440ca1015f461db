// Test main for the widget tests: one QApplication for all tests. Unless the
// caller chose another platform, they run offscreen (no display needed, also
// for --gtest_list_tests) at 96 dpi on a 1600 x 1000 screen, wide enough for
// the debug window and the main window side by side, beside which lie a
// second screen too small for the playfield and two HiDPI screens, one at
// twice and one at one and a half screen pixels per logical pixel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTemporaryFile>

namespace {

constexpr char kScreenConfig[] =
    R"({ "windowFrameMargins": true,
  "screens": [ { "name": "TestScreen", "x": 0, "y": 0, "width": 1600, "height": 1000,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 },
               { "name": "SmallScreen", "x": 1600, "y": 0, "width": 1024, "height": 600,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 },
               { "name": "HiDpiScreen", "x": 2624, "y": 0, "width": 1920, "height": 1080,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 2 },
               { "name": "FractionalScreen", "x": 4544, "y": 0, "width": 2560, "height": 1440,
                 "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1.5 } ] })";

// The offscreen platform cannot raise windows, shape them or pass on their
// size limits, and says so on every start-up of the main window, every
// keyboard cursor and every change to full screen; those lines are dropped,
// everything else passes through.
QtMessageHandler defaultHandler = nullptr;

void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  for (const char* unsupported : {"raise()", "setting window masks", "propagateSizeHints()"}) {
    if (message == QLatin1String("This plugin does not support ") + QLatin1String(unsupported)) return;
  }
  defaultHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // What the program remembers goes to a folder of this run's own.
  const QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

  QTemporaryFile screenConfig;  // must outlive the application's start
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (platform.isEmpty() || platform == "offscreen") {
    QByteArray choice = "offscreen";
    if (screenConfig.open() && screenConfig.write(kScreenConfig) > 0 && screenConfig.flush()) {
      choice += ":configfile=" + screenConfig.fileName().toLocal8Bit();
    }
    qputenv("QT_QPA_PLATFORM", choice);
  }

  defaultHandler = qInstallMessageHandler(FilterMessages);
  QApplication app(argc, argv);
  // Windows of one test are closed by the next; only the tests end the loop.
  QApplication::setQuitOnLastWindowClosed(false);
  return RUN_ALL_TESTS();
}
