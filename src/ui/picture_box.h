// A picture box: a widget whose persistent bitmap the game draws into.
//
// The bitmap always has the size of the widget's client area (inside its
// border, if it has one) and is drawn 1:1 in logical pixels. On a screen with
// a device pixel ratio above 1, Qt scales the whole picture and we ask for no
// smoothing, so every image pixel becomes a sharp block.
#pragma once

#include <QFrame>
#include <QImage>

#include "render/fast_drawing.h"

namespace brindlet::ui {

class PictureBox final : public QFrame, public PictureSurface {
  Q_OBJECT

 public:
  explicit PictureBox(QWidget* parent = nullptr);

  // --- PictureSurface ---
  std::int32_t BitmapWidth() const override;
  std::int32_t BitmapHeight() const override;
  // Scan lines are counted from the bottom of the picture.
  std::uint8_t* ScanLine(std::int32_t row) override;
  void SetStretchMode(int mode) override { stretch_mode_ = mode; }
  bool AutoRedraw() const override { return auto_redraw_; }
  void SetPictureFromImage() override {}  // the bitmap already is what the box shows
  void Refresh() override;
  void BitmapChanged() override;

  void SetAutoRedraw(bool value) { auto_redraw_ = value; }
  int StretchMode() const { return stretch_mode_; }
  // The bitmap, top line first (blue-green-red bytes).
  const QImage& Image() const;
  // A single-line one-pixel border around the client area, or none.
  void SetSingleBorder(bool on);

 signals:
  // A left click: a release that follows a left press on the box.
  void Click();
  // The second click of a double-click. The release that follows it is not
  // a click of its own.
  void DblClick();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  // Keeps the bitmap the size of the client area. Resizes of a hidden widget
  // arrive late, so every use of the bitmap checks first.
  void SyncBitmap() const;

  mutable QImage image_;
  bool auto_redraw_ = false;
  int stretch_mode_ = 0;
  bool pressed_ = false;            // a left press on the box awaits its release
  bool after_double_click_ = false;  // the next release ends a double-click
};

}  // namespace brindlet::ui
