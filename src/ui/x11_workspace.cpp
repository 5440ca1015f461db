#include "ui/x11_workspace.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

namespace brindlet::ui {
namespace {

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

xcb_atom_t AtomNamed(xcb_connection_t* c, const char* name) {
  const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The 32-bit CARDINAL `atom` of `window`, when it has one.
std::optional<std::uint32_t> Cardinal(xcb_connection_t* c, xcb_window_t window, xcb_atom_t atom) {
  if (window == XCB_WINDOW_NONE || atom == XCB_ATOM_NONE) return std::nullopt;
  const Reply<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(c, xcb_get_property(c, 0, window, atom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
  if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) return std::nullopt;
  std::uint32_t value = 0;
  std::memcpy(&value, xcb_get_property_value(reply.get()), sizeof value);
  return value;
}

}  // namespace

bool OnOtherDesktop(std::optional<std::uint32_t> window, std::optional<std::uint32_t> current) {
  return window && current && *window != kAllDesktops && *window != *current;
}

X11Workspace::X11Workspace(QWidget& window) : QObject(&window), window_(window) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* c = x11 != nullptr ? x11->connection() : nullptr;
  if (c == nullptr) return;
  connection_ = c;
  root_ = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  current_desktop_atom_ = AtomNamed(c, "_NET_CURRENT_DESKTOP");
  window_desktop_atom_ = AtomNamed(c, "_NET_WM_DESKTOP");
  // The root window's property changes, beside whatever Qt hears of there
  // (the mask is this connection's own, and replaced whole).
  const Reply<xcb_get_window_attributes_reply_t> attributes(
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, root_), nullptr));
  const std::uint32_t mask = (attributes ? attributes->your_event_mask : 0u) | XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(c, root_, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(c);
  QCoreApplication::instance()->installNativeEventFilter(this);
}

X11Workspace::~X11Workspace() {
  if (connection_ != nullptr) QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11Workspace::nativeEventFilter(const QByteArray& type, void* message, qintptr* /*result*/) {
  if (type != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
  const auto* change = static_cast<const xcb_property_notify_event_t*>(message);
  const WId window = window_.internalWinId();
  if ((change->window == root_ && change->atom == current_desktop_atom_) ||
      (window != 0 && change->window == window && change->atom == window_desktop_atom_)) {
    Read();
  }
  return false;
}

void X11Workspace::Read() {
  auto* c = static_cast<xcb_connection_t*>(connection_);
  const auto window = static_cast<xcb_window_t>(window_.internalWinId());
  const bool elsewhere =
      OnOtherDesktop(Cardinal(c, window, window_desktop_atom_), Cardinal(c, root_, current_desktop_atom_));
  if (elsewhere == elsewhere_) return;
  elsewhere_ = elsewhere;
  emit Changed();
}

}  // namespace brindlet::ui
