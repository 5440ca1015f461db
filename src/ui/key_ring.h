// The keyboard cursor's ring: drawn round the peg the keys are on, over the
// playfield, by a window or widget of its own (which one is the presenter's
// choice). It is never part of the game's picture: the game's frames and the
// playfield's bitmap stay exactly as without it.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRegion>

namespace brindlet::ui {

class Playfield;

struct KeyRing {
  // The ring's radius in image pixels, and its bounds on the screen (in
  // logical pixels) at small and large scales.
  static constexpr double kRadius = 12.0;
  static constexpr int kSmallestRadius = 9;
  static constexpr int kLargestRadius = 48;
  // Yellow on a dark outline: plain to see on the black playfield and beside
  // red, blue, green and white alike.
  static constexpr QColor kRing{255, 220, 0};
  static constexpr QColor kOutline{0, 0, 0};

  // Where the ring stands over `playfield` for a ring centred on image point
  // `image`: its square (Side(radius) pixels) in the playfield's coordinates
  // and its radius, at the playfield's present scale.
  static QRect Place(const Playfield& playfield, QPointF image, int* radius);
  // The ring's square side, its shape in that square, and its drawing.
  static int Side(int radius);
  static QRegion Shape(int radius);
  static void Paint(QPainter& painter, int radius);
  // The ring as it is drawn, its centre at the middle pixel; what lies
  // outside the ring's shape is transparent.
  static QImage Picture(int radius);
};

}  // namespace brindlet::ui
