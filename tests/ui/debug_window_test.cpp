// The debug window: its layout, looks and focus order, its buttons' actions
// on the game, the refresh, and showing and hiding it from the playfield.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QFontInfo>
#include <QFontMetrics>
#include <QScrollBar>
#include <QGuiApplication>
#include <QStyleHints>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "game/game.h"
#include "ui/main_window.h"

namespace brindlet::ui {
namespace {

// A started program with its timers stopped, so that each test decides when
// the game ticks.
class DebugWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_unique<MainWindow>(random_);
    window_->Load();
    for (Timer t : {Timer::Display, Timer::MainLoop, Timer::Debug, Timer::Effects}) window_->TimerFor(t)->stop();
  }

  DebugWindow& debug() { return *window_->frmDebug(); }
  Game& game() { return window_->game(); }

  template <typename T = QWidget>
  T* Control(const char* name) {
    T* widget = debug().findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  DefaultRandom random_;
  std::unique_ptr<MainWindow> window_;
};

// ----- The window ---------------------------------------------------------------

TEST_F(DebugWindowTest, IsAFixedSizeToolWindowAtItsDesignPosition) {
  DebugWindow& w = debug();
  EXPECT_EQ(w.objectName(), "frmDebug");
  EXPECT_EQ(w.windowTitle(), "Debug");
  EXPECT_TRUE(w.isVisible()) << "open from the start";
  EXPECT_TRUE(w.isWindow());
  EXPECT_EQ(w.parentWidget(), nullptr) << "no owner";
  EXPECT_EQ(w.windowType(), Qt::Tool);
  EXPECT_EQ(w.windowModality(), Qt::NonModal);
  EXPECT_EQ(w.size(), QSize(371, 515));
  EXPECT_EQ(w.minimumSize(), QSize(371, 515));
  EXPECT_EQ(w.maximumSize(), QSize(371, 515));
  EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(10, 28));
  EXPECT_EQ(w.palette().color(QPalette::Window), QColor(64, 64, 64));
}

TEST_F(DebugWindowTest, BecomesAnOrdinaryWindowAndBackAtTheSamePlace) {
  DebugWindow& w = debug();
  w.SetToolWindow(false);
  EXPECT_EQ(w.windowType(), Qt::Window);
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(10, 28));
  EXPECT_EQ(w.size(), QSize(371, 515));
  w.SetToolWindow(true);
  EXPECT_EQ(w.windowType(), Qt::Tool);
  EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(10, 28));
}

// ----- Controls -----------------------------------------------------------------

struct ControlCase {
  const char* name;
  const char* className;
  const char* parent;
  QRect geometry;
  friend void PrintTo(const ControlCase& c, std::ostream* os) { *os << c.name; }
};

class DebugControls : public DebugWindowTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(DebugControls, SitWhereTheyWereDesigned) {
  const ControlCase& c = GetParam();
  QWidget* widget = Control(c.name);
  ASSERT_NE(widget, nullptr);
  EXPECT_STREQ(widget->metaObject()->className(), c.className);
  ASSERT_NE(widget->parentWidget(), nullptr);
  EXPECT_EQ(widget->parentWidget()->objectName(), c.parent);
  EXPECT_EQ(widget->geometry(), c.geometry);
  EXPECT_TRUE(widget->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    DebugWindow, DebugControls,
    ::testing::Values(ControlCase{"lblDebug", "QLabel", "frmDebug", {16, 16, 145, 25}},
                      ControlCase{"Label1", "QLabel", "frmDebug", {160, 24, 169, 17}},
                      ControlCase{"Shape1", "brindlet::ui::ShapeWidget", "frmDebug", {16, 48, 337, 9}},
                      ControlCase{"lblgState", "QLabel", "frmDebug", {16, 64, 329, 25}},
                      ControlCase{"frmPegInfo", "QFrame", "frmDebug", {16, 104, 337, 129}},
                      ControlCase{"txtCurrentPeg", "brindlet::ui::PegTextBox", "frmPegInfo", {8, 8, 321, 113}},
                      ControlCase{"Frame1", "QFrame", "frmDebug", {16, 248, 337, 249}},
                      ControlCase{"Shape2", "brindlet::ui::ShapeWidget", "Frame1", {8, 8, 321, 233}},
                      ControlCase{"cmdRNDPegs", "QPushButton", "Frame1", {16, 16, 305, 49}},
                      ControlCase{"cmdShakePegs", "QPushButton", "Frame1", {16, 72, 305, 49}},
                      ControlCase{"cmdRestart", "QPushButton", "Frame1", {16, 128, 305, 49}},
                      ControlCase{"cmdQuit", "QPushButton", "Frame1", {16, 184, 305, 49}}),
    [](const ::testing::TestParamInfo<ControlCase>& info) { return std::string(info.param.name); });

struct TextCase {
  const char* name;
  const char* caption;  // nullptr: any one-line caption
  const char* family;   // as designed; DejaVu Sans Mono stands in for it
  double points;
  bool bold;
  QColor text;
  friend void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }
};

class DebugTexts : public DebugWindowTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(DebugTexts, ShowTheirCaptionsInTheirFontsAndFit) {
  const TextCase& c = GetParam();
  QWidget* widget = Control(c.name);
  ASSERT_NE(widget, nullptr);

  QString caption;
  QPalette::ColorRole role = QPalette::WindowText;
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    caption = label->text();
    EXPECT_FALSE(label->autoFillBackground()) << "labels are transparent";
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    caption = button->text();
    role = QPalette::ButtonText;
  }
  if (c.caption != nullptr) {
    EXPECT_EQ(caption, c.caption);
  } else {
    EXPECT_FALSE(caption.isEmpty());
    EXPECT_FALSE(caption.contains('\n'));
  }
  EXPECT_EQ(widget->palette().color(role), c.text);

  const QFont font = widget->font();
  EXPECT_DOUBLE_EQ(font.pointSizeF(), c.points);
  EXPECT_EQ(font.bold(), c.bold);
  ASSERT_FALSE(font.families().isEmpty());
  EXPECT_EQ(font.families().first(), c.family) << "the designed face is asked for first";
  const QFontInfo used(font);
  EXPECT_TRUE(used.family() == c.family || used.family() == "DejaVu Sans Mono") << used.family().toStdString();
  EXPECT_TRUE(used.fixedPitch());

  const QFontMetrics metrics(font);
  EXPECT_LE(metrics.horizontalAdvance(caption), widget->width()) << "the caption fits across";
  EXPECT_LE(metrics.height(), widget->height()) << "the caption fits in height";
}

const QColor kWhite(255, 255, 255);
const QColor kLight(224, 224, 224);

INSTANTIATE_TEST_SUITE_P(
    DebugWindow, DebugTexts,
    ::testing::Values(TextCase{"lblDebug", "Brindlet!", "Lucida Console", 15.75, false, kWhite},
                      TextCase{"lblgState", "gState", "Lucida Console", 15.75, false, kWhite},
                      TextCase{"Label1", nullptr, "Consolas", 8.25, false, kLight},
                      TextCase{"cmdRNDPegs", "Move!", "Consolas", 9.75, true, kWhite},
                      TextCase{"cmdShakePegs", "Shake!", "Consolas", 9.75, true, kWhite},
                      TextCase{"cmdRestart", "Restart!", "Consolas", 9.75, true, kWhite},
                      TextCase{"cmdQuit", "Quit!", "Consolas", 9.75, true, QColor(0, 0, 0)}),
    [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

// The longest state caption fits the state line too.
TEST_F(DebugWindowTest, LongestStateCaptionFits) {
  QLabel* state = debug().lblgState();
  const QFontMetrics metrics(state->font());
  for (int s = 0; s <= 5; ++s) {
    const QString caption = QString::fromStdString(*StateCaption(static_cast<GameState>(s)));
    EXPECT_LE(metrics.horizontalAdvance(caption), state->width()) << caption.toStdString();
  }
}

// Button colours come from the palette (the style shades them); the
// panels, shapes and text box are checked on screen below.
TEST_F(DebugWindowTest, ButtonsHaveTheirColours) {
  const std::pair<const char*, QColor> rows[] = {{"cmdRNDPegs", QColor(64, 0, 0)},
                                                 {"cmdShakePegs", QColor(64, 0, 0)},
                                                 {"cmdRestart", QColor(64, 0, 0)},
                                                 {"cmdQuit", QColor(128, 128, 128)}};
  for (const auto& [name, colour] : rows) {
    QWidget* button = Control(name);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->palette().color(QPalette::Button), colour) << name;
  }
  EXPECT_EQ(debug().txtCurrentPeg()->palette().color(QPalette::Text), QColor(224, 224, 224));
  EXPECT_EQ(debug().buttonPanel()->property("caption").toString(), "Frame1");
}

// What the window actually shows, pixel by pixel, at points away from text.
TEST_F(DebugWindowTest, DrawsItsBackgroundsPanelsAndShapes) {
  const QImage shot = debug().grab().toImage();
  ASSERT_EQ(shot.size(), QSize(371, 515));
  struct Sample {
    const char* what;
    QPoint at;
    QColor colour;
  };
  const Sample samples[] = {
      {"window", {5, 5}, QColor(64, 64, 64)},
      {"window below the panels", {200, 505}, QColor(64, 64, 64)},
      {"separator bar", {100, 52}, QColor(192, 192, 192)},
      {"separator bar edge", {16, 48}, QColor(192, 192, 192)},
      {"peg panel", {18, 106}, QColor(32, 32, 32)},
      {"text box inside", {320, 215}, QColor(64, 64, 64)},
      {"button panel", {18, 250}, QColor(32, 32, 32)},
      {"button panel bottom", {350, 494}, QColor(32, 32, 32)},
      {"rectangle border", {24, 300}, QColor(224, 224, 224)},
      {"rectangle fill", {27, 300}, QColor(128, 128, 128)},
      {"rectangle fill between buttons", {200, 318}, QColor(128, 128, 128)},
  };
  for (const Sample& s : samples) {
    EXPECT_EQ(shot.pixelColor(s.at), s.colour) << s.what;
  }
  // The buttons are drawn in their colours: dark red and grey.
  const QColor move = shot.pixelColor(debug().cmdRNDPegs()->mapTo(&debug(), QPoint(20, 40)));
  EXPECT_GT(move.red(), move.green() + 20);
  EXPECT_EQ(move.green(), move.blue());
  const QColor quit = shot.pixelColor(debug().cmdQuit()->mapTo(&debug(), QPoint(20, 40)));
  EXPECT_EQ(quit.red(), quit.green());
  EXPECT_EQ(quit.green(), quit.blue());
}

TEST_F(DebugWindowTest, FocusOrderFollowsTheDesign) {
  const std::vector<std::string> design = {"lblDebug", "lblgState", "frmPegInfo", "txtCurrentPeg", "Frame1",
                                           "cmdRNDPegs", "cmdShakePegs", "cmdRestart", "cmdQuit", "Label1"};
  std::vector<std::string> chain;
  for (QWidget* w = debug().nextInFocusChain(); w != &debug(); w = w->nextInFocusChain()) {
    const std::string name = w->objectName().toStdString();
    if (std::find(design.begin(), design.end(), name) != design.end()) chain.push_back(name);
  }
  EXPECT_EQ(chain, design);

  // Of those, the keyboard reaches the text box and the buttons, in order.
  std::vector<std::string> tabbed;
  for (QWidget* w = debug().nextInFocusChain(); w != &debug(); w = w->nextInFocusChain()) {
    if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->isVisible()) tabbed.push_back(w->objectName().toStdString());
  }
  const std::vector<std::string> keys = {"txtCurrentPeg", "cmdRNDPegs", "cmdShakePegs", "cmdRestart", "cmdQuit"};
  EXPECT_EQ(tabbed, keys);
}

// ----- The peg read-out box -------------------------------------------------------

TEST(PegTextBoxDisplay, ShowsEveryStoredLineAsOneLine) {
  struct Row {
    QString stored;
    QString shown;
  };
  const Row rows[] = {
      {"", ""},
      {"Text1", "Text1"},
      {"a\r\nb\r", "a\nb"},
      {"a\r\nb\r\nc", "a\nb\nc"},
      {"a\rb\r", "a\nb"},
      {"a\r\n\r\nb\r", "a\n\nb"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(PegTextBox::DisplayText(row.stored), row.shown) << row.stored.toStdString();
  }
}

TEST_F(DebugWindowTest, TextBoxKeepsTheStoredTextAndShowsSevenLines) {
  Peg peg;
  peg.Selected = kTrue;
  peg.Master = kTrue;
  peg.LinkTarget = -32768;
  peg.LinkEffectTimer = -123456.5;
  const std::string details = PegDetails(29.99, 32767, peg);  // wide numbers
  window_->platform().SetDebugPegText(details);

  PegTextBox* box = debug().txtCurrentPeg();
  EXPECT_EQ(box->Text().toStdString(), details);
  EXPECT_EQ(box->document()->blockCount(), 7);
  EXPECT_FALSE(box->toPlainText().contains('\r'));
  EXPECT_TRUE(box->toPlainText().startsWith("Nearest: 29\nNum: 32767\n"));
  EXPECT_TRUE(box->toPlainText().endsWith("Linkeffect Timer: -123457"));

  // All seven lines fit the box: nothing to scroll, nothing wrapped.
  const QSizeF laidOut = box->document()->documentLayout()->documentSize();
  EXPECT_EQ(laidOut.height(), 7) << "seven lines, one each";
  EXPECT_EQ(box->verticalScrollBar()->maximum(), 0);
  qreal height = box->document()->documentMargin();
  for (QTextBlock block = box->document()->firstBlock(); block.isValid(); block = block.next()) {
    height += box->document()->documentLayout()->blockBoundingRect(block).height();
  }
  EXPECT_LE(height, box->viewport()->height());
  const QFontMetrics metrics(box->font());
  EXPECT_LE(metrics.horizontalAdvance("Linkeffect Timer: -123457"), box->viewport()->width());
}

// ----- Buttons ----------------------------------------------------------------------

struct Snapshot {
  GameState state;
  std::int16_t first;
  std::int16_t second;
  std::int16_t pegCount;
  std::vector<Peg> pegs;
};

Snapshot Take(Game& g) {
  Snapshot s{g.gState, g.FirstPeg, g.SecondPeg, g.PegCount, {}};
  for (int i = 1; i <= g.PegTotal; ++i) s.pegs.push_back(g.Pegs[i]);
  return s;
}

}  // namespace
}  // namespace brindlet::ui

namespace brindlet {
inline void PrintTo(GameState state, std::ostream* os) { *os << "gState " << static_cast<int>(state); }
}  // namespace brindlet

namespace brindlet::ui {
namespace {

class DebugButtons : public DebugWindowTest, public ::testing::WithParamInterface<GameState> {
 protected:
  // A game in the state under test with a selection in place.
  void Arrange() {
    Game& g = game();
    g.gState = GetParam();
    g.FirstPeg = 3;
    g.SecondPeg = 7;
    g.Pegs[3].Selected = kTrue;
    g.Pegs[7].Selected = kTrue;
    g.PegCount = 42;
  }
};

TEST_P(DebugButtons, MoveSendsEveryPegToANewTargetAndNothingElse) {
  Arrange();
  const Snapshot before = Take(game());
  QTest::mouseClick(debug().cmdRNDPegs(), Qt::LeftButton);
  const Snapshot after = Take(game());
  EXPECT_EQ(after.state, before.state);
  EXPECT_EQ(after.first, before.first);
  EXPECT_EQ(after.second, before.second);
  EXPECT_EQ(after.pegCount, before.pegCount);
  int moved = 0;
  for (std::size_t i = 0; i < before.pegs.size(); ++i) {
    Peg expected = before.pegs[i];
    expected.TargetX = after.pegs[i].TargetX;
    expected.TargetY = after.pegs[i].TargetY;
    EXPECT_EQ(after.pegs[i], expected) << "peg " << i + 1 << ": only the target changes";
    if (after.pegs[i].TargetX != before.pegs[i].TargetX) ++moved;
    EXPECT_GE(after.pegs[i].TargetX, 0.25);
    EXPECT_LT(after.pegs[i].TargetX, 1026.25);
  }
  EXPECT_EQ(moved, game().PegTotal);
}

TEST_P(DebugButtons, ShakeStartsAShakeAndNothingElse) {
  Arrange();
  game().ShakeAmplitude = 3.0;
  const Snapshot before = Take(game());
  QTest::mouseClick(debug().cmdShakePegs(), Qt::LeftButton);
  const Snapshot after = Take(game());
  EXPECT_EQ(game().ShakeAmplitude, 50.0);
  EXPECT_EQ(after.state, before.state);
  EXPECT_EQ(after.first, before.first);
  EXPECT_EQ(after.second, before.second);
  EXPECT_TRUE(after.pegs == before.pegs);
}

TEST_P(DebugButtons, RestartStartsANewGameKeepingTheSelection) {
  Arrange();
  const Snapshot before = Take(game());
  QTest::mouseClick(debug().cmdRestart(), Qt::LeftButton);
  const Snapshot after = Take(game());
  EXPECT_EQ(after.state, GameState::Init);
  EXPECT_EQ(after.pegCount, 0);
  EXPECT_EQ(after.first, before.first);
  EXPECT_EQ(after.second, before.second);
  EXPECT_TRUE(after.pegs == before.pegs) << "pegs are re-created one by one later";
}

INSTANTIATE_TEST_SUITE_P(DebugWindow, DebugButtons,
                         ::testing::Values(GameState::Startup, GameState::Init, GameState::Idle,
                                           GameState::FirstSelected, GameState::SecondSelected,
                                           GameState::CheckingLink),
                         [](const ::testing::TestParamInfo<GameState>& info) {
                           return "State" + std::to_string(static_cast<int>(info.param));
                         });

// ----- The refresh ------------------------------------------------------------------

struct RefreshCase {
  std::int16_t state;
  const char* caption;
  friend void PrintTo(const RefreshCase& c, std::ostream* os) { *os << "gState " << c.state; }
};

class DebugRefresh : public DebugWindowTest, public ::testing::WithParamInterface<RefreshCase> {};

TEST_P(DebugRefresh, ShowsTheStateInWords) {
  debug().ShowState("before");
  game().gState = static_cast<GameState>(GetParam().state);
  game().DebugTick();
  EXPECT_EQ(debug().lblgState()->text(), GetParam().caption);
}

INSTANTIATE_TEST_SUITE_P(DebugWindow, DebugRefresh,
                         ::testing::Values(RefreshCase{0, "State: Startup"}, RefreshCase{1, "State: Init"},
                                           RefreshCase{2, "State: Idle"}, RefreshCase{3, "State: First Selected"},
                                           RefreshCase{4, "State: Second Selected"},
                                           RefreshCase{5, "State: Checking Link"},
                                           RefreshCase{6, "before"},  // no caption for it: left as it was
                                           RefreshCase{-1, "before"}),
                         [](const ::testing::TestParamInfo<RefreshCase>& info) {
                           return "Value" + std::to_string(info.param.state + 1);
                         });

// Peg 42 alone near the cursor, every other peg far away.
void IsolatePeg42(Game& g, double x, double y) {
  for (int i = 1; i <= g.PegTotal; ++i) {
    g.Pegs[i].X = 900;
    g.Pegs[i].Y = 700;
  }
  Peg& peg = g.Pegs[42];
  peg.X = x;
  peg.Y = y;
  peg.Selected = kTrue;
  peg.Linked = kFalse;
  peg.Master = kFalse;
  peg.LinkTarget = 0;
  peg.LinkEffectTimer = 0.4;
}

TEST_F(DebugWindowTest, ShowsTheNearestPegWithin30Pixels) {
  Game& g = game();
  g.gState = GameState::Idle;
  g.MousePosX = 100;
  g.MousePosY = 200;
  IsolatePeg42(g, 100.01 + 12.7, 200.01);  // 12.7 px from the cursor point
  g.DebugTick();
  const std::string expected =
      "Nearest: 12\r\nNum: 42\r\nSelected? True\r\nLinked? False\r\nMaster? False\r\nLink Target: 0\r\n"
      "Linkeffect Timer: 0\r";
  EXPECT_EQ(debug().txtCurrentPeg()->Text().toStdString(), expected);
  EXPECT_EQ(debug().txtCurrentPeg()->toPlainText(),
            "Nearest: 12\nNum: 42\nSelected? True\nLinked? False\nMaster? False\nLink Target: 0\nLinkeffect Timer: 0");
  EXPECT_EQ(debug().lblgState()->text(), "State: Idle");

  // Exactly 30 px away: the box is emptied.
  IsolatePeg42(g, 100.01, 200.01 + 30.0);
  g.DebugTick();
  EXPECT_EQ(debug().txtCurrentPeg()->Text(), "");
  EXPECT_EQ(debug().txtCurrentPeg()->toPlainText(), "");
}

TEST_F(DebugWindowTest, HiddenWindowIsNotRefreshedAndShowsOldContentsAgain) {
  Game& g = game();
  g.gState = GameState::Idle;
  g.MousePosX = 100;
  g.MousePosY = 200;
  IsolatePeg42(g, 105, 200);
  g.DebugTick();
  const QString caption = debug().lblgState()->text();
  const QString text = debug().txtCurrentPeg()->Text();
  ASSERT_EQ(caption, "State: Idle");
  ASSERT_FALSE(text.isEmpty());

  g.ToggleDebugWindow();
  ASSERT_FALSE(debug().isVisible());
  g.gState = GameState::FirstSelected;
  g.MousePosX = 600;  // nowhere near a peg
  g.DebugTick();
  EXPECT_EQ(debug().lblgState()->text(), caption);
  EXPECT_EQ(debug().txtCurrentPeg()->Text(), text);

  g.ToggleDebugWindow();
  ASSERT_TRUE(debug().isVisible());
  EXPECT_EQ(debug().lblgState()->text(), caption) << "old contents until the next tick";
  g.DebugTick();
  EXPECT_EQ(debug().lblgState()->text(), "State: First Selected");
  EXPECT_EQ(debug().txtCurrentPeg()->Text(), "");
}

// The real timer refreshes the real window.
TEST_F(DebugWindowTest, DebugTimerRefreshesTheWindow) {
  game().gState = GameState::SecondSelected;
  window_->tmrDebug()->start();
  EXPECT_TRUE(QTest::qWaitFor([&] { return debug().lblgState()->text() == "State: Second Selected"; }, 2000));
  window_->tmrDebug()->stop();
}

// ----- Showing and hiding from the playfield -----------------------------------------

TEST_F(DebugWindowTest, CornerClickHidesAndShowsTheSameWindowWithItsContents) {
  Game& g = game();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  g.gState = GameState::Idle;
  g.MousePosX = 5;  // the corner; seeded pegs keep 50 px from the edges
  g.MousePosY = 5;
  g.DebugTick();
  debug().ShowPegDetails("kept\r\n");
  DebugWindow* const before = window_->frmDebug();

  QTest::mouseClick(window_->picOutput(), Qt::LeftButton, {}, QPoint(6, 6));
  EXPECT_FALSE(before->isVisible());
  EXPECT_EQ(g.gState, GameState::Idle);

  QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
  QTest::mouseClick(window_->picOutput(), Qt::LeftButton, {}, QPoint(6, 6));
  EXPECT_EQ(window_->frmDebug(), before);
  EXPECT_TRUE(before->isVisible());
  EXPECT_EQ(before->lblgState()->text(), "State: Idle");
  EXPECT_EQ(before->txtCurrentPeg()->Text(), "kept\r\n");
  EXPECT_EQ(before->frameGeometry().topLeft(), QPoint(10, 28));
}

}  // namespace
}  // namespace brindlet::ui
