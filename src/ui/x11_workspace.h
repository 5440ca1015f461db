// Whether the window manager keeps a window on a workspace other than the one
// shown. Managers that unmap such windows say so through the window's
// exposure; those that leave them mapped say it only in the window's
// _NET_WM_DESKTOP against the root window's _NET_CURRENT_DESKTOP. This reads
// both, and again whenever either changes, from the events Qt's own X11
// connection receives: nothing is asked of the X server in between. On any
// other platform a window is never elsewhere.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QWidget>
#include <cstdint>
#include <optional>

namespace brindlet::ui {

// _NET_WM_DESKTOP's value for a window shown on every workspace.
inline constexpr std::uint32_t kAllDesktops = 0xffffffffu;

// True when both are known and the window's desktop is another one than the
// current desktop.
bool OnOtherDesktop(std::optional<std::uint32_t> window, std::optional<std::uint32_t> current);

class X11Workspace final : public QObject, public QAbstractNativeEventFilter {
  Q_OBJECT

 public:
  // `window` is a top-level window; its native window need not exist yet.
  explicit X11Workspace(QWidget& window);
  ~X11Workspace() override;

  bool Elsewhere() const { return elsewhere_; }

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

 signals:
  // Elsewhere() changed.
  void Changed();

 private:
  void Read();

  QWidget& window_;
  void* connection_ = nullptr;  // Qt's xcb_connection_t, null off X11
  std::uint32_t root_ = 0;
  std::uint32_t current_desktop_atom_ = 0;
  std::uint32_t window_desktop_atom_ = 0;
  bool elsewhere_ = false;
};

}  // namespace brindlet::ui
