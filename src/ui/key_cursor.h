// The keyboard cursor's ring: a small widget of its own over the playfield,
// round the peg the keys are on. It is never part of the game's picture: the
// game's frames and the playfield's bitmap stay exactly as without it.
#pragma once

#include <QColor>
#include <QPointF>
#include <QWidget>

#include "ui/picture_box.h"

namespace brindlet::ui {

class KeyCursor final : public QWidget {
  Q_OBJECT

 public:
  // The ring's radius in image pixels, and its bounds on the screen (in
  // logical pixels) at small and large scales.
  static constexpr double kRadius = 12.0;
  static constexpr int kSmallestRadius = 9;
  static constexpr int kLargestRadius = 48;
  // Yellow on a dark outline: plain to see on the black playfield and beside
  // red, blue, green and white alike.
  static const QColor kRing;
  static const QColor kOutline;

  // A ring over `box`. Where the box shows its picture in a window of its
  // own, the ring has a native window too, stacked above the box's, shaped
  // to the ring and passing every pointer event through to what is below.
  explicit KeyCursor(PictureBox& box);

  // Shows the ring centred on `image`, a point of the box's picture in
  // image pixels, at the box's present scale.
  void ShowAt(QPointF image);
  // Where the ring's centre is, in the box's client area, while shown.
  QPoint Centre() const { return geometry().center() - box_.contentsRect().topLeft(); }
  int Radius() const { return radius_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void SetRadius(int radius);

  PictureBox& box_;
  int radius_ = 0;
};

}  // namespace brindlet::ui
