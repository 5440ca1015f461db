// The board for assistive technology, over the Linux accessibility bus: the
// playfield's accessible object has one child per peg in play, named in
// words (game/narration.h: "red peg 12", "blue peg 40, linked to 7"), with
// its state (selected; focused while the keyboard cursor is on it) and its
// place on the screen. The keyboard cursor's peg is the accessible focus, so
// a screen reader speaks each peg as Tab and the arrows reach it. What
// happens (a game started, a link made or refused, a selection cancelled,
// the state the debug window shows) is said through a status object.
//
// Nothing is sent per frame. The front end calls Update whenever it has
// control back from the game (after a main tick, a key, a click, a button);
// Update compares what the pegs' names and states depend on with what it
// told last and sends events for what changed, and says each new happening
// once. While no assistive technology is active (QAccessible::isActive()
// false) it does nothing at all.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>

#include "game/game.h"
#include "game/narration.h"
#include "ui/playfield.h"

namespace brindlet::ui {

class PlayfieldAccessible;

// The status object that says what happened: an empty widget of the main
// window, never seen, whose accessible text is the last thing said.
class Announcer final : public QWidget {
  Q_OBJECT

 public:
  explicit Announcer(QWidget* parent);
  const QString& text() const { return text_; }
  void SetText(const QString& text) { text_ = text; }

 private:
  QString text_;
};

// Says `text` to assistive technology, once. Qt 6.4 carries no announcement
// of its own (QAccessibleAnnouncementEvent came with 6.8): the announcer's
// text changes, and it tells so as a text change (which carries the text), a
// name change, and a notification shown (what screen readers speak).
void Announce(Announcer& announcer, const QString& text);

class AccessibleBoard final {
 public:
  // The board of `game` on `playfield`; the announcer goes into `window`.
  AccessibleBoard(const Game& game, Playfield& playfield, QWidget& window);
  ~AccessibleBoard();
  AccessibleBoard(const AccessibleBoard&) = delete;
  AccessibleBoard& operator=(const AccessibleBoard&) = delete;

  // Tells assistive technology what changed since the last call.
  void Update();

  const Game& game() const { return game_; }
  Playfield& playfield() const { return playfield_; }
  Announcer& announcer() const { return *announcer_; }
  // The keyboard cursor's peg while its ring shows, else 0.
  int FocusedPeg() const;

 private:
  friend class PlayfieldAccessible;

  const Game& game_;
  Playfield& playfield_;
  Announcer* announcer_;  // a child of the window
  PlayfieldAccessible* accessible_ = nullptr;  // while Qt keeps one for the playfield

  // What was told last; nothing until the first Update that finds
  // assistive technology active.
  bool told_ = false;
  BoardFacts facts_{};
  BoardFacts now_{};
  int total_ = 0;
  int focused_ = 0;
  std::uint64_t happenings_ = 0;
  std::optional<std::string> caption_;
};

}  // namespace brindlet::ui
