// The keys: a table from Qt's keys to what they do. The game's keys are
// commands the game interprets (Game::Key); the front end keeps F1, F11 and
// F12 for itself.
#pragma once

#include <QKeyEvent>
#include <QString>
#include <optional>

#include "game/keyboard.h"

namespace brindlet::ui {

enum class FrontKey { Help, FullScreen, DebugWindow };

struct KeyAction {
  std::optional<KeyCommand> game;
  std::optional<FrontKey> front;
};

// What `key` does; neither part for a key that is not the game's (with
// Ctrl, Alt or Meta a key is never the game's; Shift only picks Tab's
// direction and types the question mark).
KeyAction ActionFor(const QKeyEvent& key);

// The keys, one per line: what F1 shows.
QString KeyHelpText();

}  // namespace brindlet::ui
