// The debug window beside the playfield. It shows the game state and the
// details of the peg nearest the cursor, and carries the four buttons (move,
// shake, restart, quit). It owns no game state: the main window fills it and
// wires its buttons. A window of its own, or a panel inside the main window
// where the platform cannot place a second window (see presenter.h).
//
// The design names its parts frmDebug (the window), lblDebug (the title),
// Label1 (the credit), Shape1 (the rule), lblgState (the state), frmPegInfo
// and txtCurrentPeg (the peg read-out), Frame1 and Shape2 (the button panel
// and its backdrop), and cmdRNDPegs, cmdShakePegs, cmdRestart and cmdQuit
// (the buttons "Move!", "Shake!", "Restart!" and "Quit!").
#pragma once

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <string_view>

#include "game/platform.h"

namespace brindlet::ui {

// A flat rectangle: a fill and, where given, a one-pixel border.
class ShapeWidget final : public QWidget {
  Q_OBJECT

 public:
  ShapeWidget(QColor fill, QColor border, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor fill_;
  QColor border_;
};

// The peg read-out. It keeps exactly what the game set, line ends and all
// (CR LF between lines, a lone CR at the end), and shows one line per line
// of it.
class PegTextBox final : public QPlainTextEdit {
  Q_OBJECT

 public:
  static constexpr int kSideMargin = 4;

  explicit PegTextBox(QWidget* parent);
  void SetText(const QString& text);

  // The text as shown: CR LF and lone CR both end a line, and the last line's
  // end opens no empty line after it.
  static QString DisplayText(const QString& text);

 private:
  QString text_;
};

class DebugWindow final : public QWidget, public DebugView {
  Q_OBJECT

 public:
  static const QColor kBackground;

  // A window of its own (a tool window: small caption, no taskbar entry,
  // kept above the program's other windows) when `panelOf` is null;
  // otherwise a panel inside that window, whose controls never take the
  // keyboard focus (the keys stay the game's).
  explicit DebugWindow(QWidget* panelOf);

  QLabel& stateLabel() const { return *state_; }
  PegTextBox& pegText() const { return *peg_text_; }
  QPushButton& moveButton() const { return *move_; }
  QPushButton& shakeButton() const { return *shake_; }
  QPushButton& restartButton() const { return *restart_; }
  QPushButton& quitButton() const { return *quit_; }

  // --- DebugView ---
  void ShowState(std::string_view caption) override;
  void ShowPegDetails(std::string_view text) override;

 private:
  QLabel* state_ = nullptr;
  PegTextBox* peg_text_ = nullptr;
  QPushButton* move_ = nullptr;
  QPushButton* shake_ = nullptr;
  QPushButton* restart_ = nullptr;
  QPushButton* quit_ = nullptr;
};

}  // namespace brindlet::ui
