// The playfield as the game sees it: a picture surface that shows a bitmap
// of its own size over its client area (inside a one-pixel border while the
// window has its planned size): 1:1 when the sizes agree, otherwise scaled,
// each screen pixel worked out by render/scale.h from its own place in the
// bitmap. How the picture reaches the screen is the presenter's (see
// presenter.h): each platform's presenter brings its own playfield.
//
// The playfield passes the mouse on to the game as presses, releases and
// double-clicks at image pixels, and says when the pointer moves over it.
#pragma once

#include <QFrame>
#include <QImage>
#include <QList>
#include <QRect>
#include <optional>
#include <span>
#include <vector>

#include "game/keyboard.h"
#include "game/platform.h"
#include "render/scale.h"
#include "render/surface.h"

namespace brindlet::ui {

class Playfield : public QFrame, public PictureSurface {
  Q_OBJECT

 public:
  explicit Playfield(QWidget* parent);

  // --- PictureSurface ---
  // Seen: visible, not minimised, and its window exposed.
  bool Shown() const override;
  std::int32_t Width() const override { return size_.width(); }
  std::int32_t Height() const override { return size_.height(); }
  // The bitmap keeps its top line first.
  ScanLines Lines() override;

  // A new bitmap of this size, filled with black; the old picture is kept
  // where the two overlap.
  virtual void SetBitmapSize(QSize size);
  // The bitmap as it is now, top line first.
  virtual QImage Image() const;
  // A single-line one-pixel border around the client area, or none.
  virtual void SetSingleBorder(bool on);
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

  // Where the pointer is over the playfield in client pixels, when the
  // window system keeps telling; empty while that is not known without
  // asking it.
  std::optional<QPoint> KnownPointer() const { return pointer_; }
  // Forget that place, for the pointer keeps still while the window moves.
  void ForgetPointer() { pointer_.reset(); }

 signals:
  // A mouse button pressed, released or double-clicked at image pixel `at`.
  void Mouse(MouseAction action, bool leftButton, CursorPoint at);
  // The pointer moved over the picture: the mouse is in use.
  void PointerMoved();

 protected:
  static QImage NewBitmap(QSize size);
  // The pixel under a pointer position, as the window system counts whole
  // pixels.
  static QPoint PixelAt(QPointF at);
  // A mouse event at client pixel `client`, passed on.
  void PassOn(MouseAction action, Qt::MouseButton button, QPoint client);
  // Scaled: the screen pixels that changed `areas` reach, at `ratio` screen
  // pixels per logical pixel of a client area of `client` logical pixels,
  // as a region of logical pixels (offset by `offset`) and exactly, as
  // screen pixels in `reached`; each band of areas one band of the region.
  QRegion ScaledRegion(std::span<const PixelRect> areas, QSize client, qreal ratio, QPoint offset,
                       std::vector<PixelRect>& reached);

  QSize size_;
  QImage image_;  // the bitmap, unless a presenter keeps it elsewhere
  PictureScaler scaler_;
  std::optional<QPoint> pointer_;
  QList<QRect> changed_;  // kept, so that a frame's areas need no new list
  std::vector<PixelRect> logical_;  // a scaled frame's reaches in logical pixels, band by band
  std::vector<PixelRect> covered_;  // and in a region's bands
};

// The screen pixels of a window's `logical` rectangle at `ratio` screen
// pixels per logical pixel, rounded outward, and the logical pixels that
// cover screen pixels `device`, rounded outward.
PixelRect ToDevice(const QRect& logical, qreal ratio);
QRect ToLogical(const PixelRect& device, qreal ratio);

// True for 0xAARRGGBB words, like the bitmap's; an opaque pixel is the same
// in all three such formats.
bool Holds32BitPixels(const QImage& image);

// The scan lines of a 32-bit image, bottom first. The image's memory is
// written in place, never detached from: for a backing store it is what
// the window system reads.
ScanLines LinesOf(const QImage& image);

// Banded areas as a region (at 1:1 they come in the order a region is made
// of, so they become one at once, not by hundreds of unions).
QRegion BandedRegion(std::span<const PixelRect> areas, QPoint offset, QList<QRect>& list);

}  // namespace brindlet::ui
