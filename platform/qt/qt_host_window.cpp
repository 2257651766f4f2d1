// Windows of other programs on X11: the screen-saver hosts hand the saver a window to draw inside.
// The saver's window becomes a child of it, follows its size and closes when it goes away.
#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>

#include "qt_backend.h"

namespace qt_backend {
namespace {

struct TForeignWindow {
  xcb_window_t Id = 0;
  QWindow* Window = nullptr;  // Qt's wrapper, made once a child is embedded
  HWND Child = nullptr;       // the saver's window inside it
};

std::map<std::uintptr_t, TForeignWindow>& ForeignWindows() {
  static std::map<std::uintptr_t, TForeignWindow> windows;
  return windows;
}

TForeignWindow* ForeignOf(HWND handle) {
  const auto found = ForeignWindows().find(reinterpret_cast<std::uintptr_t>(handle));
  return found == ForeignWindows().end() ? nullptr : &found->second;
}

xcb_connection_t* Connection() {
  if (!HasGui() || QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

}  // namespace

bool OnXWayland() {
  static QPointer<QGuiApplication> asked;
  static bool xwayland = false;
  if (asked == qGuiApp) return xwayland;
  asked = qGuiApp;
  xwayland = false;
  if (xcb_connection_t* connection = Connection()) {
    // The compositors' X servers announce themselves by this extension; older ones only by the names
    // of their outputs.
    for (const QScreen* screen : QGuiApplication::screens()) {
      if (screen->name().startsWith(QLatin1String("XWAYLAND"))) xwayland = true;
    }
    static constexpr char Name[] = "XWAYLAND";
    std::unique_ptr<xcb_query_extension_reply_t, decltype(&std::free)> reply(
        xcb_query_extension_reply(connection, xcb_query_extension(connection, sizeof Name - 1, Name), nullptr),
        &std::free);
    xwayland = xwayland || (reply && reply->present);
  }
  return xwayland;
}

namespace {

// The window's size, or false when the id names no window (any more).
bool ForeignSize(xcb_window_t id, QSize& size) {
  xcb_connection_t* connection = Connection();
  if (!connection) return false;
  xcb_generic_error_t* error = nullptr;
  std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), &error), &std::free);
  std::free(error);
  if (!geometry) return false;
  size = QSize(geometry->width, geometry->height);
  return true;
}

// Hears of the hosts' windows being resized or destroyed: X tells every client that asked for their
// structure events, whoever owns them.
class THostWatcher : public QAbstractNativeEventFilter {
 public:
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) override {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7F;
    if (type == XCB_CONFIGURE_NOTIFY) {
      const auto* configure = static_cast<const xcb_configure_notify_event_t*>(message);
      if (configure->event != configure->window) return false;
      for (auto& [handle, foreign] : ForeignWindows()) {
        if (foreign.Id != configure->window) continue;
        if (TWindowWidget* child = WidgetOf(foreign.Child)) {
          const double scale = child->Scale();
          child->setGeometry(0, 0, qRound(configure->width / scale), qRound(configure->height / scale));
        }
      }
    } else if (type == XCB_DESTROY_NOTIFY) {
      const auto* destroyed = static_cast<const xcb_destroy_notify_event_t*>(message);
      for (auto& [handle, foreign] : ForeignWindows()) {
        if (foreign.Id != destroyed->window) continue;
        // The ordinary close, so that the saver's final state is saved.
        if (foreign.Child) Post(foreign.Child, WM_CLOSE, 0, 0);
        foreign.Child = nullptr;
      }
    }
    return false;
  }
};

void WatchStructure(xcb_window_t id) {
  static THostWatcher* watcher = nullptr;
  if (!watcher) {
    watcher = new THostWatcher;
    qGuiApp->installNativeEventFilter(watcher);
  }
  xcb_connection_t* connection = Connection();
  // Other event kinds this client already selected on the window (Qt's, on the root) stay selected.
  std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
      xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id), nullptr), &std::free);
  const std::uint32_t mask =
      (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection, id, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(connection);
}

}  // namespace

bool IsForeignWindow(HWND handle) { return ForeignOf(handle) != nullptr; }

bool EmbedInForeignWindow(TWindowWidget& widget, HWND parent) {
  TForeignWindow* foreign = ForeignOf(parent);
  if (!foreign) return false;
  if (!foreign->Window) foreign->Window = QWindow::fromWinId(static_cast<WId>(foreign->Id));
  if (!foreign->Window) {
    FrameworkTrace("cannot reach the host's window");
    return false;
  }
  widget.setAttribute(Qt::WA_NativeWindow);
  widget.setAttribute(Qt::WA_ShowWithoutActivating);
  widget.setFocusPolicy(Qt::NoFocus);
  widget.winId();
  QWindow* window = widget.windowHandle();
  // Clicks and keys go through to the host, which decides when the saver ends.
  window->setFlag(Qt::WindowTransparentForInput, true);
  window->setFlag(Qt::WindowDoesNotAcceptFocus, true);
  window->setParent(foreign->Window);
  foreign->Child = widget.Handle;
  WatchStructure(foreign->Id);
  // The host may have resized its window since the saver read its size.
  QSize size;
  if (ForeignSize(foreign->Id, size)) {
    const double scale = widget.Scale();
    widget.setGeometry(0, 0, qRound(size.width() / scale), qRound(size.height() / scale));
  }
  return true;
}

bool IsEmbedded(const QWidget& widget) {
  const QWindow* window = widget.windowHandle();
  return window && window->parent() != nullptr;
}

}  // namespace qt_backend

using namespace qt_backend;

HWND OpenForeignWindow(unsigned long nativeId) {
  xcb_connection_t* connection = Connection();
  if (!connection) {
    FrameworkTrace("drawing inside another program's window needs an X11 display");
    return nullptr;
  }
  xcb_window_t id = static_cast<xcb_window_t>(nativeId);
  if (id == 0) {
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    if (!screens.rem) return nullptr;
    id = screens.data->root;
  }
  // Window attributes exist only for windows, so a pixmap or a stale id is refused here.
  xcb_generic_error_t* error = nullptr;
  std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
      xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, id), &error), &std::free);
  std::free(error);
  QSize size;
  if (!attributes || !ForeignSize(id, size)) return nullptr;
  const HWND handle = RegisterWindow(nullptr, nullptr);
  ForeignWindows()[reinterpret_cast<std::uintptr_t>(handle)] = TForeignWindow{id, nullptr, nullptr};
  return handle;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  if (!rect) return FALSE;
  QSize size;
  if (const TForeignWindow* foreign = ForeignOf(window)) {
    if (!ForeignSize(foreign->Id, size)) return FALSE;
  } else if (const TWindowWidget* widget = WidgetOf(window)) {
    size = QSize(qRound(widget->width() * widget->Scale()), qRound(widget->height() * widget->Scale()));
  } else if (window == DesktopHandle()) {
    size = ScreenRect().size();
  } else {
    return FALSE;
  }
  *rect = RECT{0, 0, size.width(), size.height()};
  return TRUE;
}
