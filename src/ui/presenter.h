// The platform seam of the front end: how the playfield's frames reach the
// screen, whether anyone can see them, where the pointer is, the keyboard
// cursor's ring, and how the debug window stands beside the playfield and
// the window fills the screen. One presenter per platform, chosen once at
// start-up (Presenter::Make); no other file asks which platform it is on.
//
// - X11 (x11_presenter.cpp): the playfield in a native window of its own
//   whose backing store is the bitmap while it shows 1:1, the ring in a
//   shaped window above it, the debug window a window of its own (the main
//   window's transient) placed by the window plan and settled on the window
//   manager's real frames, full screen without a window manager too.
// - Painted (painted_presenter.cpp; native Wayland and any other platform):
//   the playfield painted into the main window's surface, the ring a widget
//   over it, the debug window's contents a panel beside the playfield inside
//   the main window.
//
// The window's layout and full-screen rules are the same for both and live
// here; the presenters bring what differs.
#pragma once

#include <QPoint>
#include <QPointF>
#include <QSize>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "game/platform.h"
#include "ui/debug_window.h"
#include "ui/playfield.h"
#include "ui/window_plan.h"

namespace brindlet::ui {

// The two ways to the screen.
enum class PresenterKind { X11, Painted };

class Presenter {
 public:
  // The kind for the platform Qt runs on: X11 on xcb, painted elsewhere.
  static PresenterKind ForPlatform();
  // A presenter for the main window `window`. `gone` runs when the window
  // system takes the main window away without closing it (another client
  // destroyed it).
  static std::unique_ptr<Presenter> Make(PresenterKind kind, QWidget& window, std::function<void()> gone);
  virtual ~Presenter() = default;
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;

  // The playfield the game's frames are presented on.
  Playfield& playfield() { return *playfield_; }
  // The debug window's contents, a window of their own or a panel.
  DebugWindow& debug() { return *debug_; }

  // The debug window or panel shown, hidden, closed.
  virtual bool DebugShown() const = 0;
  virtual void ShowDebug(bool shown) = 0;
  void CloseDebug() { ShowDebug(false); }

  // The playfield sized for an image of `image` pixels, and the windows
  // planned round it.
  virtual void SizePlayfield(QSize image) = 0;
  // Opens the windows where the plan put them, once, after start-up.
  virtual void Open() = 0;

  // Where the pointer is over the playfield, in image pixels. Unless
  // `mayAsk`, the window system is not asked: where its events do not tell,
  // the pointer rests where it was last seen.
  CursorPoint Pointer(bool mayAsk);

  // Whether any part of the playfield can be seen. `changed` runs when that
  // may have changed without the main window's events telling.
  virtual bool Seen() const { return playfield_->Shown(); }
  void OnSeenChanged(std::function<void()> changed) { seen_changed_ = std::move(changed); }

  // The keyboard cursor's ring round image point `at`; nothing hides it.
  void PlaceRing(std::optional<QPointF> at);
  bool RingShown() const { return ring_at_.has_value(); }
  // Where the ring's square stands on the playfield, while it shows.
  std::optional<QRect> RingArea() const;

  // F11: full screen on and off.
  virtual void ToggleFullScreen();
  // True while the window is maximised or full screen, or sized otherwise
  // than planned: the playfield then fills it, centred on black.
  bool Filling() const { return filling_; }

  // The main window's events that concern the layout.
  void WindowResized();
  void WindowMoved();
  void WindowStateChanged();

 protected:
  Presenter(QWidget& window, Playfield* playfield, DebugWindow* debug);

  // The window's planned size at `scale_`, and the playfield's.
  QSize ShownField() const { return ShownPlayfield(image_, scale_); }
  QSize Planned() const { return PlannedWindow(ShownField(), Panel()); }
  // The panel's size while it stands in the main window; empty otherwise.
  virtual QSize Panel() const { return {}; }
  // Whether the window fills the screen: maximised or full screen.
  virtual bool FillsScreen() const;
  // The panel at `panel` in the main window, or hidden where that is empty.
  virtual void PlacePanel(const QRect& /*panel*/) {}
  // Sets the window's size limits and, unless it fills the screen, its
  // planned size, and lays it out.
  void ApplyScale();
  void LayOut();
  // Notes where the window stands while it has the planned size.
  void KeepNormalPlace();
  // The ring drawn by the platform's own means, at `area` (the ring's square
  // on the playfield) with `radius`; nothing hides it.
  virtual void DrawRing(std::optional<QRect> area, int radius) = 0;

  QWidget& window_;
  Playfield* playfield_;
  DebugWindow* debug_;
  QSize image_;
  double scale_ = 1.0;  // screen pixels per image pixel, as planned
  bool filling_ = false;
  // Where the window last stood at the planned size, not filling the
  // screen: where it goes back to after F11 or the window manager's maximise.
  std::optional<QPoint> normal_place_;
  std::function<void()> seen_changed_;

 private:
  std::optional<QPointF> ring_at_;
  CursorPoint last_pointer_;
};

}  // namespace brindlet::ui
