// The keys: a table from Qt's keys to what they do, and the list F1 shows.
// The game's keys are commands the game interprets (Game::Key); the front
// end keeps F1, F11, F12 and the look's key for itself.
#pragma once

#include <QDialog>
#include <QKeyEvent>
#include <QString>
#include <optional>
#include <span>

#include "game/keyboard.h"

namespace brindlet::ui {

enum class FrontKey { Help, FullScreen, DebugWindow, Look };

struct KeyAction {
  std::optional<KeyCommand> game;
  std::optional<FrontKey> front;
};

// What `key` does; neither part for a key that is not the game's (with
// Ctrl, Alt or Meta a key is never the game's; Shift only picks Tab's
// direction and types the question mark).
KeyAction ActionFor(const QKeyEvent& key);

// The keys and what they do, one row each: what F1 lists.
struct KeyRow {
  const char* keys;
  const char* does;
};
std::span<const KeyRow> KeyRows();

// The list of keys beside the game: a table of two columns, the keys and
// what they do, every row's text in its column. It never blocks the game.
class KeyHelp final : public QDialog {
  Q_OBJECT

 public:
  explicit KeyHelp(QWidget* parent);
};

}  // namespace brindlet::ui
