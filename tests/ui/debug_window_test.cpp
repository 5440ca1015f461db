// The debug window: where its controls sit and how they look, where Tab takes
// the focus, the read-out, and what its buttons and the playfield's corner do.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFontInfo>
#include <QGuiApplication>
#include <QScrollBar>
#include <QStyleHints>
#include <QTest>

#include "ui_test_support.h"

namespace brindlet::ui {
namespace {

const QColor kWhite(255, 255, 255);
const QColor kLight(224, 224, 224);

template <typename T = QWidget>
T* Part(const QWidget& window, const char* name) {
  return window.findChild<T*>(QString::fromLatin1(name));
}

TEST(DebugWindow, LayoutAsDesigned) {
  DebugWindow w(nullptr);
  EXPECT_EQ(w.windowTitle(), "Debug");
  EXPECT_EQ(w.parentWidget(), nullptr);
  EXPECT_EQ(w.windowType(), Qt::Tool);
  EXPECT_EQ(w.minimumSize(), QSize(371, 515));
  EXPECT_EQ(w.maximumSize(), QSize(371, 515));
  ExpectPlaced(w, {{"title", "debugWindow", {16, 16, 145, 25}},
                   {"credit", "debugWindow", {160, 24, 169, 17}},
                   {"rule", "debugWindow", {16, 48, 337, 9}},
                   {"state", "debugWindow", {16, 64, 329, 25}},
                   {"pegPanel", "debugWindow", {16, 104, 337, 129}},
                   {"pegText", "pegPanel", {8, 8, 321, 113}},
                   {"buttonPanel", "debugWindow", {16, 248, 337, 249}},
                   {"buttonBackdrop", "buttonPanel", {8, 8, 321, 233}},
                   {"moveButton", "buttonPanel", {16, 16, 305, 49}},
                   {"shakeButton", "buttonPanel", {16, 72, 305, 49}},
                   {"restartButton", "buttonPanel", {16, 128, 305, 49}},
                   {"quitButton", "buttonPanel", {16, 184, 305, 49}}});
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  EXPECT_EQ(w.frameGeometry().topLeft(), QPoint(10, 28));
}

// Captions in the designed faces (or the monospace stand-in) and colours;
// every caption, the longest state line too, fits its control.
TEST(DebugWindow, CaptionsFontsAndColours) {
  DebugWindow w(nullptr);
  const struct {
    QWidget* widget;
    QString caption;
    const char* face;
    double points;
    bool bold;
    QColor text;
  } rows[] = {
      {Part(w, "title"), "Brindlet!", "Lucida Console", 15.75, false, kWhite},
      {&w.stateLabel(), "State: Second Selected", "Lucida Console", 15.75, false, kWhite},
      {Part(w, "credit"), "A peg-linking puzzle toy", "Consolas", 8.25, false, kLight},
      {&w.moveButton(), "Move!", "Consolas", 9.75, true, kWhite},
      {&w.shakeButton(), "Shake!", "Consolas", 9.75, true, kWhite},
      {&w.restartButton(), "Restart!", "Consolas", 9.75, true, kWhite},
      {&w.quitButton(), "Quit!", "Consolas", 9.75, true, QColor(0, 0, 0)},
  };
  EXPECT_EQ(w.stateLabel().text(), "gState");
  w.ShowState("State: Second Selected");
  for (const auto& r : rows) {
    SCOPED_TRACE(r.widget->objectName().toStdString());
    const auto* label = qobject_cast<QLabel*>(r.widget);
    const auto* button = qobject_cast<QPushButton*>(r.widget);
    EXPECT_EQ(label ? label->text() : button->text(), r.caption);
    EXPECT_EQ(r.widget->palette().color(label ? QPalette::WindowText : QPalette::ButtonText), r.text);
    EXPECT_TRUE(button || !label->autoFillBackground()) << "labels are transparent";
    const QFont font = r.widget->font();
    EXPECT_EQ(font.families().value(0), r.face);
    EXPECT_DOUBLE_EQ(font.pointSizeF(), r.points);
    EXPECT_EQ(font.bold(), r.bold);
    EXPECT_TRUE(QFontInfo(font).fixedPitch()) << "the face or its monospace stand-in";
    EXPECT_LE(QFontMetrics(font).horizontalAdvance(r.caption), r.widget->width());
    EXPECT_LE(QFontMetrics(font).height(), r.widget->height());
  }
}

// What the window shows, pixel by pixel, at points away from text.
TEST(DebugWindow, DrawsItsBackgroundsPanelsAndShapes) {
  DebugWindow w(nullptr);
  const QImage shot = w.grab().toImage();
  ASSERT_EQ(shot.size(), QSize(371, 515));
  const std::pair<QPoint, int> greys[] = {// window, rule, panels, text box, backdrop border and fill
                                          {{5, 5}, 64},     {{200, 505}, 64}, {{100, 52}, 192}, {{16, 48}, 192},
                                          {{18, 106}, 32},  {{320, 215}, 64}, {{18, 250}, 32},  {{350, 494}, 32},
                                          {{24, 300}, 224}, {{27, 300}, 128}, {{200, 318}, 128}};
  for (const auto& [at, grey] : greys)
    EXPECT_EQ(shot.pixelColor(at), QColor(grey, grey, grey)) << at.x() << "," << at.y();
  // The buttons in their colours: dark red, and grey.
  const QColor move = shot.pixelColor(w.moveButton().mapTo(&w, QPoint(20, 40)));
  EXPECT_GT(move.red(), move.green() + 20);
  EXPECT_EQ(move.green(), move.blue());
  const QColor quit = shot.pixelColor(w.quitButton().mapTo(&w, QPoint(20, 40)));
  EXPECT_TRUE(quit.red() == quit.green() && quit.green() == quit.blue());
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
  QTest::mouseClick(&debug().shakeButton(), Qt::LeftButton);
  expected.ShakeAmplitude = 50;
  EXPECT_TRUE(board() == expected) << "Shake!";
  QTest::mouseClick(&debug().restartButton(), Qt::LeftButton);
  expected.gState = GameState::Init;  // the pegs are re-created one by one later
  expected.PegCount = 0;
  EXPECT_TRUE(board() == expected) << "Restart!";
  QTest::mouseClick(&debug().moveButton(), Qt::LeftButton);
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
