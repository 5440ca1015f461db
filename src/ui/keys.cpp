#include "ui/keys.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace brindlet::ui {
namespace {

constexpr KeyRow kRows[] = {
    {"Arrow keys", "move the cursor to the nearest peg that way"},
    {"Tab, Shift+Tab", "next or previous peg"},
    {"Space, Enter", "click the peg under the cursor"},
    {"Escape", "click empty space (confirm a link, or cancel)"},
    {"S", "shapes look on and off: marks that need no colour"},
    {"F11", "full screen on and off"},
    {"F12", "show or hide the debug window"},
    {"F1, ?", "this list"},
};

}  // namespace

KeyAction ActionFor(const QKeyEvent& key) {
  const Qt::KeyboardModifiers modifiers = key.modifiers();
  if (modifiers.testFlag(Qt::ControlModifier) || modifiers.testFlag(Qt::AltModifier) ||
      modifiers.testFlag(Qt::MetaModifier)) {
    return {};
  }
  const bool shift = modifiers.testFlag(Qt::ShiftModifier);
  switch (key.key()) {
    case Qt::Key_Left: return {KeyCommand::Left, {}};
    case Qt::Key_Right: return {KeyCommand::Right, {}};
    case Qt::Key_Up: return {KeyCommand::Up, {}};
    case Qt::Key_Down: return {KeyCommand::Down, {}};
    case Qt::Key_Tab: return {shift ? KeyCommand::Previous : KeyCommand::Next, {}};
    case Qt::Key_Backtab: return {KeyCommand::Previous, {}};
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter: return {KeyCommand::Press, {}};
    case Qt::Key_Escape: return {KeyCommand::Empty, {}};
    case Qt::Key_S: return {{}, FrontKey::Look};
    case Qt::Key_F1: return {{}, FrontKey::Help};
    case Qt::Key_F11: return {{}, FrontKey::FullScreen};
    case Qt::Key_F12: return {{}, FrontKey::DebugWindow};
    default: break;
  }
  if (key.text() == QLatin1String("?")) return {{}, FrontKey::Help};
  return {};
}

std::span<const KeyRow> KeyRows() { return kRows; }

KeyHelp::KeyHelp(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("keyHelp"));
  setWindowTitle(QStringLiteral("Brindlet! keys"));
  setAccessibleName(QStringLiteral("Keys"));
  setAccessibleDescription(QStringLiteral("The keys that play the game"));
  // The game goes on beside it.
  setModal(false);
  auto* table = new QGridLayout;
  table->setHorizontalSpacing(24);
  int row = 0;
  for (const KeyRow& r : kRows) {
    auto* keys = new QLabel(QString::fromUtf8(r.keys), this);
    QFont bold = keys->font();
    bold.setBold(true);
    keys->setFont(bold);
    table->addWidget(keys, row, 0);
    table->addWidget(new QLabel(QString::fromUtf8(r.does), this), row, 1);
    ++row;
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(table);
  layout->addWidget(buttons);
}

}  // namespace brindlet::ui
