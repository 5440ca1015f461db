// Where the windows go and how the playfield fills them: plain functions of
// sizes and rectangles, in the screen's logical pixels.
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>

namespace brindlet::ui {

// Where the debug window's frame opens, unless the plan moves it, and the
// size of its client area; on native Wayland the same area stands as a
// panel beside the playfield.
inline constexpr QPoint kDebugWindowPlace{10, 28};
inline constexpr QSize kDebugClientSize{371, 515};
// Space between the debug window's frame and the main window's frame.
inline constexpr int kGapToDebugWindow = 16;
// Room for a window frame while the real one is not known yet: borders at
// the sides and below, a caption above.
inline constexpr QMargins kDecorationAllowance{8, 40, 8, 8};

// How the two windows share the screen: the main window beside the debug
// window (right of it, tops level), below it (left edges level), or, when
// neither leaves room for a playable playfield, overlapping: the main window
// at the available area's top left and the debug window at its right edge,
// clear of the playfield's corner that hides and shows it.
enum class Arrangement { Beside, Below, Overlapping };

struct WindowPlan {
  Arrangement arrangement = Arrangement::Beside;
  double scale = 1.0;  // screen pixels per image pixel
  QRect main;          // the main window's frame
  QRect debug;         // the debug window's frame
};

// Below this scale the two windows are not put side by side: pegs, their
// 10-pixel reach and the 16-pixel corner would shrink to a few screen pixels,
// and a playfield fitted to the whole screen (with the debug window over part
// of it, until the corner hides it) is the better game.
inline constexpr double kSmallestSideBySideScale = 0.5;
// The smallest scale at all, on a screen far too small for the playfield.
inline constexpr double kSmallestScale = 0.1;

// The playfield's client size at `scale`: the image in whole screen pixels
// (never more than `image` * `scale`) and a one-pixel border round it.
QSize ShownPlayfield(QSize image, double scale);

// The largest scale, at most 1, at which ShownPlayfield fits `room`; 0 or
// less when not even the border fits.
double FitScale(QSize image, QSize room);

// Where the windows go. `debugFrame` is the debug window's frame size and
// `decorations` the main window's frame round its client area, both as the
// window manager reports them or as estimated before it does. The debug
// window keeps its design place (moved inside `available` if need be) unless
// the windows overlap. Among the side-by-side arrangements the one with the
// larger scale wins, beside on a tie.
WindowPlan PlanWindows(QSize image, QSize debugFrame, QMargins decorations, const QRect& available);

// Both frames inside `available`, the corner not under the debug window, and,
// side by side, the two frames apart.
bool Usable(const WindowPlan& plan, QMargins decorations, QSize image, const QRect& available);

// The frame round a window's client area, or the allowance while the window
// manager has not framed it (the two rectangles are still the same).
QMargins FrameMargins(const QRect& frame, const QRect& client);

// Once the window manager has framed both windows (`placed` holds their real
// frames where the plan put them): the plan to take instead of `plan`, when
// the windows as placed are not usable or a fresh plan with the real frames
// (`fresh`) shows the playfield larger; nothing when the plan stands.
std::optional<WindowPlan> Resettle(const WindowPlan& plan, const WindowPlan& placed, const WindowPlan& fresh,
                                   QMargins decorations, QSize image, const QRect& available);

// The screen area of the playfield's top-left kCornerSize x kCornerSize image
// pixels, for a main window whose frame is `mainFrame`.
QRect ToggleCorner(const QRect& mainFrame, QMargins decorations, QSize image);

// The playfield's rectangle in a maximised or full-screen window whose
// client area is `room`: the image as large as fits, its proportions kept
// (to the pixel), centred; the rest of the window is black. No border.
QRect FilledPlayfield(QSize image, QSize room);

// The main window's size at the plan's scale: the playfield and its border
// (`shown`, ShownPlayfield at the plan's scale), and right of it the debug
// panel where it stands in the window (`panel` not empty).
QSize PlannedWindow(QSize shown, QSize panel);

// The main window's inside: the playfield and the panel, if any, at its right.
struct WindowLayout {
  QRect playfield;
  bool border = true;  // the one-pixel border round the picture
  QRect panel;         // empty without a panel
};
// At the planned size the playfield stands at the top left with its border
// and the panel right of it; in a window of any other size, or `filling` it
// (maximised, full screen), the playfield fills the room left of the panel
// as FilledPlayfield says, without a border.
WindowLayout LayOutWindow(QSize window, QSize shown, QSize image, QSize panel, bool filling);

}  // namespace brindlet::ui
