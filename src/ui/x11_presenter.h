// The X11 presenter (see presenter.h).
#pragma once

#include <QAbstractNativeEventFilter>
#include <QBackingStore>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWindow>
#include <memory>
#include <vector>

#include "ui/presenter.h"
#include "ui/x11_workspace.h"

namespace brindlet::ui {

// The playfield in a native window of its own over its client area, which
// also takes its clicks. While that window shows the picture 1:1 on a screen
// with the bitmap's pixel format, the window's backing store *is* the
// bitmap: a new picture is written straight into what the window system is
// handed, and showing it copies nothing. Otherwise the playfield keeps the
// bitmap and works out the window's screen pixels of the changed tiles
// straight into the store.
class X11Playfield final : public Playfield {
  Q_OBJECT

 public:
  explicit X11Playfield(QWidget* parent);
  ~X11Playfield() override;

  // --- PictureSurface ---
  ScanLines Lines() override;
  ScanLines BeginChange(std::span<const PixelRect> within) override;
  void EndChange() override;
  // Scaled, the store during a change.
  ScaledScreen ScreenToScale() override { return screen_; }
  void Changed(std::span<const PixelRect> areas) override;
  // False while the window is hidden, minimised or otherwise not exposed.
  bool KeepsPicture() const override { return !lost_; }

  void SetBitmapSize(QSize size) override;
  QImage Image() const override;
  void SetSingleBorder(bool on) override;

  // The playfield's own window, and whether the bitmap is its backing store.
  QWindow& OwnWindow() const;
  bool BitmapInWindow() const { return in_store_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  class Window;

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
  // Opens the store for a change scaled straight into it, when it holds the
  // window's last picture.
  void OpenScaledStore(std::span<const PixelRect> within);

  Window* window_ = nullptr;
  QWidget* container_ = nullptr;
  bool in_store_ = false;
  bool changing_ = false;  // the backing store is open for a new picture
  bool place_after_change_ = false;
  bool lost_ = false;      // the picture went with a remade store
  QRegion to_flush_;       // what the open change will show
  QSize store_pixels_;     // the own window's store as last written scaled
  std::vector<PixelRect> reached_;  // a scaled frame's changed screen pixels
  ScaledScreen screen_;             // the store, open for a change scaled into it
};

class X11Presenter final : public Presenter {
 public:
  X11Presenter(QWidget& window, std::function<void()> gone);
  ~X11Presenter() override;

  bool DebugShown() const override;
  void ShowDebug(bool shown) override;
  void SizePlayfield(QSize image) override;
  void Open() override;
  void ToggleFullScreen() override;
  bool FillsScreen() const override { return unmanaged_normal_.has_value() || Presenter::FillsScreen(); }
  // Also not on another workspace of a window manager that leaves it mapped.
  bool Seen() const override;

  // How often and how many times the window manager's frames are looked for
  // after the windows open.
  static constexpr int kSettleInterval = 50;
  static constexpr int kSettleChecks = 60;

 private:
  class RingWindow;
  class WindowGone;

  void DrawRing(std::optional<QRect> area, int radius) override;
  // Where the windows go for the image, from the frames as far as they are
  // known and the screen.
  WindowPlan Placement() const;
  QSize DebugFrameSize() const;
  // Once the window manager has framed both windows: the plan made with
  // estimated frames is redone with the real ones, and taken when the
  // windows as placed would not be usable or the playfield can be larger.
  void SettleWindows();

  std::unique_ptr<DebugWindow> debug_window_;
  QPointer<RingWindow> ring_;
  std::function<void()> gone_when_;
  std::unique_ptr<WindowGone> gone_;
  std::unique_ptr<X11Workspace> workspace_;
  WindowPlan plan_;
  bool opened_ = false;
  bool debug_wanted_ = false;  // shown as the game asked, before the windows open
  QTimer settle_;
  int settle_checks_ = 0;
  // Full screen by the program's own hand, where no window manager runs.
  std::optional<QRect> unmanaged_normal_;
};

}  // namespace brindlet::ui
