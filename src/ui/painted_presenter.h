// The painted presenter (see presenter.h): native Wayland, and any platform
// other than X11.
#pragma once

#include <QPointer>
#include <memory>
#include <vector>

#include "ui/presenter.h"

namespace brindlet::ui {

// The playfield painted into the main window's surface like any widget:
// each changed area is asked to be repainted, and the paint copies it from
// the bitmap (1:1) or works out its screen pixels into a kept picture of
// the client area's screen pixels and copies those.
class PaintedPlayfield final : public Playfield {
  Q_OBJECT

 public:
  explicit PaintedPlayfield(QWidget* parent);

  void Changed(std::span<const PixelRect> areas) override;
  // False while the main window is hidden or minimised, or its surface is
  // not exposed (a Wayland compositor that sends no frame callbacks).

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QImage scaled_;  // the client area's screen pixels, when painted scaled
  std::vector<PixelRect> reached_;
};

class PaintedPresenter final : public Presenter {
 public:
  explicit PaintedPresenter(QWidget& window);
  ~PaintedPresenter() override;

  bool DebugShown() const override { return panel_shown_; }
  void ShowDebug(bool shown) override;
  void SizePlayfield(QSize image) override;
  void Open() override;

 private:
  class RingWidget;
  class RepaintOnExpose;

  QSize Panel() const override;
  void PlacePanel(const QRect& panel) override;
  void DrawRing(std::optional<QRect> area, int radius) override;

  QPointer<RingWidget> ring_;
  std::unique_ptr<RepaintOnExpose> repaint_;
  bool panel_shown_ = false;
};

}  // namespace brindlet::ui
