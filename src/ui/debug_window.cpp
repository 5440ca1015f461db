#include "ui/debug_window.h"

#include <QPainter>

#include "ui/window_plan.h"

namespace brindlet::ui {
namespace {

constexpr QColor kWhite{255, 255, 255};
constexpr QColor kLightText{224, 224, 224};
constexpr QColor kPanel{32, 32, 32};
constexpr QColor kButtonRed{64, 0, 0};
constexpr QColor kButtonGrey{128, 128, 128};

// Fallback for both design faces: Debian's fonts-dejavu-core.
const QString kFallbackMono = QStringLiteral("DejaVu Sans Mono");

// The credit line under the title.
const QString kCredit = QStringLiteral("A peg-linking puzzle toy");

void SetColour(QWidget* widget, QPalette::ColorRole role, QColor colour) {
  QPalette palette = widget->palette();
  palette.setColor(role, colour);
  widget->setPalette(palette);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, QRect geometry, QColor text,
                  const QFont& font) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(geometry);
  label->setFont(font);
  label->setAutoFillBackground(false);  // transparent
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  SetColour(label, QPalette::WindowText, text);
  return label;
}

QFrame* MakePanel(QWidget* parent, const char* name, QRect geometry) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QString::fromLatin1(name));
  panel->setGeometry(geometry);
  panel->setFrameStyle(QFrame::NoFrame);
  // The panels keep their stored caption but, having no border, draw none.
  panel->setProperty("caption", QStringLiteral("Frame1"));
  panel->setAutoFillBackground(true);
  SetColour(panel, QPalette::Window, kPanel);
  return panel;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry, QColor back,
                        QColor text, const QFont& font) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(geometry);
  button->setFont(font);
  button->setAutoDefault(false);
  QPalette palette = button->palette();
  palette.setColor(QPalette::Button, back);
  palette.setColor(QPalette::ButtonText, text);
  button->setPalette(palette);
  return button;
}

// The face the window was designed with, falling back to a monospace face
// that Debian ships when it is missing.
QFont DebugFont(const QString& family, double points, bool bold) {
  QFont font(family);
  font.setFamilies({family, kFallbackMono});
  font.setStyleHint(QFont::Monospace);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

}  // namespace

const QColor DebugWindow::kBackground{64, 64, 64};

ShapeWidget::ShapeWidget(QColor fill, QColor border, QWidget* parent)
    : QWidget(parent), fill_(fill), border_(border) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

void ShapeWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), fill_);
  painter.setPen(border_);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

PegTextBox::PegTextBox(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Seven lines of the stand-in font take 112 of the box's 113 pixels: no
  // border and no margin above or below, a little room at the sides.
  setFrameStyle(QFrame::NoFrame);
  document()->setDocumentMargin(0);
  setViewportMargins(kSideMargin, 0, kSideMargin, 0);
  setAutoFillBackground(true);  // the side margins in the box's colour
}

QString PegTextBox::DisplayText(const QString& text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QChar(u'\r'), QChar(u'\n'));
  if (shown.endsWith(QChar(u'\n'))) shown.chop(1);
  return shown;
}

void PegTextBox::SetText(const QString& text) {
  // Setting the same text again every tick would throw away a selection.
  if (text == text_) return;
  text_ = text;
  const QString shown = DisplayText(text);
  if (shown != toPlainText()) setPlainText(shown);
}

DebugWindow::DebugWindow(QWidget* panelOf) : QWidget(panelOf, panelOf == nullptr ? Qt::Tool : Qt::Widget) {
  setObjectName(QStringLiteral("debugWindow"));
  setWindowTitle(QStringLiteral("Debug"));
  setFixedSize(kDebugClientSize);
  setAutoFillBackground(true);
  SetColour(this, QPalette::Window, kBackground);
  if (panelOf == nullptr) move(kDebugWindowPlace);

  const QFont titleFont = DebugFont(QStringLiteral("Lucida Console"), 15.75, false);
  const QFont smallFont = DebugFont(QStringLiteral("Consolas"), 8.25, false);
  const QFont textFont = DebugFont(QStringLiteral("Consolas"), 9.75, false);
  const QFont buttonFont = DebugFont(QStringLiteral("Consolas"), 9.75, true);

  // Widgets join the window's focus chain in the order they are made, so
  // they are made in the keyboard focus order.
  MakeLabel(this, "title", QStringLiteral("Brindlet!"), {16, 16, 145, 25}, kWhite, titleFont);
  state_ = MakeLabel(this, "state", QStringLiteral("gState"), {16, 64, 329, 25}, kWhite, titleFont);

  QFrame* pegPanel = MakePanel(this, "pegPanel", {16, 104, 337, 129});
  peg_text_ = new PegTextBox(pegPanel);
  peg_text_->setObjectName(QStringLiteral("pegText"));
  peg_text_->setGeometry(8, 8, 321, 113);
  peg_text_->setFont(textFont);
  {
    QPalette palette = peg_text_->palette();
    palette.setColor(QPalette::Base, kBackground);
    palette.setColor(QPalette::Window, kBackground);
    palette.setColor(QPalette::Text, kLightText);
    peg_text_->setPalette(palette);
  }
  peg_text_->SetText(QStringLiteral("Text1"));

  QFrame* buttonPanel = MakePanel(this, "buttonPanel", {16, 248, 337, 249});
  auto* backdrop = new ShapeWidget(QColor(128, 128, 128), kLightText, buttonPanel);
  backdrop->setObjectName(QStringLiteral("buttonBackdrop"));
  backdrop->setGeometry(8, 8, 321, 233);
  move_ = MakeButton(buttonPanel, "moveButton", QStringLiteral("Move!"), {16, 16, 305, 49}, kButtonRed, kWhite,
                     buttonFont);
  shake_ = MakeButton(buttonPanel, "shakeButton", QStringLiteral("Shake!"), {16, 72, 305, 49}, kButtonRed, kWhite,
                      buttonFont);
  restart_ = MakeButton(buttonPanel, "restartButton", QStringLiteral("Restart!"), {16, 128, 305, 49}, kButtonRed,
                        kWhite, buttonFont);
  quit_ = MakeButton(buttonPanel, "quitButton", QStringLiteral("Quit!"), {16, 184, 305, 49}, kButtonGrey, Qt::black,
                     buttonFont);

  MakeLabel(this, "credit", kCredit, {160, 24, 169, 17}, kLightText, smallFont);

  auto* rule = new ShapeWidget(QColor(192, 192, 192), QColor(192, 192, 192), this);
  rule->setObjectName(QStringLiteral("rule"));
  rule->setGeometry(16, 48, 337, 9);

  // For screen readers and other assistive tools.
  setAccessibleName(QStringLiteral("Debug"));
  setAccessibleDescription(QStringLiteral("The game state, the peg nearest the cursor and the game's buttons"));
  const struct {
    QWidget* widget;
    const char* name;
    const char* description;
  } described[] = {
      {state_, "Game state", "What the game is waiting for"},
      {peg_text_, "Nearest peg", "The details of the peg nearest the cursor, within 30 pixels"},
      {move_, "Move!", "Sends every peg to a new random place"},
      {shake_, "Shake!", "Shakes the pegs"},
      {restart_, "Restart!", "Starts a new game"},
      {quit_, "Quit!", "Ends the program"},
  };
  for (const auto& d : described) {
    d.widget->setAccessibleName(QString::fromUtf8(d.name));
    d.widget->setAccessibleDescription(QString::fromUtf8(d.description));
  }
  // As a panel its controls work with the mouse only: Tab, Space and the
  // arrows stay with the game.
  if (panelOf != nullptr) {
    for (QWidget* child : findChildren<QWidget*>()) child->setFocusPolicy(Qt::NoFocus);
  }
}

void DebugWindow::ShowState(std::string_view caption) {
  state_->setText(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
}

void DebugWindow::ShowPegDetails(std::string_view text) {
  peg_text_->SetText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace brindlet::ui
