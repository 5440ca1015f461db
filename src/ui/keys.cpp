#include "ui/keys.h"

namespace brindlet::ui {

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
    case Qt::Key_F1: return {{}, FrontKey::Help};
    case Qt::Key_F11: return {{}, FrontKey::FullScreen};
    case Qt::Key_F12: return {{}, FrontKey::DebugWindow};
    default: break;
  }
  if (key.text() == QLatin1String("?")) return {{}, FrontKey::Help};
  return {};
}

QString KeyHelpText() {
  return QStringLiteral(
      "Arrow keys\tmove the cursor to the nearest peg that way\n"
      "Tab, Shift+Tab\tnext or previous peg\n"
      "Space, Enter\tclick the peg under the cursor\n"
      "Escape\tclick empty space (confirm a link, or cancel)\n"
      "F11\tfull screen on and off\n"
      "F12\tshow or hide the debug window\n"
      "F1, ?\tthis list");
}

}  // namespace brindlet::ui
