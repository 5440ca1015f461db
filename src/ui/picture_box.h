// A picture box: a widget showing a persistent bitmap that the game draws
// into, in the screen's native 32-bit format so that showing it is a plain
// copy.
//
// The bitmap has a size of its own. The box shows it over its client area
// (inside its border, if it has one): 1:1 when the sizes agree, otherwise
// scaled, nearest-neighbour at whole-number ratios of screen pixels to bitmap
// pixels and smoothly between them.
//
// A box can show its picture in a native window of its own instead of
// painting it (UseOwnWindow). While that window shows the picture 1:1 on a
// screen with the bitmap's pixel format, the window's backing store *is* the
// bitmap: a new picture is written straight into what the window system is
// handed, and showing it copies nothing. Otherwise the box keeps the bitmap
// and draws it into the window, scaled.
#pragma once

#include <QFrame>
#include <QImage>
#include <QList>
#include <QRect>
#include <QRegion>
#include <QWindow>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "render/scale.h"
#include "render/surface.h"

namespace brindlet::ui {

class PictureBox final : public QFrame, public PictureSurface {
  Q_OBJECT

 public:
  explicit PictureBox(QWidget* parent = nullptr);
  ~PictureBox() override;

  // --- PictureSurface ---
  std::int32_t Width() const override { return size_.width(); }
  std::int32_t Height() const override { return size_.height(); }
  // The bitmap keeps its top line first.
  ScanLines Lines() override;
  ScanLines BeginChange(std::span<const PixelRect> within) override;
  void EndChange() override;
  bool AutoRedraw() const override { return auto_redraw_; }
  void Refresh() override;
  void Changed(std::span<const PixelRect> areas) override;
  // False while the box's window is hidden, minimised or otherwise not exposed.
  bool Shown() const override;
  bool KeepsPicture() const override { return !lost_; }

  // A new bitmap of this size, filled with the box's background colour; the
  // old picture is kept where the two overlap.
  void SetBitmapSize(QSize size);
  void SetAutoRedraw(bool value) { auto_redraw_ = value; }
  // The bitmap as it is now, top line first.
  QImage Image() const;
  // A single-line one-pixel border around the client area, or none.
  void SetSingleBorder(bool on);
  // A point of the client area in bitmap pixels.
  QPoint ToBitmap(QPoint client) const;
  // The other way: where a point of the bitmap (in pixels, fractions
  // allowed) lies in the client area. For a whole bitmap pixel p this is its
  // top-left edge, and the client pixel at the ceiling of it is the first
  // one ToBitmap maps to p (while the picture is not shown smaller).
  QPointF FromBitmap(QPointF bitmap) const;
  // True while the bitmap's pixels are not the screen's one for one (a
  // client area of another size, or a HiDPI screen).
  bool Scaled() const;

  // From now on the picture shows in a native window over the client area,
  // which also takes the box's clicks.
  void UseOwnWindow();
  // That window, or nullptr.
  QWindow* OwnWindow() const;
  // True while the bitmap is the own window's backing store.
  bool BitmapInWindow() const { return in_store_; }
  // Where the pointer is over the own window, in client-area pixels, as its
  // last enter or move told; empty while it is elsewhere or not known. The
  // window system tells every move over the window, so this is where the
  // pointer is without asking it.
  std::optional<QPoint> PointerOverWindow() const { return pointer_; }
  // Forget that place, for the pointer keeps still while the window moves.
  void ForgetPointer() { pointer_.reset(); }

 signals:
  // A left click: a release that follows a left press on the box.
  void Click();
  // The second click of a double-click. The release that follows it is not
  // a click of its own.
  void DblClick();
  // The pointer moved over the picture, or a button was pressed there: the
  // mouse is in use.
  void PointerMoved();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  class Window;

  static QImage NewBitmap(QSize size);
  // The own window's backing store image, when it can hold the bitmap 1:1.
  QImage* StoreBitmap() const;
  // Moves the bitmap out of the own window's backing store into the box.
  void TakeBitmapOut();
  // Puts the own window over the client area and moves the bitmap into its
  // backing store, or out of it, as the window now can or cannot hold it;
  // true when it moved, and the window was given the whole picture again.
  bool Place();
  // The own window shows `region` (window pixels) of the picture; scaled,
  // `changed` (when given) are the screen pixels within it that changed.
  void ShowInWindow(const QRegion& region, std::span<const PixelRect> changed = {});
  // Runs `act` (a release or double-click) with the event's place as the
  // pointer's, when the box paints as a plain widget.
  void AtPlainPointer(QMouseEvent* event, const std::function<void()>& act);
  void Press(Qt::MouseButton button);
  void Release(Qt::MouseButton button);
  void DoubleClick(Qt::MouseButton button);

  QSize size_;
  QImage image_;  // the bitmap, unless it is in the own window's backing store
  Window* window_ = nullptr;
  QWidget* container_ = nullptr;
  bool in_store_ = false;
  bool changing_ = false;  // the backing store is open for a new picture
  bool lost_ = false;      // the picture went with a remade store
  QRegion to_flush_;       // what the open change will show
  QList<QRect> changed_;   // kept, so that a frame's areas need no new list
  PictureScaler scaler_;   // from the bitmap to the window's screen pixels
  QImage scaled_;          // the window's screen pixels, when painted scaled
  QSize store_pixels_;     // the own window's store as last written scaled
  std::vector<PixelRect> reached_;  // a scaled frame's changed screen pixels
  bool auto_redraw_ = false;
  bool pressed_ = false;             // a left press on the box awaits its release
  bool after_double_click_ = false;  // the next release ends a double-click
  std::optional<QPoint> pointer_;
};

}  // namespace brindlet::ui
