#include "ui/window_plan.h"

#include <algorithm>
#include <cmath>

#include "game/procedures.h"

namespace brindlet::ui {
namespace {

QSize Extra(QMargins margins) {
  return {margins.left() + margins.right(), margins.top() + margins.bottom()};
}

}  // namespace

QSize ShownPlayfield(QSize image, double scale) {
  // A hair above the exact product, so that 1:1 and fitted scales land on
  // the whole pixel they were computed for.
  const auto shown = [scale](int length) {
    return std::max(0, static_cast<int>(std::floor(length * scale + 1e-6)));
  };
  return {shown(image.width()) + 2, shown(image.height()) + 2};
}

double FitScale(QSize image, QSize room) {
  if (image.isEmpty()) return 1.0;
  const double sx = static_cast<double>(room.width() - 2) / image.width();
  const double sy = static_cast<double>(room.height() - 2) / image.height();
  return std::min({sx, sy, 1.0});
}

QRect ToggleCorner(const QRect& mainFrame, QMargins decorations, QSize image) {
  const QRect field = mainFrame.marginsRemoved(decorations).adjusted(1, 1, -1, -1);
  if (image.isEmpty()) return {field.topLeft(), QSize(0, 0)};
  // Screen pixels whose image pixel (PictureBox::ToBitmap rounds down) lies
  // in the corner.
  const auto reach = [](int shown, int length) {
    return static_cast<int>(std::ceil(static_cast<double>(kCornerSize) * shown / length));
  };
  return {field.topLeft(), QSize(reach(field.width(), image.width()), reach(field.height(), image.height()))};
}

WindowPlan PlanWindows(QSize image, QSize debugFrame, QMargins decorations, const QRect& available) {
  const QSize extra = Extra(decorations);
  // The debug window at its design place, moved inside the available area
  // where that starts further right or down (a panel) or ends before it.
  QRect debug(kDebugWindowPlace, debugFrame);
  debug.moveLeft(std::max(available.left(), std::min(debug.left(), available.right() + 1 - debug.width())));
  debug.moveTop(std::max(available.top(), std::min(debug.top(), available.bottom() + 1 - debug.height())));
  const auto fitFrom = [&](QPoint origin) {
    const QSize room(available.right() + 1 - origin.x(), available.bottom() + 1 - origin.y());
    return FitScale(image, room - extra);
  };
  const auto frameAt = [&](QPoint origin, double scale) {
    return QRect(origin, ShownPlayfield(image, scale) + extra);
  };
  const QPoint beside(debug.right() + 1 + kGapToDebugWindow, debug.top());
  const QPoint below(debug.left(), debug.bottom() + 1 + kGapToDebugWindow);
  const double besideScale = fitFrom(beside);
  const double belowScale = fitFrom(below);
  if (std::max(besideScale, belowScale) >= kSmallestSideBySideScale) {
    if (besideScale >= belowScale) return {Arrangement::Beside, besideScale, frameAt(beside, besideScale), debug};
    return {Arrangement::Below, belowScale, frameAt(below, belowScale), debug};
  }
  const double scale = std::max(FitScale(image, available.size() - extra), kSmallestScale);
  const QRect main = frameAt(available.topLeft(), scale);
  debug.moveLeft(std::max(available.left(), available.right() + 1 - debug.width()));
  // Only on a screen hardly wider than the debug window is the corner still
  // under it: then the debug window goes below the corner.
  const QRect corner = ToggleCorner(main, decorations, image);
  if (debug.intersects(corner)) debug.moveTop(corner.bottom() + 1);
  return {Arrangement::Overlapping, scale, main, debug};
}

QRect FilledPlayfield(QSize image, QSize room) {
  if (image.isEmpty() || room.isEmpty()) return {QPoint(0, 0), room.expandedTo(QSize(0, 0))};
  const double scale = std::min(static_cast<double>(room.width()) / image.width(),
                                static_cast<double>(room.height()) / image.height());
  // The exact product where the scale was computed from that side, so that
  // the image fills the side it meets.
  const auto shown = [scale](int length, int limit) {
    return std::clamp(static_cast<int>(std::floor(length * scale + 1e-6)), 1, limit);
  };
  const QSize size(shown(image.width(), room.width()), shown(image.height(), room.height()));
  return {QPoint((room.width() - size.width()) / 2, (room.height() - size.height()) / 2), size};
}

bool Usable(const WindowPlan& plan, QMargins decorations, QSize image, const QRect& available) {
  if (!available.contains(plan.main) || !available.contains(plan.debug)) return false;
  if (plan.debug.intersects(ToggleCorner(plan.main, decorations, image))) return false;
  return plan.arrangement == Arrangement::Overlapping || !plan.main.intersects(plan.debug);
}

QMargins FrameMargins(const QRect& frame, const QRect& client) {
  if (frame == client) return kDecorationAllowance;
  return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
          frame.bottom() - client.bottom()};
}

std::optional<WindowPlan> Resettle(const WindowPlan& plan, const WindowPlan& placed, const WindowPlan& fresh,
                                   QMargins decorations, QSize image, const QRect& available) {
  if (Usable(placed, decorations, image, available) && fresh.scale <= plan.scale) return std::nullopt;
  return fresh;
}

QSize PlannedWindow(QSize shown, QSize panel) {
  if (panel.isEmpty()) return shown;
  return {shown.width() + panel.width(), std::max(shown.height(), panel.height())};
}

WindowLayout LayOutWindow(QSize window, QSize shown, QSize image, QSize panel, bool filling) {
  WindowLayout layout;
  if (!filling && window == PlannedWindow(shown, panel)) {
    layout.playfield = QRect(QPoint(0, 0), shown);
  } else {
    const QSize room(std::max(0, window.width() - (panel.isEmpty() ? 0 : panel.width())), window.height());
    layout.playfield = FilledPlayfield(image, room);
    layout.border = false;
  }
  if (!panel.isEmpty()) layout.panel = QRect(QPoint(window.width() - panel.width(), 0), panel);
  return layout;
}

}  // namespace brindlet::ui
