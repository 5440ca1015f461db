// Playing from the keyboard: which peg each key goes to, keys that do to the
// board exactly what the equivalent mouse clicks do, the cursor's ring, and
// the playfield filling a full-screen window with clicks still landing right.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QStyleHints>
#include <QTest>
#include <cmath>

#include "game/keyboard.h"
#include "game/procedures.h"
#include "ui_test_support.h"

namespace brindlet::ui {
namespace {

Board PegsAt(std::initializer_list<std::pair<double, double>> places) {
  Board b;
  for (const auto& [x, y] : places) b.Pegs[++b.PegTotal] = RestingPeg(x, y);
  return b;
}

TEST(KeyboardCursor, ArrowsGoToTheNearestPegWithinAQuarterTurnOfTheirDirection) {
  Board b = PegsAt({{100, 100}, {150, 110}, {130, 140}, {60, 100}, {100, 100}, {140, 60}});
  b.Pegs[7] = RestingPeg(120, 100);  // nearer than all, but not in play
  EXPECT_EQ(PegInDirection(b, 1, KeyDirection::Right), 2) << "nearer than 6, which lies on the cone's edge";
  EXPECT_EQ(PegInDirection(b, 1, KeyDirection::Down), 3) << "more down than right";
  EXPECT_EQ(PegInDirection(b, 1, KeyDirection::Left), 4);
  EXPECT_EQ(PegInDirection(b, 1, KeyDirection::Up), 6) << "on the edge between up and right: both";
  EXPECT_EQ(PegInDirection(b, 4, KeyDirection::Left), 4) << "nothing that way: the cursor stays";
  EXPECT_EQ(PegInDirection(b, 5, KeyDirection::Right), 2) << "peg 1 at the same place lies in no direction";
  EXPECT_EQ(PegInDirection(b, 0, KeyDirection::Right), 0);
  // A tie goes to the lower index, wherever the pegs are.
  for (const bool swapped : {false, true}) {
    const Board tie = PegsAt({{300, 300}, {swapped ? 270.0 : 330.0, 340}, {swapped ? 330.0 : 270.0, 340}});
    EXPECT_EQ(PegInDirection(tie, 1, KeyDirection::Down), 2);
  }
  EXPECT_EQ(PegNearestTo(b, 95, 98), 1) << "1 and 5 share a place: the lower index";
  EXPECT_EQ(PegNearestTo(Board{}, 95, 98), 0);
}

TEST(KeyboardCursor, TabStepsByIndexAndWrapsRound) {
  const Board b = PegsAt({{10, 10}, {20, 20}, {30, 30}});
  const struct { int from; bool backward; int to; } steps[] = {
      {1, false, 2}, {3, false, 1}, {1, true, 3}, {2, true, 1}, {0, false, 1}, {0, true, 3}, {4, false, 1}};
  for (const auto& s : steps) EXPECT_EQ(StepPeg(b, s.from, s.backward), s.to) << s.from << (s.backward ? " back" : "");
  EXPECT_EQ(StepPeg(Board{}, 0, false), 0);
}

TEST(KeyboardCursor, EmptySpaceIsFarthestFromEveryPegAndOutsideTheCorner) {
  const auto at = [](std::optional<EmptyPoint> p) { return p ? QPoint(p->x, p->y) : QPoint(-1, -1); };
  EXPECT_EQ(at(EmptySpace(Board{}, {200, 160})), QPoint(16, 8)) << "the first grid point outside the corner";
  EXPECT_EQ(at(EmptySpace(PegsAt({{100, 80}}), {200, 160})), QPoint(192, 8)) << "a far corner, not the top-left one";
  Board packed;
  for (int y = 4; y < 48; y += 8) {
    for (int x = 4; x < 64; x += 8) packed.Pegs[++packed.PegTotal] = RestingPeg(x, y);
  }
  EXPECT_FALSE(EmptySpace(packed, {64, 48})) << "no point clear of the pick radius";
}

// At full-screen sizes the image fills one side, keeps its shape and is
// centred; every image pixel keeps its first screen pixel (and no more
// than a ratio's worth), so clicks land on the pixel they are over.
TEST(KeyboardCursor, AFilledPlayfieldIsCentredAndClicksMapToItsPixels) {
  const QSize image(1026, 770);
  for (const QSize room : {QSize(1920, 1080), QSize(1600, 1000), QSize(2052, 1540), QSize(1280, 1024)}) {
    SCOPED_TRACE(testing::Message() << room.width() << " x " << room.height());
    const QRect area = FilledPlayfield(image, room);
    EXPECT_TRUE(area.width() == room.width() || area.height() == room.height());
    EXPECT_LE(std::abs(area.width() * image.height() - area.height() * image.width()), image.width());
    EXPECT_LE(std::abs(area.left() - (room.width() - area.right() - 1)), 1);
    EXPECT_LE(std::abs(area.top() - (room.height() - area.bottom() - 1)), 1);
    PictureBox box;
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

using Keys = StartedProgram;

// Four pegs for one link and one that crosses it, a peg in the debug
// window's corner and the rest in a row along the bottom.
Board Prepared(const Board& started) {
  Board b = started;
  b.gState = GameState::Idle;
  const std::pair<double, double> places[] = {{200, 200}, {400, 200}, {300, 60}, {300, 340}, {8, 8}};
  for (int i = 1; i <= b.Total(); ++i) b.Pegs[i] = i <= 5 ? RestingPeg(places[i - 1].first, places[i - 1].second)
                                                         : RestingPeg(10 + i * 10, 700);
  return b;
}

// Each step once with keys and once with the mouse, on the same board: the
// boards after them are equal, and the debug window too.
TEST_F(Keys, PlayTheGameExactlyAsTheEquivalentMouseClicks) {
  StopTimers();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  const Board start = Prepared(board());
  using K = Qt::Key;
  // Keys, and the image point a click goes to instead (-1: empty space).
  const std::vector<std::pair<std::vector<K>, int>> steps = {
      {{K::Key_Tab, K::Key_Space}, 1}, {{K::Key_Right, K::Key_Return}, 2}, {{K::Key_Escape}, -1},
      {{K::Key_Up, K::Key_Enter}, 3},  {{K::Key_Tab, K::Key_Space}, 4},    {{K::Key_Escape}, -1},
      {{K::Key_Tab, K::Key_Space}, 5}};
  std::vector<std::pair<Board, bool>> byMouse;
  game().SetBoard(start);
  for (const auto& [keys, peg] : steps) {
    const auto empty = EmptySpace(board(), game().field());
    ASSERT_TRUE(empty);
    const QPoint at = peg > 0 ? QPoint(static_cast<int>(board().Pegs[peg].X), static_cast<int>(board().Pegs[peg].Y))
                              : QPoint(empty->x, empty->y);
    QTest::mouseClick(window_->picOutput()->OwnWindow(), Qt::LeftButton, {}, at);
    QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 20);
    byMouse.emplace_back(board(), debug().isVisible());
  }
  debug().show();
  game().SetBoard(start);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    for (const K key : steps[i].first) QTest::keyClick(window_.get(), key);
    EXPECT_TRUE(board() == byMouse[i].first) << "step " << i;
    EXPECT_EQ(debug().isVisible(), byMouse[i].second) << "step " << i;
  }
  EXPECT_TRUE(board().Pegs[1].Linked && board().Pegs[1].LinkTarget == 2) << "the first link stands";
  EXPECT_FALSE(board().Pegs[3].Linked) << "the crossing link was refused";
  EXPECT_EQ(board().FirstPeg, 5);
  EXPECT_FALSE(debug().isVisible()) << "the peg in the corner is a click in the corner";
}

// The ring sits round its peg above the playfield, leaves the playfield's
// picture alone, hides when the mouse moves and comes back with a key.
TEST_F(Keys, TheCursorRingFollowsItsPegAndGivesWayToTheMouse) {
  StopTimers();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  game().SetBoard(Prepared(board()));
  game().MainTick();
  const QImage before = window_->picOutput()->Image();
  QTest::keyClick(window_->picOutput()->OwnWindow(), Qt::Key_Tab);  // keys reach the game from the playfield too
  QTest::keyClick(window_.get(), Qt::Key_Tab);
  ASSERT_NE(window_->keyCursor(), nullptr);
  EXPECT_EQ(window_->KeyCursorPeg(), 2);
  EXPECT_TRUE(window_->keyCursor()->Visible());
  EXPECT_EQ(window_->keyCursor()->Centre(), QPoint(400, 199));
  EXPECT_TRUE(window_->keyCursor()->InOwnWindow()) << "a window above the playfield's";
  EXPECT_EQ(window_->picOutput()->Image(), before);
  const QImage ring = window_->keyCursor()->Picture();
  const int r = window_->keyCursor()->Radius();
  const QColor onRing = ring.pixelColor(ring.width() / 2 + r, ring.height() / 2);
  EXPECT_TRUE(onRing.red() >= 240 && onRing.green() >= 200 && onRing.blue() <= 40) << onRing.name().toStdString();
  EXPECT_EQ(ring.pixelColor(ring.width() / 2 + r + 2, ring.height() / 2), KeyCursor::kOutline) << "outlined";
  Change([](Board& b) { b.Pegs[2].X = b.Pegs[2].TargetX = 500; });
  window_->SetEnabled(Timer::MainLoop, true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window_->keyCursor()->Centre() == QPoint(500, 199); }, 2000))
      << "moved with the main tick";
  StopTimers();
  QTest::mouseMove(window_->picOutput()->OwnWindow(), QPoint(700, 500));
  EXPECT_FALSE(window_->keyCursor()->Visible());
  QTest::keyClick(window_.get(), Qt::Key_Left);
  EXPECT_TRUE(window_->keyCursor()->Visible());
}

// F12 shows and hides the debug window without a click (the board stays as
// it was), also from the debug window; ? lists the keys; F11 fills the
// screen and gives the window back its fixed size and place.
TEST_F(Keys, FunctionKeys) {
  StopTimers();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  const Board before = board();
  QTest::keyClick(window_.get(), Qt::Key_F12);
  EXPECT_FALSE(debug().isVisible());
  debug().show();
  QTest::keyClick(debug().cmdQuit(), Qt::Key_F12);
  EXPECT_FALSE(debug().isVisible());
  EXPECT_TRUE(board() == before);
  QTest::keyClick(window_.get(), Qt::Key_Question, Qt::ShiftModifier);
  ASSERT_NE(window_->keyHelp(), nullptr);
  EXPECT_TRUE(window_->keyHelp()->isVisible());

  const QRect normal = window_->geometry();
  QTest::keyClick(window_.get(), Qt::Key_F11);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->Filling(); }, 2000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return window_->size() == window_->screen()->geometry().size(); }, 2000));
  EXPECT_EQ(window_->picOutput()->geometry(), FilledPlayfield({1026, 770}, window_->size()));
  EXPECT_EQ(window_->picOutput()->contentsRect(), window_->picOutput()->rect()) << "no border";
  QTest::keyClick(window_.get(), Qt::Key_F11);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->Filling(); }, 2000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return window_->geometry() == normal; }, 2000));
  EXPECT_EQ(window_->picOutput()->geometry(), QRect(0, 0, 1028, 772));

  // Maximised by the window manager, or dragged to another size, the
  // playfield fills the window in the same way.
  window_->showMaximized();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->Filling(); }, 2000));
  EXPECT_EQ(window_->picOutput()->geometry(), FilledPlayfield({1026, 770}, window_->size()));
  window_->showNormal();
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->size() == normal.size(); }, 2000));
  EXPECT_EQ(window_->picOutput()->geometry(), QRect(0, 0, 1028, 772));
  window_->resize(1600, 900);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->size() == QSize(1600, 900); }, 2000));
  EXPECT_EQ(window_->picOutput()->geometry(), FilledPlayfield({1026, 770}, {1600, 900}));
}

}  // namespace
}  // namespace brindlet::ui
