// Playing from the keyboard through the windows: keys reach the game from
// every window that takes them, the cursor's ring, the function keys, and the
// playfield filling a full-screen window with clicks still landing right.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <set>
#include <QStyleHints>
#include <QTest>
#include <QWindow>
#include <cmath>

#include "game/keyboard.h"
#include "game/procedures.h"
#include "ui/key_ring.h"
#include "ui/keys.h"
#include "ui_test_support.h"

namespace brindlet::ui {
namespace {

// At full-screen sizes the image fills one side, keeps its shape and is
// centred; every image pixel keeps its first screen pixel (and no more
// than a ratio's worth), so clicks land on the pixel they are over.
TEST(FilledPlayfield, IsCentredAndClicksMapToItsPixels) {
  const QSize image(1026, 770);
  for (const QSize room : {QSize(1920, 1080), QSize(1600, 1000), QSize(2052, 1540), QSize(1280, 1024)}) {
    SCOPED_TRACE(testing::Message() << room.width() << " x " << room.height());
    const QRect area = FilledPlayfield(image, room);
    EXPECT_TRUE(area.width() == room.width() || area.height() == room.height());
    EXPECT_LE(std::abs(area.width() * image.height() - area.height() * image.width()), image.width());
    EXPECT_LE(std::abs(area.left() - (room.width() - area.right() - 1)), 1);
    EXPECT_LE(std::abs(area.top() - (room.height() - area.bottom() - 1)), 1);
    Playfield box(nullptr);
    box.SetBitmapSize(image);
    box.resize(area.size());
    for (int p = 0; p < image.width(); ++p) {
      const int first = static_cast<int>(std::ceil(box.FromBitmap({static_cast<double>(p), 0}).x()));
      ASSERT_EQ(box.ToBitmap({first, 0}).x(), p);
      if (p > 0) {
        ASSERT_EQ(box.ToBitmap({first - 1, 0}).x(), p - 1);
      }
    }
    const QPointF corner = box.FromBitmap({kCornerSize, kCornerSize});
    const QPoint last(static_cast<int>(std::ceil(corner.x())) - 1, static_cast<int>(std::ceil(corner.y())) - 1);
    EXPECT_EQ(box.ToBitmap(last), QPoint(15, 15));
    EXPECT_EQ(box.ToBitmap(last + QPoint(1, 1)), QPoint(16, 16));
  }
  EXPECT_EQ(FilledPlayfield(image, {2052, 1540}), QRect(0, 0, 2052, 1540)) << "twice the size: a whole ratio";
}

// The cursor's ring is centred on its peg's place on the screen and keeps
// about the same size in image pixels at every scale, however small.
TEST(KeyRing, SitsRoundItsPegAndScalesWithThePlayfield) {
  const QPointF peg(50.25, 30.75);
  int last = 0;
  for (const double scale : {0.25, 1.0, 2.0, 3.0}) {
    Playfield box(nullptr);
    box.SetBitmapSize({200, 100});
    box.resize(static_cast<int>(200 * scale), static_cast<int>(100 * scale));
    int radius = 0;
    const QRect ring = KeyRing::Place(box, peg, &radius);
    const QRegion shape = KeyRing::Shape(radius);
    const QPoint middle(KeyRing::Side(radius) / 2, KeyRing::Side(radius) / 2);
    EXPECT_TRUE(shape.contains(middle + QPoint(radius, 0)) && !shape.contains(middle)) << "the peg shows through";
    const QPointF centre = QPointF(box.contentsRect().topLeft()) + peg * scale;
    EXPECT_EQ(ring.center(), QPoint(static_cast<int>(centre.x()), static_cast<int>(centre.y()))) << scale;
    EXPECT_EQ(ring.size(), QSize(KeyRing::Side(radius), KeyRing::Side(radius)));
    EXPECT_TRUE(scale < 1 ? radius >= KeyRing::kSmallestRadius : std::abs(radius / scale - KeyRing::kRadius) < 0.5)
        << scale << ": " << radius;
    EXPECT_GE(radius, last);
    last = radius;
  }
  Playfield wide(nullptr);  // three screen pixels an image pixel across, two down
  wide.SetBitmapSize({100, 50});
  wide.resize(300, 100);
  EXPECT_EQ(wide.FromBitmap({10, 10}), QPointF(30, 20));
  EXPECT_EQ(wide.ToBitmap({32, 21}), QPoint(10, 10));
}

// Pegs for a link in the middle and a row along the bottom.
Board Prepared(const Board& started) {
  Board b = started;
  b.gState = GameState::Idle;
  for (int i = 1; i <= b.Total(); ++i) b.Pegs[i] = i <= 2 ? RestingPeg(200.0 * i, 200) : RestingPeg(10 + i * 10, 700);
  return b;
}

class Keys : public StartedProgram, public ::testing::WithParamInterface<PresenterKind> {
 protected:
  void SetUp() override {
    Start(GetParam());
    StopTimers();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    game().SetBoard(Prepared(board()));
  }
};
INSTANTIATE_TEST_SUITE_P(Ui, Keys, ::testing::Values(PresenterKind::X11, PresenterKind::Painted),
                         [](const auto& kind) { return kind.param == PresenterKind::X11 ? "X11" : "Painted"; });

// Keys reach the game from the main window and from whatever window of it
// the window system gives the focus; Tab and Space never work the debug
// panel's buttons. A held Space clicks once.
TEST_P(Keys, ReachTheGameFromEveryWindowThatTakesThem) {
  QTest::keyClick(window_.get(), Qt::Key_Tab);
  EXPECT_EQ(game().keyCursor().peg, 1);
  if (GetParam() == PresenterKind::X11) {
    QTest::keyClick(own(), Qt::Key_Tab);
  } else {
    QTest::mouseClick(&debug().shakeButton(), Qt::LeftButton);
    const QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == nullptr || !debug().isAncestorOf(focus)) << "a click leaves the focus off the panel";
    QTest::keyClick(window_.get(), Qt::Key_Tab);
  }
  EXPECT_EQ(game().keyCursor().peg, 2);
  QTest::keyClick(window_.get(), Qt::Key_Tab, Qt::ControlModifier);  // the window system's, not the game's
  QTest::keyClick(window_.get(), Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(game().keyCursor().peg, 2);
  QTest::keyClick(window_.get(), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(game().keyCursor().peg, 1);
  QTest::keyClick(window_.get(), Qt::Key_Down);
  EXPECT_EQ(board().Pegs[game().keyCursor().peg].Y, 700) << "down to the bottom row";
  QTest::keyClick(window_.get(), Qt::Key_Up);
  QTest::keyClick(window_.get(), Qt::Key_Right);
  EXPECT_EQ(game().keyCursor().peg, 2);
  QTest::keyClick(window_.get(), Qt::Key_Space);
  EXPECT_EQ(board().FirstPeg, 2);
  QTest::keyClick(window_.get(), Qt::Key_Escape);
  QKeyEvent held(QEvent::KeyPress, Qt::Key_Space, {}, QStringLiteral(" "), true);
  QCoreApplication::sendEvent(window_.get(), &held);
  EXPECT_EQ(board().gState, GameState::Idle) << "Escape cancelled; the held Space clicked nothing";
}

// The ring sits round its peg above the playfield, leaves the playfield's
// picture alone, hides when the mouse moves and comes back with a key.
TEST_P(Keys, TheCursorRingFollowsItsPegAndGivesWayToTheMouse) {
  game().MainTick();
  const QImage before = field().Image();
  QTest::keyClick(window_.get(), Qt::Key_Tab);
  QTest::keyClick(window_.get(), Qt::Key_Tab);
  ASSERT_TRUE(presenter().RingShown());
  const QRect ring = *presenter().RingArea();
  EXPECT_EQ(ring.center(), QPoint(1 + 400, 1 + 199)) << "round peg 2's dots, inside the border";
  EXPECT_EQ(field().Image(), before);
  const QImage drawn = KeyRing::Picture((ring.width() - 9) / 2);
  const int r = (ring.width() - 9) / 2;
  const QColor onRing = drawn.pixelColor(drawn.width() / 2 + r, drawn.height() / 2);
  EXPECT_TRUE(onRing.red() >= 240 && onRing.green() >= 200 && onRing.blue() <= 40) << onRing.name().toStdString();
  EXPECT_EQ(drawn.pixelColor(drawn.width() / 2 + r + 2, drawn.height() / 2), KeyRing::kOutline) << "outlined";
  Change([](Board& b) { b.Pegs[2].X = b.Pegs[2].TargetX = 500; });
  window_->ticks().SetEnabled(Timer::MainLoop, true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return presenter().RingArea()->center() == QPoint(501, 200); }, 2000))
      << "moved with the main tick";
  StopTimers();
  if (GetParam() == PresenterKind::X11) {
    QTest::mouseMove(own(), QPoint(700, 500));
  } else {
    QTest::mouseMove(&field(), QPoint(700, 500));
  }
  EXPECT_FALSE(presenter().RingShown());
  QTest::keyClick(window_.get(), Qt::Key_Left);
  EXPECT_TRUE(presenter().RingShown());
}

// F12 shows and hides the debug window without a click (the board stays as
// it was), also from the debug window; ? lists the keys; F11 fills the
// screen and gives the window back its size and place; maximised or
// dragged to another size the playfield fills the window in the same way.
TEST_P(Keys, FunctionKeys) {
  const Board before = board();
  QTest::keyClick(window_.get(), Qt::Key_F12);
  EXPECT_FALSE(window_->IsVisible(Window::Debug));
  window_->Show(Window::Debug);
  QTest::keyClick(&debug().quitButton(), Qt::Key_F12);
  EXPECT_FALSE(window_->IsVisible(Window::Debug));
  EXPECT_TRUE(board() == before);
  QTest::keyClick(window_.get(), Qt::Key_Question, Qt::ShiftModifier);
  const auto* help = window_->findChild<QDialog*>(QStringLiteral("keyHelp"));
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());

  window_->Show(Window::Debug);
  const QRect normal = window_->geometry();
  const QSize image(1026, 770);
  QTest::keyClick(window_.get(), Qt::Key_F11);
  ASSERT_TRUE(QTest::qWaitFor([&] { return presenter().Filling(); }, 2000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return window_->size() == window_->screen()->geometry().size(); }, 2000));
  EXPECT_EQ(field().geometry(), FilledPlayfield(image, window_->size())) << "the panel hides in full screen";
  EXPECT_EQ(field().contentsRect(), field().rect()) << "no border";
  QTest::keyClick(window_.get(), Qt::Key_F11);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !presenter().Filling(); }, 2000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return window_->geometry() == normal; }, 2000));
  EXPECT_EQ(field().geometry(), QRect(0, 0, 1028, 772));
  EXPECT_TRUE(debug().isVisible());

  window_->showMaximized();
  ASSERT_TRUE(QTest::qWaitFor([&] { return presenter().Filling(); }, 2000));
  const int panel = GetParam() == PresenterKind::Painted ? kDebugClientSize.width() : 0;
  EXPECT_EQ(field().geometry(), FilledPlayfield(image, window_->size() - QSize(panel, 0)));
  window_->showNormal();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->size() == normal.size(); }, 2000));
  // As a window manager that moves and sizes a window it maximises before it says so.
  window_->setGeometry(QRect(normal.topLeft() + QPoint(40, 30), QSize(1500, 900)));
  window_->showMaximized();
  ASSERT_TRUE(QTest::qWaitFor([&] { return presenter().Filling(); }, 2000));
  window_->showNormal();
  EXPECT_TRUE(QTest::qWaitFor([&] { return window_->geometry() == normal; }, 2000)) << "back where it stood";
  window_->resize(1600, 900);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->size() == QSize(1600, 900); }, 2000));
  EXPECT_EQ(field().geometry(), FilledPlayfield(image, QSize(1600 - panel, 900)));
  QTest::keyClick(window_.get(), Qt::Key_Tab);  // the ring on peg 1, which follows the next layout
  window_->resize(1200, 800);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->size() == QSize(1200, 800); }, 2000));
  const QPointF at = field().FromBitmap({board().Pegs[1].X, board().Pegs[1].Y - 1});
  ASSERT_TRUE(presenter().RingShown());
  EXPECT_LE((presenter().RingArea()->center() - field().contentsRect().topLeft() - at.toPoint()).manhattanLength(), 2);
  const QPoint place = field().mapTo(window_.get(), presenter().RingArea()->topLeft());
  bool drawn = false;  // the ring's widget or window stands there
  for (const QWidget* w : field().findChildren<QWidget*>()) drawn |= w->isVisible() && w->mapTo(window_.get(), QPoint()) == place;
  for (const QWindow* w : window_->windowHandle()->findChildren<QWindow*>()) drawn |= w->isVisible() && w->position() == place;
  EXPECT_TRUE(drawn);
}

// S switches the look and remembers it in the user's configuration; F1's
// list is a table: the keys in one column, what they do in the next, each
// column's texts starting at one place and none of them cut.
TEST_P(Keys, TheLookKeyAndTheListOfKeys) {
  const QString file = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/brindlet/brindlet.conf");
  const auto stored = [&] {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  };
  for (const auto& [look, word] : {std::pair{Look::Shapes, "look=shapes"}, std::pair{Look::Colours, "look=colours"}}) {
    QTest::keyClick(window_.get(), Qt::Key_S);
    EXPECT_EQ(game().look(), look);
    EXPECT_TRUE(stored().contains(QLatin1String(word))) << stored().toStdString();
  }
  QKeyEvent held(QEvent::KeyPress, Qt::Key_S, {}, QStringLiteral("s"), true);
  QCoreApplication::sendEvent(window_.get(), &held);
  EXPECT_EQ(game().look(), Look::Colours) << "a held S switches once";
  QTest::keyClick(window_.get(), Qt::Key_F1);
  auto* help = window_->findChild<QDialog*>(QStringLiteral("keyHelp"));
  ASSERT_NE(help, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
  const QList<QLabel*> labels = help->findChildren<QLabel*>();
  ASSERT_EQ(labels.size(), 2 * static_cast<qsizetype>(KeyRows().size()));
  int keysRight = 0;
  std::set<int> columns, rows;
  for (const QLabel* label : labels) {
    rows.insert(label->y());
    EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString() << " is cut";
    const bool isKeys = std::any_of(KeyRows().begin(), KeyRows().end(),
                                    [&](const KeyRow& r) { return label->text() == QString::fromUtf8(r.keys); });
    if (isKeys) keysRight = std::max(keysRight, label->x() + label->fontMetrics().horizontalAdvance(label->text()));
    columns.insert(label->x());
  }
  ASSERT_EQ(columns.size(), 2u) << "two columns";
  EXPECT_EQ(rows.size(), KeyRows().size()) << "a row a key";
  EXPECT_GT(*columns.rbegin() - keysRight, 8) << "the second column stands clear of the longest keys";
}

// The debug panel inside the main window: shown, it stands right of the
// playfield and the window is that much wider; hidden, the window gives the
// room back. A window the compositor keeps at its size shrinks the
// playfield instead.
TEST(DebugPanel, WidensTheWindowOrShrinksThePlayfield) {
  DefaultRandom random;
  MainWindow window(random, PresenterKind::Painted);
  window.Load();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const Playfield& field = window.presenter().playfield();
  const DebugWindow& panel = window.presenter().debug();
  EXPECT_EQ(panel.parentWidget(), &window);
  QTest::mouseClick(&window.presenter().playfield(), Qt::LeftButton, {}, QPoint(300, 200));
  EXPECT_NE(window.game().board().gState, GameState::Startup) << "a click on the attract display starts a game";
  EXPECT_EQ(window.size(), QSize(1028 + 371, 772));
  EXPECT_EQ(panel.geometry(), QRect(QPoint(1028, 0), kDebugClientSize));
  EXPECT_EQ(field.geometry(), QRect(0, 0, 1028, 772));
  window.Hide(Window::Debug);
  EXPECT_FALSE(panel.isVisible());
  EXPECT_EQ(window.size(), QSize(1028, 772));
  window.resize(1200, 800);  // as a tiling compositor sizes it
  window.Show(Window::Debug);
  EXPECT_EQ(window.size(), QSize(1200, 800));
  EXPECT_EQ(panel.geometry(), QRect(QPoint(1200 - 371, 0), kDebugClientSize));
  EXPECT_EQ(field.geometry(), FilledPlayfield({1026, 770}, {1200 - 371, 800}));
}

}  // namespace
}  // namespace brindlet::ui
