// The keyboard cursor's ring: drawn round the peg the keys are on, over the
// playfield, by a window or widget of its own. It is never part of the
// game's picture: the game's frames and the playfield's bitmap stay exactly
// as without it.
#pragma once

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include "ui/picture_box.h"

namespace brindlet::ui {

class KeyCursor final : public QObject {
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

  // A ring over `box`, which owns it. Where the box shows its picture in a
  // window of its own, the ring is a window too, a sibling stacked above
  // that one, shaped to the ring and passing the pointer through to what
  // is below; otherwise it is a widget painted over the box.
  explicit KeyCursor(PictureBox& box);
  ~KeyCursor() override;

  // Shows the ring centred on `image`, a point of the box's picture in
  // image pixels, at the box's present scale.
  void ShowAt(QPointF image);
  void Hide();
  bool Visible() const;
  // Where the ring's centre is in the box's client area, and its radius.
  QPoint Centre() const { return centre_; }
  int Radius() const { return radius_; }
  // True when the ring is a window of its own.
  bool InOwnWindow() const { return !window_.isNull(); }
  // The ring as it is drawn, its centre at the middle pixel; what lies
  // outside the ring's shape is transparent.
  QImage Picture() const;

  // The ring's shape, and its drawing, for a ring of `radius` in a square
  // of Side(radius) pixels.
  static int Side(int radius);
  static QRegion Shape(int radius);
  static void Paint(QPainter& painter, int radius);

 private:
  class RingWindow;
  class RingWidget;

  PictureBox& box_;
  QPointer<RingWindow> window_;
  QPointer<RingWidget> widget_;
  QPoint centre_;
  int radius_ = kSmallestRadius;
};

}  // namespace brindlet::ui
