// The main window: start-up, the playfield surface, the cursor, clicks, the
// way the program ends, and the start-up decisions of main().
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCursor>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QGuiApplication>
#include <QStyleHints>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "game/game.h"
#include "ui/aux_windows.h"
#include "ui/display_env.h"
#include "ui/main_window.h"

namespace brindlet::ui {
namespace {

// A started program: the main window loaded, its timers running.
class FrontEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<MainWindow>(random_);
    window_->Load();
  }

  void StopTimers() {
    for (Timer t : {Timer::Display, Timer::MainLoop, Timer::Debug, Timer::Effects}) window_->TimerFor(t)->stop();
  }

  bool AnyTimerActive() const {
    for (Timer t : {Timer::Display, Timer::MainLoop, Timer::Debug, Timer::Effects}) {
      if (window_->TimerFor(t)->isActive()) return true;
    }
    return false;
  }

  // Where client pixel (x, y) of picOutput lies, in window coordinates.
  QPoint InWindow(int x, int y) const { return window_->picOutput()->mapTo(window_.get(), QPoint(1 + x, 1 + y)); }

  Game& game() { return window_->game(); }

  DefaultRandom random_;
  std::unique_ptr<MainWindow> window_;
};

// ----- Start-up ---------------------------------------------------------------

TEST_F(FrontEnd, OpensAtTheSizeOfThePlayfieldWithItsCaption) {
  MainWindow& w = *window_;
  EXPECT_EQ(w.objectName(), "frmMain");
  EXPECT_EQ(w.windowTitle(), "Brindlet!");
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.size(), QSize(1028, 772));
  EXPECT_EQ(w.minimumSize(), QSize(1028, 772));
  EXPECT_EQ(w.maximumSize(), QSize(1028, 772));

  // picOutput fills the window: a one-pixel border around a 1026 x 770
  // client area whose (0, 0) is the window's (1, 1).
  PictureBox* output = w.picOutput();
  EXPECT_EQ(output->objectName(), "picOutput");
  EXPECT_TRUE(output->isVisible());
  EXPECT_EQ(output->geometry(), QRect(0, 0, 1028, 772));
  EXPECT_EQ(output->contentsRect(), QRect(1, 1, 1026, 770));
  EXPECT_EQ(output->BitmapWidth(), 1026);
  EXPECT_EQ(output->BitmapHeight(), 770);

  PictureBox* background = w.PicBG();
  EXPECT_EQ(background->objectName(), "PicBG");
  EXPECT_TRUE(background->isHidden());
  EXPECT_EQ(background->BitmapWidth(), 1026);
  EXPECT_EQ(background->BitmapHeight(), 770);
  QImage black(1026, 770, QImage::Format_BGR888);
  black.fill(Qt::black);
  EXPECT_TRUE(background->Image() == black);

  EXPECT_EQ(game().ImageWidth, 1026);
  EXPECT_EQ(game().ImageHeight, 770);
  EXPECT_EQ(game().PegTotal, 100);
  EXPECT_EQ(game().gState, GameState::Startup);
  EXPECT_TRUE(w.frmDebug()->isVisible());
  EXPECT_EQ(w.frmControls(), nullptr) << "nothing in the game opens the controls window";
}

TEST_F(FrontEnd, StartsThreeTimersAndLeavesTheDisplayTimerOff) {
  struct Row {
    Timer timer;
    const char* name;
    int interval;
    bool active;
  };
  const Row rows[] = {
      {Timer::MainLoop, "tmrMainLoop", 25, true},
      {Timer::Effects, "tmrEffects", 20, true},
      {Timer::Debug, "tmrDebug", 100, true},
      {Timer::Display, "tmrDisplay", 25, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    QTimer* timer = window_->TimerFor(row.timer);
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->objectName(), row.name);
    EXPECT_EQ(timer->interval(), row.interval);
    EXPECT_EQ(timer->isActive(), row.active);
    EXPECT_EQ(timer->timerType(), Qt::PreciseTimer);
    EXPECT_FALSE(timer->isSingleShot());
  }
}

TEST_F(FrontEnd, OpensBesideTheDebugWindowWithoutCoveringIt) {
  const QRect debugFrame = window_->frmDebug()->frameGeometry();
  const QRect mainFrame = window_->frameGeometry();
  EXPECT_EQ(debugFrame.topLeft(), QPoint(10, 28));
  EXPECT_FALSE(mainFrame.intersects(debugFrame));
  EXPECT_GT(mainFrame.left(), debugFrame.right());
  EXPECT_LE(mainFrame.left() - debugFrame.right(), 2 * MainWindow::kGapToDebugWindow) << "a small gap";
  EXPECT_EQ(mainFrame.top(), debugFrame.top());
  EXPECT_TRUE(window_->screen()->availableGeometry().contains(mainFrame));
}

// The timers drive the game: frames reach the playfield and the debug window
// shows the state. What the playfield shows is exactly the composed frame.
TEST_F(FrontEnd, TicksPresentEachComposedFrameOnThePlayfield) {
  QTest::qWait(400);
  StopTimers();
  EXPECT_GT(game().EffectsCounter, 0);
  EXPECT_EQ(window_->frmDebug()->lblgState()->text(), "State: Startup");

  const QImage& shown = window_->picOutput()->Image();
  const PixelArray& frame = game().FrameImage;
  ASSERT_EQ(shown.size(), QSize(1026, 770));
  int differing = 0;
  bool drawn = false;
  for (int row = 0; row < 770; ++row) {
    const std::uint8_t* screenLine = shown.constScanLine(769 - row);  // array rows count from the bottom
    if (std::memcmp(screenLine, frame.Row(row), 1026 * 3) != 0) ++differing;
    for (int b = 0; b < 1026 * 3 && !drawn; ++b) drawn = screenLine[b] != 0;
  }
  EXPECT_EQ(differing, 0);
  EXPECT_TRUE(drawn) << "the attract display draws pegs and the glow ring";
}

TEST_F(FrontEnd, ReDrawPutsTheTopArrayRowAtTheTopOfThePlayfield) {
  StopTimers();
  PixelArray& frame = game().FrameImage;
  // Screen row t is array row 769 - t; bytes are blue, green, red.
  auto put = [&](int x, int t, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    frame(3 * x, 769 - t) = b;
    frame(3 * x + 1, 769 - t) = g;
    frame(3 * x + 2, 769 - t) = r;
  };
  put(0, 0, 200, 10, 20);
  put(1025, 769, 30, 40, 250);
  put(500, 100, 1, 2, 3);
  game().ReDraw();

  const QImage& shown = window_->picOutput()->Image();
  EXPECT_EQ(shown.pixelColor(0, 0), QColor(200, 10, 20));
  EXPECT_EQ(shown.pixelColor(1025, 769), QColor(30, 40, 250));
  EXPECT_EQ(shown.pixelColor(500, 100), QColor(1, 2, 3));

  // On the screen, inside the border.
  const QImage grabbed = window_->picOutput()->grab().toImage();
  EXPECT_EQ(grabbed.pixelColor(1, 1), QColor(200, 10, 20));
  EXPECT_EQ(grabbed.pixelColor(1026, 770), QColor(30, 40, 250));
  EXPECT_EQ(grabbed.pixelColor(501, 101), QColor(1, 2, 3));
}

// With a device pixel ratio of 2 every image pixel becomes a sharp 2 x 2
// block: a checkerboard of single pixels must not blur.
TEST_F(FrontEnd, PlayfieldScalesWholeWithoutSmoothing) {
  StopTimers();
  PictureBox* output = window_->picOutput();
  for (int row = 0; row < output->BitmapHeight(); ++row) {
    std::uint8_t* line = output->ScanLine(row);
    for (int x = 0; x < output->BitmapWidth(); ++x) {
      const std::uint8_t v = ((x + row) % 2 == 0) ? 255 : 0;
      line[3 * x] = v;
      line[3 * x + 1] = static_cast<std::uint8_t>(255 - v);
      line[3 * x + 2] = 0;
    }
  }
  const QImage& source = output->Image();
  QImage target(output->size() * 2, QImage::Format_RGB32);
  target.setDevicePixelRatio(2.0);
  target.fill(Qt::gray);
  {
    QPainter painter(&target);
    output->render(&painter);
  }
  int wrong = 0;
  for (int y = 300; y < 340; ++y) {
    for (int x = 400; x < 440; ++x) {
      const QColor want = source.pixelColor(x, y);
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
          if (target.pixelColor(2 * (1 + x) + dx, 2 * (1 + y) + dy) != want) ++wrong;
        }
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

// ----- The cursor -------------------------------------------------------------

TEST_F(FrontEnd, CursorIsReadInImagePixelsOfTheClientArea) {
  StopTimers();
  const WindowHandle handle = window_->platform().PicOutputHandle();
  EXPECT_NE(handle, 0);
  const QPoint clients[] = {{0, 0}, {100, 50}, {1025, 769}, {-5, -7}, {1300, 900}};
  for (const QPoint& client : clients) {
    SCOPED_TRACE(testing::Message() << "client " << client.x() << "," << client.y());
    const QPoint global = window_->picOutput()->mapToGlobal(QPoint(1, 1) + client);
    QCursor::setPos(global);
    ASSERT_EQ(QCursor::pos(), global);
    EXPECT_EQ(game().MouseX(handle), client.x());
    EXPECT_EQ(game().MouseY(handle), client.y());
    // Handle 0: screen coordinates.
    EXPECT_EQ(game().MouseX(0), global.x());
    EXPECT_EQ(game().MouseY(0), global.y());
    game().MainTick();
    EXPECT_EQ(game().MousePosX, client.x());
    EXPECT_EQ(game().MousePosY, client.y());
  }
}

// ----- Clicks -----------------------------------------------------------------

struct ClickCase {
  const char* name;
  std::function<void(MainWindow&, QPoint)> act;  // point in picOutput coordinates
  int clicks;
  int doubleClicks;
  friend void PrintTo(const ClickCase& c, std::ostream* os) { *os << c.name; }
};

class PlayfieldClicks : public FrontEnd, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(PlayfieldClicks, MapMouseEventsToClicksAndDoubleClicks) {
  StopTimers();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  game().MousePosX = -100;  // far from every peg: clicks miss
  game().MousePosY = -100;
  QSignalSpy clicks(window_->picOutput(), &PictureBox::Click);
  QSignalSpy doubleClicks(window_->picOutput(), &PictureBox::DblClick);
  GetParam().act(*window_, QPoint(300, 200));
  EXPECT_EQ(clicks.count(), GetParam().clicks);
  EXPECT_EQ(doubleClicks.count(), GetParam().doubleClicks);
}

QPoint ToWindow(MainWindow& w, QPoint p) { return w.picOutput()->mapTo(&w, p); }

INSTANTIATE_TEST_SUITE_P(
    MainWindow, PlayfieldClicks,
    ::testing::Values(
        ClickCase{"PressRelease",
                  [](MainWindow& w, QPoint p) {
                    QTest::mousePress(w.picOutput(), Qt::LeftButton, {}, p);
                    QTest::mouseRelease(w.picOutput(), Qt::LeftButton, {}, p);
                  },
                  1, 0},
        ClickCase{"ReleaseWithoutPress",
                  [](MainWindow& w, QPoint p) { QTest::mouseRelease(w.picOutput(), Qt::LeftButton, {}, p); }, 0,
                  0},
        ClickCase{"RightButton",
                  [](MainWindow& w, QPoint p) { QTest::mouseClick(w.picOutput(), Qt::RightButton, {}, p); }, 0, 0},
        ClickCase{"PressWithoutRelease",
                  [](MainWindow& w, QPoint p) { QTest::mousePress(w.picOutput(), Qt::LeftButton, {}, p); }, 0, 0},
        // A bare double-click event is only the second click, and the
        // release after it is no click.
        ClickCase{"DoubleClickEventThenRelease",
                  [](MainWindow& w, QPoint p) {
                    QTest::mouseDClick(w.picOutput(), Qt::LeftButton, {}, p);
                    QTest::mouseRelease(w.picOutput(), Qt::LeftButton, {}, p);
                  },
                  0, 1},
        // Through the window system: press, release, double-click, release.
        ClickCase{"RealDoubleClick",
                  [](MainWindow& w, QPoint p) {
                    QTest::mouseDClick(w.windowHandle(), Qt::LeftButton, {}, ToWindow(w, p));
                  },
                  1, 1},
        ClickCase{"RealClickThenDoubleClickThenClick",
                  [](MainWindow& w, QPoint p) {
                    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, ToWindow(w, p));
                    QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
                    QTest::mouseDClick(w.windowHandle(), Qt::LeftButton, {}, ToWindow(w, p));
                    QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
                    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, ToWindow(w, p));
                  },
                  3, 1}),
    [](const ::testing::TestParamInfo<ClickCase>& info) { return std::string(info.param.name); });

// Each click runs the game's click handler, the double-click runs it once
// more: from the attract display a double-click on empty space starts a game
// (first click) and then ends its set-up state (a miss).
TEST_F(FrontEnd, ClicksOnThePlayfieldRunTheGamesClickHandlers) {
  StopTimers();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  game().MousePosX = -100;
  game().MousePosY = -100;
  QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, {}, InWindow(300, 200));
  EXPECT_EQ(game().gState, GameState::Init);

  game().gState = GameState::Startup;
  QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
  QTest::mouseDClick(window_->windowHandle(), Qt::LeftButton, {}, InWindow(300, 200));
  EXPECT_EQ(game().gState, GameState::Idle);
}

// A double-click on a peg of the first peg's kind selects it as the second
// peg and confirms the link at once.
TEST_F(FrontEnd, DoubleClickOnASecondPegLinksThePair) {
  StopTimers();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  Game& g = game();
  for (int i = 1; i <= g.PegTotal; ++i) {
    Peg& peg = g.Pegs[i];
    peg.X = 600 + (i % 10) * 30;
    peg.Y = 400 + (i / 10) * 30;
    peg.Linked = kFalse;
    peg.Master = kFalse;
    peg.Selected = kFalse;
    peg.LinkTarget = 0;
  }
  g.Pegs[1].X = 100;
  g.Pegs[1].Y = 100;
  g.Pegs[1].Kind = 0;
  g.Pegs[2].X = 200;
  g.Pegs[2].Y = 100;
  g.Pegs[2].Kind = 0;
  g.gState = GameState::FirstSelected;
  g.FirstPeg = 1;
  g.Pegs[1].Selected = kTrue;
  g.MousePosX = 200;  // as the last main tick sampled it
  g.MousePosY = 100;

  QTest::mouseDClick(window_->windowHandle(), Qt::LeftButton, {}, InWindow(200, 100));

  EXPECT_EQ(g.gState, GameState::Idle);
  EXPECT_EQ(g.SecondPeg, 2);
  EXPECT_EQ(g.Pegs[1].Linked, kTrue);
  EXPECT_EQ(g.Pegs[1].Master, kTrue);
  EXPECT_EQ(g.Pegs[1].LinkTarget, 2);
  EXPECT_EQ(g.Pegs[2].Linked, kTrue);
  EXPECT_EQ(g.Pegs[2].Master, kFalse);
  EXPECT_EQ(g.Pegs[1].Selected, kFalse);
  EXPECT_EQ(g.Pegs[2].Selected, kFalse);
}

// ----- The end ------------------------------------------------------------------

TEST_F(FrontEnd, ClosingTheMainWindowEndsTheProgramAsQuitDoes) {
  ControlsWindow& controls = window_->EnsureControlsWindow();
  controls.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));

  // As the window manager closes it: through the window, not the widget.
  QCloseEvent close;
  QCoreApplication::sendEvent(window_->windowHandle(), &close);

  EXPECT_TRUE(close.isAccepted());
  EXPECT_FALSE(AnyTimerActive());
  EXPECT_FALSE(window_->isVisible());
  EXPECT_FALSE(window_->frmDebug()->isVisible());
  EXPECT_FALSE(controls.isVisible());
  EXPECT_EQ(window_->EndRequests(), 1) << "Die runs once";
}

TEST_F(FrontEnd, QuitButtonStopsTimersClosesWindowsAndEndsOnce) {
  ControlsWindow& controls = window_->EnsureControlsWindow();
  controls.show();
  QTest::mouseClick(window_->frmDebug()->cmdQuit(), Qt::LeftButton);
  EXPECT_FALSE(AnyTimerActive());
  EXPECT_FALSE(window_->isVisible());
  EXPECT_FALSE(window_->frmDebug()->isVisible());
  EXPECT_FALSE(controls.isVisible());
  EXPECT_EQ(window_->EndRequests(), 1) << "closing the main window from Die does not run Die again";
}

TEST_F(FrontEnd, DieWithoutAControlsWindowMakesNone) {
  game().Die();
  EXPECT_EQ(window_->frmControls(), nullptr);
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(window_->EndRequests(), 1);
}

// Quit pressed while a tick lets events run: the event loop still ends, with
// status 0, once the tick is done.
TEST_F(FrontEnd, QuitFromInsideNestedEventProcessingEndsTheLoopWithStatusZero) {
  bool tickFinished = false;
  QTimer::singleShot(0, window_.get(), [&] {
    QTimer::singleShot(0, window_.get(), [&] { window_->frmDebug()->cmdQuit()->click(); });
    QCoreApplication::processEvents();  // the game's yield point
    tickFinished = true;
  });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  watchdog.start(5000);

  const int status = QApplication::exec();

  EXPECT_EQ(status, 0);
  EXPECT_TRUE(tickFinished);
  EXPECT_EQ(window_->EndRequests(), 1);
  EXPECT_FALSE(AnyTimerActive());
  EXPECT_FALSE(window_->isVisible());
}

// ----- Placement ----------------------------------------------------------------

struct PlacementCase {
  const char* name;
  QRect available;
  bool beside;
  QPoint position;
  friend void PrintTo(const PlacementCase& c, std::ostream* os) { *os << c.name; }
};

class MainPlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(MainPlacementTest, BesideTheDebugWindowWhenThereIsRoomElseCentred) {
  const QRect debugFrame(10, 28, 375, 539);  // client 371 x 515 and its decorations
  const QSize mainFrame(1032, 796);
  const MainPlacement placement = PlaceMainWindow(debugFrame, mainFrame, GetParam().available);
  EXPECT_EQ(placement.beside, GetParam().beside);
  EXPECT_EQ(placement.position, GetParam().position);
  if (placement.beside) {
    EXPECT_FALSE(QRect(placement.position, mainFrame).intersects(debugFrame));
    EXPECT_TRUE(GetParam().available.contains(QRect(placement.position, mainFrame).topRight()));
  }
}

// Beside needs 10 + 375 + 16 + 1032 = 1433 pixels of width.
INSTANTIATE_TEST_SUITE_P(
    MainWindow, MainPlacementTest,
    ::testing::Values(PlacementCase{"Wide", QRect(0, 0, 1600, 1000), true, QPoint(401, 28)},
                      PlacementCase{"JustWideEnough", QRect(0, 0, 1433, 900), true, QPoint(401, 28)},
                      PlacementCase{"OnePixelShort", QRect(0, 0, 1432, 900), false, QPoint(200, 52)},
                      PlacementCase{"PanelOnTheLeft", QRect(60, 0, 1372, 900), false, QPoint(230, 52)},
                      PlacementCase{"SmallerThanTheWindow", QRect(0, 24, 1024, 744), false, QPoint(0, 24)}),
    [](const ::testing::TestParamInfo<PlacementCase>& info) { return std::string(info.param.name); });

// ----- What main() decides before Qt starts ---------------------------------------

using Env = std::map<std::string, std::string>;

EnvLookup LookupIn(const Env& env) {
  return [env](const char* name) -> std::optional<std::string> {
    const auto it = env.find(name);
    if (it == env.end()) return std::nullopt;
    return it->second;
  };
}

struct EnvCase {
  const char* name;
  Env env;
  bool display;
  const char* platform;
  friend void PrintTo(const EnvCase& c, std::ostream* os) { *os << c.name; }
};

class DisplayEnvironment : public ::testing::TestWithParam<EnvCase> {};

TEST_P(DisplayEnvironment, DecidesWhetherAndHowToOpenWindows) {
  EXPECT_EQ(HasGraphicalDisplay(LookupIn(GetParam().env)), GetParam().display);
  EXPECT_EQ(PreferredPlatform(LookupIn(GetParam().env)), GetParam().platform);
}

INSTANTIATE_TEST_SUITE_P(
    Main, DisplayEnvironment,
    ::testing::Values(
        EnvCase{"Nothing", {}, false, ""},
        EnvCase{"EmptyDisplay", {{"DISPLAY", ""}}, false, ""},
        EnvCase{"X", {{"DISPLAY", ":0"}}, true, ""},
        EnvCase{"WaylandOnly", {{"WAYLAND_DISPLAY", "wayland-0"}}, true, ""},
        EnvCase{"WaylandWithXWayland", {{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}, true, "xcb"},
        EnvCase{"WaylandAskedFor",
                {{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland"}},
                true,
                ""},
        EnvCase{"Offscreen", {{"QT_QPA_PLATFORM", "offscreen"}}, true, ""},
        EnvCase{"OffscreenWithOptions", {{"QT_QPA_PLATFORM", "offscreen:configfile=/tmp/x.json"}}, true, ""},
        EnvCase{"XAskedForWithoutDisplay", {{"QT_QPA_PLATFORM", "xcb"}}, false, ""},
        EnvCase{"WaylandAskedForWithoutDisplay", {{"QT_QPA_PLATFORM", "wayland"}, {"DISPLAY", ":0"}}, false, ""},
        EnvCase{"ListWithOneThatCanStart", {{"QT_QPA_PLATFORM", "wayland;xcb"}, {"DISPLAY", ":1"}}, true, ""},
        EnvCase{"ListWithNoneThatCanStart", {{"QT_QPA_PLATFORM", "wayland;xcb"}}, false, ""},
        EnvCase{"EmptyPlatformIsUnset", {{"QT_QPA_PLATFORM", ""}}, false, ""}),
    [](const ::testing::TestParamInfo<EnvCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brindlet::ui
