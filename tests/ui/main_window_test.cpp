// The main window: start-up and placement, the roles it plays for the game,
// what the playfield shows, how mouse events become clicks and where they
// land, the way the program ends, and what main() decides before Qt starts.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QStyleHints>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "render/scale.h"
#include "render/surface.h"
#include "ui/aux_windows.h"
#include "ui/painted_presenter.h"
#include "ui/x11_workspace.h"
#include "ui_test_support.h"

namespace brindlet::ui {
namespace {

using FrontEnd = StartedProgram;

// Rows of the picture as the game's arrays hold them (bottom-up, 24-bit)
// that differ from the 32-bit image `shown` (top line first) at `at`.
int DifferingRows(const QImage& shown, QPoint at, const PixelArray& frame) {
  int differing = 0;
  for (int row = 0; row < frame.Height(); ++row) {
    const auto* line = reinterpret_cast<const QRgb*>(shown.constScanLine(at.y() + frame.Height() - 1 - row)) + at.x();
    for (int x = 0; x < frame.Width(); ++x) {
      const std::uint8_t* bgr = frame.Row(row) + 3 * x;
      if (line[x] != qRgb(bgr[2], bgr[1], bgr[0])) {
        ++differing;
        break;
      }
    }
  }
  return differing;
}

// What the playfield's own window last handed the screen, top line first.
QImage OnScreen(QWindow* shown) {
  return shown->screen()->grabWindow(shown->winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// The tests of the pointer and of the small screen rely on the offscreen
// platform, where test_main adds that screen and the pointer goes anywhere
// at once; an X server keeps its pointer on its own screen.
bool OnOffscreenPlatform() { return QGuiApplication::platformName() == QLatin1String("offscreen"); }

// Puts the pointer at `global`. The offscreen platform moves its pointer
// without telling the playfield's own window, and Qt may still enter that
// window where the test's earlier mouse events left its pointer: once that
// has run, the window is told the pointer left, so that it is asked.
void PointerTo(QWindow* own, QPoint global) {
  QCursor::setPos(global);
  QCoreApplication::processEvents();
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(own, &leave);
}

TEST_F(FrontEnd, OpensBesideTheDebugWindowAtThePlayfieldsSize) {
  MainWindow& w = *window_;
  EXPECT_EQ(w.windowTitle(), "Brindlet!");
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.size(), QSize(1028, 772));
  // A one-pixel border round the 1026 x 770 background, shown 1:1.
  EXPECT_EQ(field().geometry(), QRect(0, 0, 1028, 772));
  EXPECT_EQ(field().contentsRect(), QRect(1, 1, 1026, 770));
  EXPECT_EQ(field().Image().size(), QSize(1026, 770));
  EXPECT_EQ(QSize(game().field().width, game().field().height), QSize(1026, 770));
  EXPECT_FALSE(w.IsVisible(Window::Controls)) << "nothing in the game opens the controls window";
  // Beside the debug window, which stays a tool window; the gap leaves room
  // for the debug window's frame, unknown until it opens.
  const QRect debugFrame = debug().frameGeometry();
  const QRect mainFrame = w.frameGeometry();
  EXPECT_TRUE(debug().isVisible());
  EXPECT_EQ(debug().windowType(), Qt::Tool);
  EXPECT_FALSE(mainFrame.intersects(debugFrame));
  EXPECT_LE(mainFrame.left() - debugFrame.right(), kGapToDebugWindow + 1);
  EXPECT_EQ(mainFrame.top(), debugFrame.top());
  EXPECT_TRUE(w.screen()->availableGeometry().contains(mainFrame));
}

TEST_F(FrontEnd, StartsThreeTimersAndSwitchesEachOnAndOff) {
  for (const Timer timer : kTimers) {
    EXPECT_EQ(window_->ticks().Enabled(timer), timer != Timer::Display) << "the display timer never runs";
    for (bool on : {false, true, true, false}) {
      window_->ticks().SetEnabled(timer, on);
      EXPECT_EQ(window_->ticks().Enabled(timer), on);
    }
  }
}

TEST_F(FrontEnd, ShowsHidesAndClosesEachWindow) {
  window_->Close(Window::Controls);
  EXPECT_FALSE(window_->IsVisible(Window::Controls)) << "no controls window is made to be closed";
  window_->Show(Window::Controls);
  QWidget* controls = QApplication::topLevelWidgets().value(0);
  for (QWidget* w : QApplication::topLevelWidgets()) if (qobject_cast<ControlsWindow*>(w) != nullptr) controls = w;
  ASSERT_NE(qobject_cast<ControlsWindow*>(controls), nullptr) << "made when first shown";
  const std::pair<Window, QWidget*> rows[] = {
      {Window::Main, window_.get()}, {Window::Debug, &debug()}, {Window::Controls, controls}};
  for (const auto& [role, widget] : rows) {
    SCOPED_TRACE(widget->objectName().toStdString());
    for (bool shown : {false, true}) {
      shown ? window_->Show(role) : window_->Hide(role);
      EXPECT_EQ(widget->isVisible(), shown);
      EXPECT_EQ(window_->IsVisible(role), shown);
    }
    window_->Close(role);
    EXPECT_FALSE(widget->isVisible());
  }
  EXPECT_FALSE(window_->EndRequested()) << "closing the main window as a role is not Die";
}

// ----- The end ------------------------------------------------------------------

// Quit! and closing the main window (as the window manager closes it,
// through the window) both run Die once: timers off, every window closed.
TEST_F(FrontEnd, QuitAndClosingTheMainWindowEndTheProgramOnce) {
  for (bool quit : {true, false}) {
    if (!quit) SetUp();  // a program afresh
    window_->Show(Window::Controls);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    if (quit) {
      if (QAbstractButton* b = ButtonReading(debug(), "Quit!")) QTest::mouseClick(b, Qt::LeftButton);
    } else {
      QCloseEvent close;
      QCoreApplication::sendEvent(window_->windowHandle(), &close);
      EXPECT_TRUE(close.isAccepted());
    }
    for (Timer t : kTimers) EXPECT_FALSE(window_->ticks().Enabled(t));
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(debug().isVisible());
    EXPECT_FALSE(window_->IsVisible(Window::Controls));
    EXPECT_TRUE(window_->EndRequested()) << (quit ? "Quit!" : "close");
  }
}

// Quit pressed while a tick lets events run: the event loop still ends, with
// status 0, once the tick is done.
TEST_F(FrontEnd, QuitFromInsideNestedEventProcessingEndsTheLoopWithStatusZero) {
  bool tickFinished = false;
  QTimer::singleShot(0, window_.get(), [&] {
    QTimer::singleShot(0, window_.get(), [&] { debug().quitButton().click(); });
    window_->LetEventsRun();
    EXPECT_TRUE(window_->EndRequested()) << "pressed inside the tick";
    tickFinished = true;
  });
  QTimer watchdog;
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  watchdog.start(5000);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_TRUE(tickFinished);
  EXPECT_TRUE(window_->EndRequested());
}

// ----- What the playfield shows -----------------------------------------------

// The program with each presenter: what its playfield puts on the screen is
// read back as the screen has it (the playfield's own window, or the main
// window's surface where the playfield paints), the client area only.
class EachPresenter : public StartedProgram, public ::testing::WithParamInterface<PresenterKind> {
 protected:
  void SetUp() override { Start(GetParam()); }
  QImage OnScreen() {
    if (GetParam() == PresenterKind::X11) return ui::OnScreen(own());
    QCoreApplication::processEvents();  // the paint asked for
    const QRect area = field().contentsRect().translated(field().pos());
    return ui::OnScreen(window_->windowHandle()).copy(area);
  }
};
INSTANTIATE_TEST_SUITE_P(Ui, EachPresenter, ::testing::Values(PresenterKind::X11, PresenterKind::Painted),
                         [](const auto& kind) { return kind.param == PresenterKind::X11 ? "X11" : "Painted"; });

// A ticking game: each composed frame is what the playfield's bitmap holds,
// and what it puts on the screen, pixel for pixel.
TEST_P(EachPresenter, ShowsEachComposedFrameExactly) {
  QTest::qWait(300);
  StopTimers();
  EXPECT_GT(board().EffectsCounter, 0) << "the effects timer ticked";
  EXPECT_EQ(debug().stateLabel().text(), "State: Startup") << "the debug timer ticked";
  game().MainTick();
  const PixelArray& frame = game().FrameImage();
  if (GetParam() == PresenterKind::X11) {
    EXPECT_TRUE(x11().BitmapInWindow()) << "shown 1:1, the bitmap is the window's backing store";
  }
  EXPECT_EQ(DifferingRows(field().Image(), {0, 0}, frame), 0);
  const QImage shown = OnScreen();
  ASSERT_EQ(shown.size(), QSize(1026, 770));
  EXPECT_EQ(DifferingRows(shown, {0, 0}, frame), 0);
  EXPECT_TRUE(std::any_of(frame.Bytes().begin(), frame.Bytes().end(), [](auto v) { return v != 0; }))
      << "the attract display draws pegs and the ring";
}

// A frame set on the playfield lands exactly, the right way up either way.
TEST_P(EachPresenter, AFrameSetOnThePlayfieldLandsExactly) {
  StopTimers();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get())) << "a picture set on a hidden surface is dropped";
  PixelArray frame(1026, 770);
  for (int row = 0; row < 770; ++row) {
    for (int b = 0; b < 1026 * 3; ++b) frame(b, row) = static_cast<std::uint8_t>(row * 7 + b * 13 + b / 3);
  }
  for (bool correctOrientation : {false, true}) {
    SetImageData2D(field(), *window_, 1026, 770, frame, correctOrientation);
    QImage shown = OnScreen();
    if (correctOrientation) shown = shown.mirrored();  // rows counted from the top: upside down on screen
    EXPECT_EQ(DifferingRows(shown, {0, 0}, frame), 0) << "correctOrientation " << correctOrientation;
  }
}

// Minimised, the ticks sleep: the game ticks on unseen, nothing is pushed
// to the playfield, and the pointer is not asked for (it rests where it was
// last seen). Shown again, the timers run as they were set meanwhile and the
// next frame is whole; hidden, the ticks sleep again.
TEST_P(EachPresenter, MinimisedTheTicksSleepAndTheFrameAfterIsWhole) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  Ticks& ticks = window_->ticks();
  const bool x11 = GetParam() == PresenterKind::X11;
  const QPoint elsewhere = field().mapToGlobal(QPoint(301, 51));
  if (x11) PointerTo(own(), field().mapToGlobal(QPoint(101, 51)));
  const CursorPoint seenAt = window_->PlayfieldCursor();
  EXPECT_TRUE(!ticks.Asleep() && field().Shown());
  window_->showMinimized();
  EXPECT_TRUE(ticks.Asleep() && !game().Seen() && ticks.WakeTimer().isActive());
  game().InitGame();
  const QImage before = field().Image();
  QCursor::setPos(elsewhere);
  EXPECT_EQ(window_->PlayfieldCursor().x, seenAt.x);
  const Board unseen = board();
  QTest::qWait(300);
  EXPECT_FALSE(board() == unseen) << "the game ticks on";
  EXPECT_EQ(field().Image(), before) << "nothing is pushed while minimised";
  ticks.SetEnabled(Timer::Debug, false);
  window_->showNormal();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  EXPECT_TRUE(!ticks.Asleep() && game().Seen() && !ticks.WakeTimer().isActive());
  EXPECT_TRUE(ticks.Enabled(Timer::MainLoop) && !ticks.Enabled(Timer::Debug));
  StopTimers();
  game().MainTick();
  EXPECT_EQ(DifferingRows(OnScreen(), {0, 0}, game().FrameImage()), 0);
  window_->hide();
  EXPECT_TRUE(QTest::qWaitFor([&] { return ticks.Asleep(); }, 1000));
}

// A playfield unseen and seen again inside a tick wakes the timers only once
// that tick is over, and then the ticks due meanwhile are caught up.
TEST_F(FrontEnd, TheTicksWakeOnlyBetweenTicks) {
  StopTimers();
  QWidget top;
  bool seen = true;
  int mainTicks = 0;
  Ticks* driver = nullptr;
  Ticks ticks(game(), [&] {
    if (++mainTicks != 1) return;
    seen = false;
    driver->Check();
    EXPECT_TRUE(driver->Asleep());
    QTest::qWait(250);  // wake-ups come and go
    EXPECT_EQ(mainTicks, 1) << "no tick runs inside another";
    seen = true;
    driver->Check();
    EXPECT_TRUE(driver->Asleep()) << "inside a timer's tick";
  });
  driver = &ticks;
  ticks.Watch(top, [&] { return seen; });
  ticks.SetEnabled(Timer::MainLoop, true);
  // The ticks due while asleep are caught up as that tick ends.
  ASSERT_TRUE(QTest::qWaitFor([&] { return mainTicks >= 1 + 8; }, 5000));
  EXPECT_TRUE(!ticks.Asleep() && ticks.Enabled(Timer::MainLoop));
}

// A window manager that leaves the windows of other workspaces mapped says
// where they are only in their desktop numbers.
TEST(X11Workspace, AWindowIsElsewhereOnlyOnAnotherKnownDesktop) {
  EXPECT_TRUE(OnOtherDesktop(1, 0) && !OnOtherDesktop(0, 0) && !OnOtherDesktop(kAllDesktops, 2) &&
              !OnOtherDesktop(std::nullopt, 0) && !OnOtherDesktop(1, std::nullopt));
}

// Scaled, the bitmap shows as sharp blocks at whole ratios and smoothly
// between them.
TEST(PaintedPlayfield, ScalesSharpAtWholeRatiosAndSmoothBetween) {
  PaintedPlayfield box(nullptr);
  box.SetBitmapSize({40, 30});
  for (int row = 0; row < 30; ++row) {
    for (int x = 0; x < 40; ++x) box.Line(row)[x] = (x + row) % 2 ? 0xff000000u : 0xffffffffu;
  }
  const QImage source = box.Image();
  box.resize(80, 60);
  const QImage doubled = box.grab().toImage();
  int wrong = 0;
  for (int y = 0; y < 60; ++y) for (int x = 0; x < 80; ++x) wrong += doubled.pixel(x, y) != source.pixel(x / 2, y / 2);
  EXPECT_EQ(wrong, 0);
  box.resize(60, 45);
  const QImage between = box.grab().toImage();
  int grey = 0;
  for (int y = 0; y < 45; ++y) for (int x = 0; x < 60; ++x) grey += qRed(between.pixel(x, y)) % 255 != 0;
  EXPECT_GT(grey, 60 * 45 / 4) << "smoothed";
  box.SetSingleBorder(true);  // inside its border
  box.resize(82, 62);
  const QImage bordered = box.grab().toImage();
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 80; ++x) wrong += bordered.pixel(x + 1, y + 1) != source.pixel(x / 2, y / 2);
  }
  EXPECT_EQ(wrong, 0);
  // Shown, a change reaches the screen pixels of its area as scaled.
  box.SetSingleBorder(false);
  box.resize(80, 60);
  box.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  QCoreApplication::processEvents();
  for (int row = 10; row < 14; ++row) std::fill_n(box.Line(29 - row) + 20, 4, 0xff00ff00u);
  const PixelRect changed{20, 10, 24, 14};
  box.Changed({&changed, 1});
  QCoreApplication::processEvents();
  const QImage shown = OnScreen(box.windowHandle());
  for (int y = 20; y < 28; ++y) for (int x = 40; x < 48; ++x) wrong += shown.pixel(x, y) != 0xff00ff00u;
  EXPECT_EQ(wrong, 0);
  box.hide();
  // On a screen of one and a half screen pixels a pixel, at 1:1 in its own
  // pixels, it is smoothed just the same.
  QScreen* fractional = nullptr;
  for (QScreen* s : QGuiApplication::screens()) fractional = s->devicePixelRatio() == 1.5 ? s : fractional;
  if (fractional == nullptr) GTEST_SKIP() << "needs test_main's screen of pixel ratio 1.5 (offscreen platform)";
  box.setScreen(fractional);
  box.SetSingleBorder(false);
  box.resize(40, 30);
  const QImage fine = box.grab().toImage();
  ASSERT_EQ(fine.size(), QSize(60, 45));
  grey = 0;
  for (int y = 0; y < 45; ++y) for (int x = 0; x < 60; ++x) grey += qRed(fine.pixel(x, y)) % 255 != 0;
  EXPECT_GT(grey, 60 * 45 / 4) << "smoothed";
}

// Between a window's logical pixels and its screen pixels at 2, 1.5 and
// 1.25 screen pixels a logical pixel: a rectangle of either kind maps to
// exactly the pixels of the other kind that it meets, by a plain reading of
// where each pixel lies (screen pixel x covers [x, x + 1) / ratio).
TEST(Playfield, MapsRectanglesToThePixelsOfTheOtherKindTheyMeet) {
  for (const double ratio : {2.0, 1.5, 1.25}) {
    for (const QRect logical : {QRect(0, 0, 40, 30), QRect(8, 8, 12, 8), QRect(5, 3, 1, 1), QRect(7, 11, 3, 5)}) {
      SCOPED_TRACE(testing::Message() << ratio << ": " << logical.x() << "," << logical.y() << " " << logical.width());
      const PixelRect device = ToDevice(logical, ratio);
      const QRect back = ToLogical(device, ratio);
      for (int at = 0; at < 100; ++at) {
        const auto meets = [&](double from, double to, int first, int end) { return to > first && from < end; };
        EXPECT_EQ(at >= device.left && at < device.right, meets(at / ratio, (at + 1) / ratio, logical.left(), logical.right() + 1));
        EXPECT_EQ(at >= device.top && at < device.bottom, meets(at / ratio, (at + 1) / ratio, logical.top(), logical.bottom() + 1));
        EXPECT_EQ(at >= back.left() && at <= back.right(), meets(at * ratio, (at + 1) * ratio, device.left, device.right));
        EXPECT_EQ(at >= back.top() && at <= back.bottom(), meets(at * ratio, (at + 1) * ratio, device.top, device.bottom));
      }
    }
  }
}

// ----- Fitting the screen ---------------------------------------------------------

// The bitmap moves out of the window's backing store and back as the
// playfield is resized, and keeps its picture where old and new overlap.
TEST_F(FrontEnd, SizesThePlayfieldToTheImage) {
  StopTimers();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  X11Playfield& field = x11();
  field.Line(field.Height() - 1)[7] = 0xff123456u;  // pixel (7, 0)
  for (const QSize image : {QSize(300, 200), QSize(0, 0), QSize(1026, 770)}) {
    window_->SizePlayfield(image.width(), image.height());
    EXPECT_EQ(field.Image().size(), image);
    EXPECT_EQ(field.BitmapInWindow(), !image.isEmpty());
    if (image.width() == 300) {
      EXPECT_EQ(field.Image().pixel(7, 0), 0xff123456u);
    }
    EXPECT_EQ(field.geometry(), QRect({0, 0}, image + QSize(2, 2)));
    EXPECT_EQ(window_->size(), image + QSize(2, 2));
  }
  // A bitmap cut and widened again holds another picture: the whole frame goes.
  game().MainTick();
  field.SetBitmapSize({300, 200});
  game().MainTick();
  field.SetBitmapSize({1026, 770});
  game().MainTick();
  EXPECT_EQ(DifferingRows(field.Image(), {0, 0}, game().FrameImage()), 0);
}

// On a screen too small for the picture the playfield is shown smaller, and a
// click lands on the peg under the pointer all the same.
TEST_F(FrontEnd, OnASmallScreenShowsThePlayfieldSmallerAndClicksHitPegs) {
  if (!OnOffscreenPlatform()) GTEST_SKIP() << "needs the offscreen platform's screens and pointer";
  StopTimers();
  const QList<QScreen*> screens = QGuiApplication::screens();
  const auto found =
      std::find_if(screens.begin(), screens.end(), [](QScreen* s) { return s->name() == "SmallScreen"; });
  ASSERT_NE(found, screens.end()) << "test_main sets up a second, small screen";
  QScreen* small = *found;
  debug().setScreen(small);
  window_->SizePlayfield(1026, 770);
  X11Playfield& field = x11();
  EXPECT_EQ(field.Image().size(), QSize(1026, 770));
  const QSize shown = field.contentsRect().size();
  EXPECT_LT(shown.height(), 770);
  EXPECT_LE(window_->frameGeometry().height(), small->availableGeometry().height());
  EXPECT_NEAR(shown.width() * 770.0 / 1026, shown.height(), 1.0) << "the same shape";

  Change([](Board& b) {
    b.gState = GameState::Idle;
    for (int i = 1; i <= b.Total(); ++i) b.Pegs[i] = RestingPeg(40.0 + (i % 10) * 97, 40.0 + (i / 10) * 68);
  });
  const Peg target = board().Pegs[57];
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  const QPoint client(static_cast<int>(target.X * shown.width() / 1026),
                      static_cast<int>(target.Y * shown.height() / 770));
  const QPoint pixel = field.ToBitmap(client);
  EXPECT_LE(std::abs(pixel.x() - target.X) + std::abs(pixel.y() - target.Y), 4.0);
  PointerTo(own(), field.mapToGlobal(field.contentsRect().topLeft() + client));
  game().MainTick();  // samples the pointer
  EXPECT_LE(std::abs(board().MousePosX - target.X) + std::abs(board().MousePosY - target.Y), 4.0) << "in image pixels";
  EXPECT_FALSE(field.BitmapInWindow()) << "scaled, the playfield keeps the bitmap and draws it into the window";
  QTest::mouseClick(own(), Qt::LeftButton, {}, client);
  EXPECT_EQ(board().gState, GameState::FirstSelected);
  EXPECT_EQ(board().FirstPeg, 57);
}

// What the playfield's window shows, at every scale and through hiding and
// showing it, resizing it and moving it to screens of other pixel ratios, is
// the frame scaled whole: pixel for pixel the frame repeated at whole ratios
// (as Qt's plain scaling repeats it), and elsewhere exactly what scaling the
// whole frame at once gives (so no tile edge shows), within a few steps a
// channel of Qt's smooth scaling on average.
TEST_F(FrontEnd, ShowsEveryFrameAsTheWholeFrameScaled) {
  if (!OnOffscreenPlatform()) GTEST_SKIP() << "needs the offscreen platform's screens";
  StopTimers();
  X11Playfield* field = &x11();
  const auto screen = [](const char* name) {
    for (QScreen* s : QGuiApplication::screens()) if (s->name() == QLatin1String(name)) return s;
    return static_cast<QScreen*>(nullptr);
  };
  const auto check = [&](const std::string& step) {
    for (int tick = 0; tick < 4; ++tick) {
      game().EffectsTick();
      game().MainTick();
    }
    ASSERT_EQ(DifferingRows(field->Image(), {0, 0}, game().FrameImage()), 0) << step;
    // Two areas side by side in one band, written and told outside a frame
    // (and put back after).
    std::vector<std::uint32_t> kept;
    for (int row = 40; row < 48; ++row) {
      std::uint32_t* line = field->Line(field->Height() - 1 - row) + 100;
      kept.insert(kept.end(), line, line + 40);
      std::fill_n(line, 40, 0xff3366ffu);
    }
    const PixelRect pair[] = {{100, 40, 120, 48}, {120, 40, 140, 48}};
    field->Changed(pair);
    const QImage frame = field->Image();
    const QImage shown = OnScreen(own());
    for (int row = 40; row < 48; ++row) {
      std::copy_n(kept.begin() + 40 * (row - 40), 40, field->Line(field->Height() - 1 - row) + 100);
    }
    field->Changed(pair);
    PictureScaler whole;
    whole.SetSizes(frame.width(), frame.height(), shown.width(), shown.height());
    QImage want(shown.size(), QImage::Format_RGB32);
    whole.Scale(reinterpret_cast<const std::uint32_t*>(frame.constBits()), frame.bytesPerLine() / 4,
                reinterpret_cast<std::uint32_t*>(want.bits()), want.bytesPerLine() / 4,
                {0, 0, shown.width(), shown.height()});
    EXPECT_EQ(shown, want) << step << ": " << shown.width() << " x " << shown.height();
    const QImage qt = frame.scaled(shown.size(), Qt::IgnoreAspectRatio,
                                   whole.Whole() ? Qt::FastTransformation : Qt::SmoothTransformation);
    if (whole.Whole()) {
      EXPECT_EQ(shown, qt) << step;
      return;
    }
    double difference = 0;
    for (int y = 0; y < shown.height(); ++y) {
      for (int x = 0; x < shown.width(); ++x) {
        const QRgb a = shown.pixel(x, y), b = qt.pixel(x, y);
        difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
      }
    }
    EXPECT_LT(difference / (3.0 * shown.width() * shown.height()), 2.0) << step << ": mean step a channel";
  };
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  check("1:1");
  window_->hide();
  game().MainTick();
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  check("hidden and shown again");
  window_->showMaximized();  // the bitmap leaves the window's store, which no longer fits it
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->presenter().Filling(); }, 2000));
  ASSERT_EQ(field->Image().size(), QSize(field->Width(), field->Height())) << "out of the store, before a new frame";
  check("maximised");
  window_->showNormal();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->presenter().Filling(); }, 2000));
  for (const char* name : {"HiDpiScreen", "FractionalScreen", "SmallScreen", "TestScreen"}) {
    QScreen* to = screen(name);
    ASSERT_NE(to, nullptr) << "test_main sets up " << name;
    debug().setScreen(to);
    window_->move(to->geometry().topLeft() + QPoint(40, 40));
    window_->windowHandle()->setScreen(to);
    window_->SizePlayfield(1026, 770);  // resized where it must shrink to fit
    QTest::qWait(20);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    ASSERT_EQ(field->devicePixelRatioF(), to->devicePixelRatio()) << name;
    check(name);
  }
}

// Over screens from a small laptop's to a large one's, with panels and with
// frames as estimated and as openbox draws them: both windows inside the
// available area, the corner never under the debug window, side by side
// apart and at no less than the smallest side-by-side scale, and the
// playfield as large as the arrangement allows.
TEST(MainWindowPlacement, PlansUsableWindowsAtTheLargestScale) {
  const QSize image(1026, 770);
  const struct {
    QSize debugFrame;
    QMargins decorations;
  } frames[] = {{{371, 563}, {8, 40, 8, 8}}, {{373, 536}, {1, 20, 1, 1}}};
  const QRect screens[] = {{0, 0, 1920, 1080}, {0, 0, 1280, 720}, {0, 32, 1280, 688}, {0, 0, 1024, 600},
                           {64, 0, 1216, 800}, {0, 0, 800, 600},   {0, 0, 768, 1366},  {0, 0, 1024, 768},
                           {0, 0, 2560, 1600}, {0, 0, 380, 900}};
  for (const auto& f : frames) {
    for (const QRect& available : screens) {
      SCOPED_TRACE(testing::Message() << available.width() << " x " << available.height() << " at " << available.y());
      const WindowPlan plan = PlanWindows(image, f.debugFrame, f.decorations, available);
      EXPECT_TRUE(Usable(plan, f.decorations, image, available));
      EXPECT_EQ(plan.main.size(), ShownPlayfield(image, plan.scale) + QSize(f.decorations.left() + f.decorations.right(),
                                                                            f.decorations.top() + f.decorations.bottom()));
      const bool overlapping = plan.arrangement == Arrangement::Overlapping;
      EXPECT_GE(plan.scale, overlapping ? kSmallestScale : kSmallestSideBySideScale);
      if (plan.scale < 1) {
        const bool reachesAnEdge = plan.main.right() == available.right() || plan.main.bottom() == available.bottom();
        EXPECT_TRUE(reachesAnEdge) << "a larger playfield would fit";
      }
      // Below only where beside, at the same scale, would not fit.
      if (plan.arrangement == Arrangement::Below) {
        const QPoint beside(plan.debug.right() + 1 + kGapToDebugWindow, plan.debug.top());
        EXPECT_FALSE(available.contains(QRect(beside, plan.main.size())));
      }
      if (!overlapping) {
        EXPECT_EQ(plan.debug.topLeft(), QPoint(std::max(10, available.left()), std::max(28, available.top())));
      } else {
        EXPECT_EQ(plan.debug.right(), available.right()) << "over the playfield, the debug window keeps right";
      }
      if (plan.scale == 1) {
        EXPECT_EQ(plan.arrangement, Arrangement::Beside) << "where both fit, as it always opened";
      }
    }
  }
  // 1:1 beside the debug window on a large screen, exactly as it always
  // opened; a 1280 x 720 screen keeps the two side by side, smaller.
  const WindowPlan large = PlanWindows(image, {371, 563}, {8, 40, 8, 8}, {0, 0, 1600, 1000});
  EXPECT_EQ(large.arrangement, Arrangement::Beside);
  EXPECT_EQ(large.scale, 1.0);
  EXPECT_EQ(large.main.topLeft(), QPoint(10 + 371 + kGapToDebugWindow, 28));
  EXPECT_EQ(PlanWindows(image, {373, 536}, {1, 20, 1, 1}, {0, 0, 1280, 720}).arrangement, Arrangement::Beside);
  EXPECT_EQ(PlanWindows(image, {373, 536}, {1, 20, 1, 1}, {0, 0, 768, 1366}).arrangement, Arrangement::Below);
  EXPECT_EQ(PlanWindows(image, {373, 536}, {1, 20, 1, 1}, {0, 0, 800, 600}).arrangement, Arrangement::Overlapping);
}

// A scale fitted to a room, or filling it, shows the image across the whole
// room on the side that limits it, to the pixel.
TEST(MainWindowPlacement, FittedAndFilledPlayfieldsMeetTheRoomsEdge) {
  const QSize image(1026, 770);
  for (int side = 100; side <= 1600; side += 7) {
    const QSize wide(3000, side), tall(side, 3000);
    EXPECT_EQ(ShownPlayfield(image, FitScale(image, wide)).height(), std::min(side, 772)) << side;
    EXPECT_EQ(ShownPlayfield(image, FitScale(image, tall)).width(), std::min(side, 1028)) << side;
    EXPECT_EQ(FilledPlayfield(image, wide).height(), side) << side;
    EXPECT_EQ(FilledPlayfield(image, tall).width(), side) << side;
  }
}

// Frame margins are read back from the frame and client rectangles; before
// the window manager has framed the window, it still leaves room for a
// frame. A plan stands while the windows as placed are usable and a fresh
// plan would not show the playfield larger.
TEST(MainWindowPlacement, ReadsFramesAndResettlesOnlyForABetterPlan) {
  const QRect client(100, 60, 500, 300);
  const QMargins margins(3, 25, 5, 7);
  EXPECT_EQ(FrameMargins(client.marginsAdded(margins), client), margins);
  const QMargins unframed = FrameMargins(client, client);
  EXPECT_GT(unframed.top(), 0);
  EXPECT_GT(unframed.left() + unframed.right(), 0);
  const QSize image(1026, 770);
  const QRect screen(0, 0, 1920, 1080);
  const WindowPlan plan = PlanWindows(image, {371, 563}, margins, screen);
  WindowPlan larger = plan, smaller = plan, offScreen = plan;
  larger.scale = plan.scale + 0.1;
  smaller.scale = plan.scale - 0.1;
  offScreen.main.moveLeft(screen.right() - 10);
  EXPECT_FALSE(Resettle(plan, plan, smaller, margins, image, screen));
  EXPECT_EQ(Resettle(plan, plan, larger, margins, image, screen)->scale, larger.scale);
  EXPECT_EQ(Resettle(plan, offScreen, smaller, margins, image, screen)->scale, smaller.scale);
}

// The corner that the plan keeps clear is where a click lands on image
// pixels below kCornerSize, at any scale.
TEST(MainWindowPlacement, ToggleCornerIsWhereClicksReachTheCornersPixels) {
  const QSize image(1026, 770);
  const QMargins decorations(1, 20, 1, 1);
  for (double scale : {1.0, 0.8548, 0.5, 0.3}) {
    Playfield box(nullptr);
    box.SetSingleBorder(true);
    box.SetBitmapSize(image);
    box.resize(ShownPlayfield(image, scale));
    const QRect frame(QPoint(100, 50), box.size() + QSize(2, 21));
    const QRect corner = ToggleCorner(frame, decorations, image);
    const QPoint field = frame.topLeft() + QPoint(2, 21);  // inside the frame and the one-pixel border
    EXPECT_EQ(corner.topLeft(), field);
    const QPoint inside = box.ToBitmap(corner.bottomRight() - field);
    const QPoint outside = box.ToBitmap(corner.bottomRight() + QPoint(1, 1) - field);
    EXPECT_LT(std::max(inside.x(), inside.y()), 16) << scale;
    EXPECT_GE(std::min(outside.x(), outside.y()), 16) << scale;
    const WindowPlan covered{Arrangement::Overlapping, scale, frame, QRect(corner.bottomRight(), QSize(300, 400))};
    EXPECT_FALSE(Usable(covered, decorations, image, {0, 0, 1920, 1080})) << "the debug window over the corner";
  }
}

// ----- The pointer and clicks ----------------------------------------------------

TEST_F(FrontEnd, CursorIsReadInPlayfieldPixels) {
  if (!OnOffscreenPlatform()) GTEST_SKIP() << "needs the offscreen platform's screens and pointer";
  StopTimers();
  for (const QPoint client : {QPoint(0, 0), QPoint(100, 50), QPoint(1025, 769), QPoint(-5, -7), QPoint(1300, 900)}) {
    PointerTo(own(), field().mapToGlobal(QPoint(1, 1) + client));
    const CursorPoint cursor = window_->PlayfieldCursor();
    EXPECT_EQ(QPoint(cursor.x, cursor.y), client);
    game().MainTick();
    EXPECT_EQ(QPoint(board().MousePosX, board().MousePosY), client);
  }
}

// Over the playfield the pointer's moves say where it is; once it leaves,
// or the window moves under it, the window system is asked again.
TEST_F(FrontEnd, CursorOverThePlayfieldComesFromItsMoves) {
  if (!OnOffscreenPlatform()) GTEST_SKIP() << "needs the offscreen platform's screens and pointer";
  StopTimers();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  QWindow* box = own();
  const auto cursor = [&] {
    const CursorPoint at = window_->PlayfieldCursor();
    return QPoint(at.x, at.y);
  };
  PointerTo(box, field().mapToGlobal(QPoint(1, 1) + QPoint(700, 600)));
  EXPECT_EQ(cursor(), QPoint(700, 600)) << "asked";
  QTest::mouseMove(box, QPoint(40, 30));
  EXPECT_EQ(cursor(), QPoint(40, 30)) << "told by the move, not asked";
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(box, &leave);
  EXPECT_EQ(cursor(), QPoint(700, 600));
  QTest::mouseMove(box, QPoint(41, 31));
  EXPECT_EQ(cursor(), QPoint(41, 31));
  window_->move(window_->pos() + QPoint(5, 0));
  EXPECT_TRUE(QTest::qWaitFor([&] { return cursor() == QPoint(695, 600); }, 2000)) << cursor().x();
}

const QPoint kAt(300, 200);  // in the playfield

// A double-click through the window runs the game's click and then its
// double-click: from the attract display on empty space, the first starts a
// game and the second, a miss, ends its set-up state.
TEST_P(EachPresenter, ADoubleClickRunsTheGamesClickAndDoubleClick) {
  StopTimers();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  Change([](Board& b) { b.MousePosX = b.MousePosY = -100; });
  const auto click = [&](Qt::MouseButton button, bool twice) {
    if (GetParam() == PresenterKind::X11) {
      twice ? QTest::mouseDClick(own(), button, {}, kAt) : QTest::mouseClick(own(), button, {}, kAt);
    } else {  // for a widget, QTest sends a double-click alone: the press and release as X11 gives them
      QTest::mouseClick(&field(), button, {}, kAt);
      if (twice) QTest::mouseDClick(&field(), button, {}, kAt), QTest::mouseRelease(&field(), button, {}, kAt);
    }
  };
  click(Qt::RightButton, false);
  EXPECT_EQ(board().gState, GameState::Startup) << "the right button clicks nothing";
  click(Qt::LeftButton, true);
  EXPECT_EQ(board().gState, GameState::Idle);
}

}  // namespace
}  // namespace brindlet::ui
