// frmDebug: the developer's window beside the playfield. It shows the game
// state and the details of the peg nearest the cursor, and carries the four
// buttons (move, shake, restart, quit). It owns no game state: the main
// window fills it and wires its buttons.
#pragma once

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPoint>
#include <QPushButton>
#include <QSize>
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
  QColor FillColour() const { return fill_; }
  QColor BorderColour() const { return border_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor fill_;
  QColor border_;
};

// The peg read-out. Text() is exactly what the game set, line ends and all
// (CR LF between lines, a lone CR at the end); the box shows one line per
// line of it.
class PegTextBox final : public QPlainTextEdit {
  Q_OBJECT

 public:
  static constexpr int kSideMargin = 4;

  explicit PegTextBox(QWidget* parent);
  void SetText(const QString& text);
  QString Text() const { return text_; }

  // The text as shown: CR LF and lone CR both end a line, and the last line's
  // end opens no empty line after it.
  static QString DisplayText(const QString& text);

 private:
  QString text_;
};

class DebugWindow final : public QWidget, public DebugView {
  Q_OBJECT

 public:
  // Where the window's frame opens (unless the main window's plan moves it,
  // see PlanWindows), and the size of its client area.
  static constexpr QPoint kDesignPosition{10, 28};
  static constexpr QSize kClientSize{371, 515};
  static const QColor kBackground;

  DebugWindow();

  // A tool window (small caption, no taskbar entry; the window system keeps
  // it above the program's other windows), or an ordinary fixed-size window;
  // either way it stays where it is.
  void SetToolWindow(bool tool);

  QLabel* lblDebug() const { return lblDebug_; }
  QLabel* credit() const { return credit_; }
  ShapeWidget* rule() const { return rule_; }
  QLabel* lblgState() const { return lblgState_; }
  QFrame* frmPegInfo() const { return frmPegInfo_; }
  PegTextBox* txtCurrentPeg() const { return txtCurrentPeg_; }
  QFrame* buttonPanel() const { return buttonPanel_; }
  ShapeWidget* buttonBackdrop() const { return buttonBackdrop_; }
  QPushButton* cmdRNDPegs() const { return cmdRNDPegs_; }
  QPushButton* cmdShakePegs() const { return cmdShakePegs_; }
  QPushButton* cmdRestart() const { return cmdRestart_; }
  QPushButton* cmdQuit() const { return cmdQuit_; }

  // --- DebugView ---
  void ShowState(std::string_view caption) override;
  void ShowPegDetails(std::string_view text) override;

 private:
  QLabel* lblDebug_ = nullptr;
  QLabel* lblgState_ = nullptr;
  QFrame* frmPegInfo_ = nullptr;
  PegTextBox* txtCurrentPeg_ = nullptr;
  QFrame* buttonPanel_ = nullptr;
  ShapeWidget* buttonBackdrop_ = nullptr;
  QPushButton* cmdRNDPegs_ = nullptr;
  QPushButton* cmdShakePegs_ = nullptr;
  QPushButton* cmdRestart_ = nullptr;
  QPushButton* cmdQuit_ = nullptr;
  QLabel* credit_ = nullptr;
  ShapeWidget* rule_ = nullptr;
};

}  // namespace brindlet::ui
