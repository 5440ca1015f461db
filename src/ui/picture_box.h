// A picture box: a widget showing a persistent bitmap that the game draws
// into, in the screen's native 32-bit format so that painting is a plain copy.
//
// The bitmap has a size of its own. The box shows it over its client area
// (inside its border, if it has one): 1:1 when the sizes agree, otherwise
// scaled, nearest-neighbour at whole-number ratios of screen pixels to bitmap
// pixels and smoothly between them.
#pragma once

#include <QFrame>
#include <QImage>
#include <QList>
#include <QRect>

#include "render/surface.h"

namespace brindlet::ui {

class PictureBox final : public QFrame, public PictureSurface {
  Q_OBJECT

 public:
  explicit PictureBox(QWidget* parent = nullptr);

  // --- PictureSurface ---
  std::int32_t Width() const override { return image_.width(); }
  std::int32_t Height() const override { return image_.height(); }
  // The bitmap keeps its top line first.
  ScanLines Lines() override;
  bool AutoRedraw() const override { return auto_redraw_; }
  void Refresh() override { repaint(); }
  void Changed(std::span<const PixelRect> areas) override;
  // False while the box's window is hidden, minimised or otherwise not exposed.
  bool Shown() const override;

  // A new bitmap of this size, filled with the box's background colour; the
  // old picture is kept where the two overlap.
  void SetBitmapSize(QSize size);
  void SetAutoRedraw(bool value) { auto_redraw_ = value; }
  // The bitmap, top line first.
  const QImage& Image() const { return image_; }
  // A single-line one-pixel border around the client area, or none.
  void SetSingleBorder(bool on);
  // A point of the client area in bitmap pixels.
  QPoint ToBitmap(QPoint client) const;
  // The part of the widget that shows a rectangle of the bitmap.
  QRect ToWidget(const QRect& bitmap) const;

 signals:
  // A left click: a release that follows a left press on the box.
  void Click();
  // The second click of a double-click. The release that follows it is not
  // a click of its own.
  void DblClick();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  static QImage NewBitmap(QSize size);

  QImage image_;
  QList<QRect> changed_;  // kept, so that a frame's areas need no new list
  bool auto_redraw_ = false;
  bool pressed_ = false;             // a left press on the box awaits its release
  bool after_double_click_ = false;  // the next release ends a double-click
};

}  // namespace brindlet::ui
