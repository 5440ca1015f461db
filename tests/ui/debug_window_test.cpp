// The debug window: its controls apart and their captions whole, where Tab
// takes the focus, the read-out, and what its buttons and the playfield's
// corner do.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QGuiApplication>
#include <QScrollBar>
#include <QStyleHints>
#include <QTest>

#include "ui_test_support.h"

namespace brindlet::ui {
namespace {

// A fixed tool window with its controls apart, every caption whole (the
// longest state too), opening at its design place.
TEST(DebugWindow, KeepsItsControlsApartAndCaptionsWholeAndOpensAtItsPlace) {
  DebugWindow w(nullptr);
  EXPECT_EQ(w.parentWidget(), nullptr);
  EXPECT_EQ(w.windowType(), Qt::Tool);
  EXPECT_EQ(w.minimumSize(), w.maximumSize());
  w.ShowState("State: Second Selected");
  ExpectControlsApartAndCaptionsFit(w);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(10, 28));
}

TEST(DebugWindow, TabGoesRoundTheReadOutAndTheButtonsInTheDesignedOrder) {
  DebugWindow w(nullptr);
  EXPECT_EQ(TabRound(w),
            std::vector<std::string>({"pegText", "moveButton", "shakeButton", "restartButton", "quitButton"}));
  // As a panel in another window none of them takes the focus.
  QWidget holder;
  const DebugWindow panel(&holder);
  for (const QWidget* part : panel.findChildren<QWidget*>()) EXPECT_EQ(part->focusPolicy(), Qt::NoFocus);
}

TEST(DebugWindow, PegReadOutShowsItsSevenLinesWhole) {
  const std::pair<QString, QString> shown[] = {{"a\r\nb\r", "a\nb"}, {"a\rb", "a\nb"}, {"a\r\n\r\nb\r", "a\n\nb"}};
  for (const auto& [stored, lines] : shown) EXPECT_EQ(PegTextBox::DisplayText(stored), lines) << stored.toStdString();

  DebugWindow w(nullptr);
  w.show();
  Peg peg;
  peg.Selected = peg.Master = true;
  peg.LinkTarget = -32768;
  peg.LinkEffectTimer = -123456.5;
  const std::string details = PegDetails(29.99, 32767, peg);  // the widest numbers
  w.ShowPegDetails(details);
  w.ShowState("State: Checking Link");
  EXPECT_EQ(w.stateLabel().text(), "State: Checking Link");
  PegTextBox* box = &w.pegText();
  EXPECT_EQ(box->toPlainText(), PegTextBox::DisplayText(QString::fromStdString(details)));
  EXPECT_EQ(box->document()->blockCount(), 7);
  // All seven lines fit: nothing to scroll, nothing wrapped or cut.
  EXPECT_EQ(box->document()->documentLayout()->documentSize().height(), 7) << "one line each";
  EXPECT_EQ(box->verticalScrollBar()->maximum(), 0);
  EXPECT_LE(7 * QFontMetrics(box->font()).lineSpacing(), box->viewport()->height());
  EXPECT_LE(QFontMetrics(box->font()).horizontalAdvance("Linkeffect Timer: -123457"), box->viewport()->width());
  EXPECT_GT(box->viewport()->x(), 0) << "the text clear of the box's edge";
  box->selectAll();
  w.ShowPegDetails(details);
  EXPECT_EQ(box->textCursor().selectedText().size(), box->toPlainText().size()) << "the same details keep a selection";
}

// ----- With the game ----------------------------------------------------------

class DebugWindowInGame : public StartedProgram {
 protected:
  void SetUp() override {
    StartedProgram::SetUp();
    StopTimers();
  }
};

// Each button runs its procedure and changes nothing else.
TEST_F(DebugWindowInGame, ButtonsRunTheirProcedures) {
  Change([](Board& b) {
    b.gState = GameState::SecondSelected;
    b.FirstPeg = 3;
    b.SecondPeg = 7;
    b.Pegs[3].Selected = b.Pegs[7].Selected = true;
    b.ShakeAmplitude = 3;
  });
  Board expected = board();
  const auto press = [&](const char* caption) {
    if (QAbstractButton* b = ButtonReading(debug(), caption)) QTest::mouseClick(b, Qt::LeftButton);
  };
  press("Shake!");
  expected.ShakeAmplitude = 50;
  EXPECT_TRUE(board() == expected) << "Shake!";
  press("Restart!");
  expected.gState = GameState::Init;  // the pegs are re-created one by one later
  expected.PegCount = 0;
  EXPECT_TRUE(board() == expected) << "Restart!";
  EXPECT_FALSE(window_->EndRequested());
  press("Move!");
  for (int i = 1; i <= expected.Total(); ++i) {  // every peg gets a new target in the playfield
    const Peg& after = board().Pegs[i];
    EXPECT_NE(after.TargetX, expected.Pegs[i].TargetX) << i;
    EXPECT_TRUE(after.TargetX >= 0.25 && after.TargetX < 1026.25 && after.TargetY >= 0.25 && after.TargetY < 770.25);
    expected.Pegs[i].TargetX = after.TargetX;
    expected.Pegs[i].TargetY = after.TargetY;
  }
  EXPECT_TRUE(board() == expected) << "Move!";
}

// The debug tick fills the read-out. A click in the playfield's corner hides
// the window, and the next one shows the same window at its place.
TEST_F(DebugWindowInGame, ReadOutAndTheCornerClick) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  Change([](Board& b) {
    for (int i = 1; i <= b.Total(); ++i) b.Pegs[i] = RestingPeg(900, 700);
    b.Pegs[42] = RestingPeg(100.01 + 12.7, 200.01);  // 12.7 pixels from the pointer
    b.Pegs[42].Selected = true;
    b.gState = GameState::Idle;
    b.MousePosX = 100;
    b.MousePosY = 200;
  });
  game().DebugTick();
  EXPECT_EQ(debug().stateLabel().text(), "State: Idle");
  EXPECT_EQ(debug().pegText().toPlainText(),
            "Nearest: 12\nNum: 42\nSelected? True\nLinked? False\nMaster? False\nLink Target: 0\nLinkeffect Timer: 0");

  Change([](Board& b) { b.MousePosX = b.MousePosY = 5; });  // the corner
  DebugWindow* const shown = &debug();
  QTest::mouseClick(own(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(shown->isVisible());
  QTest::qWait(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 50);
  QTest::mouseClick(own(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(&debug(), shown);
  EXPECT_TRUE(shown->isVisible());
  EXPECT_EQ(shown->frameGeometry().topLeft(), QPoint(10, 28));
  EXPECT_TRUE(shown->pegText().toPlainText().startsWith("Nearest: 12")) << "its contents kept";
}

TEST_F(DebugWindowInGame, DebugTimerRefreshesTheWindow) {
  Change([](Board& b) { b.gState = GameState::SecondSelected; });
  window_->ticks().SetEnabled(Timer::Debug, true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return debug().stateLabel().text() == "State: Second Selected"; }, 2000));
}

}  // namespace
}  // namespace brindlet::ui
