// Monitors on Qt: Qt's logical coordinates and the desktop's device pixels, the monitor listing,
// ClientToScreen, the cursor's exact position, and the notice that the monitors changed.
#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QtMath>

#include <algorithm>
#include <vector>

#include "monitors.h"
#include "qt_backend.h"

#ifdef TESMAR_HAVE_XLIB
#include <X11/Xlib.h>
#endif

namespace qt_backend {
namespace {

// Where a screen's device pixels start on the desktop. X11 puts its screens where their device pixels
// lie. A Wayland compositor lays its outputs out in logical pixels, each output with a scale of its
// own, so their origins are scaled by the largest scale: no two outputs' device pixels then overlap.
QPointF DeviceOrigin(const QScreen& screen) {
  const QPointF logical = screen.geometry().topLeft();
  if (!OnWayland()) return logical;
  double largest = 1.0;
  for (const QScreen* other : QGuiApplication::screens()) largest = std::max(largest, other->devicePixelRatio());
  return logical * largest;
}

QRect DeviceGeometry(const QScreen& screen) {
  const QRect logical = screen.geometry();
  const double scale = screen.devicePixelRatio();
  return QRect(DeviceOrigin(screen).toPoint(), QSize(qRound(logical.width() * scale), qRound(logical.height() * scale)));
}

QScreen* ScreenAtLogical(const QPointF& point) {
  if (!HasGui()) return nullptr;
  const QPoint cell(qFloor(point.x()), qFloor(point.y()));
  for (QScreen* screen : QGuiApplication::screens()) {
    if (screen->geometry().contains(cell)) return screen;
  }
  return QGuiApplication::primaryScreen();
}

QScreen* ScreenAtDevice(const QPoint& point) {
  if (!HasGui()) return nullptr;
  for (QScreen* screen : QGuiApplication::screens()) {
    if (DeviceGeometry(*screen).contains(point)) return screen;
  }
  return QGuiApplication::primaryScreen();
}

void NoticeDisplayChange() {
  const QRect primary = ScreenRect();
  for (HWND window : RegisteredWindows()) {
    const TWindowWidget* widget = WidgetOf(window);
    if (widget && widget->isWindow()) Post(window, WM_DISPLAYCHANGE, 32, MAKELPARAM(primary.width(), primary.height()));
  }
}

void WatchGeometry(QScreen* screen) {
  QObject::connect(screen, &QScreen::geometryChanged, screen, [] { NoticeDisplayChange(); });
}

}  // namespace

// Each screen's device pixels start at its device origin and span its extent at its own scale, so a
// point maps through the screen it lies on.
QPoint DevicePoint(const QPointF& logical) {
  const QScreen* screen = ScreenAtLogical(logical);
  if (!screen) return QPoint(qRound(logical.x()), qRound(logical.y()));
  const QPointF device = DeviceOrigin(*screen) + (logical - screen->geometry().topLeft()) * screen->devicePixelRatio();
  return QPoint(qRound(device.x()), qRound(device.y()));
}

QPointF LogicalPoint(const QPoint& device) {
  const QScreen* screen = ScreenAtDevice(device);
  if (!screen) return device;
  return screen->geometry().topLeft() + (QPointF(device) - DeviceOrigin(*screen)) / screen->devicePixelRatio();
}

QRect DeviceRect(const QRect& logical) {
  const QScreen* screen = ScreenAtLogical(logical.topLeft());
  const double scale = screen ? screen->devicePixelRatio() : 1.0;
  return QRect(DevicePoint(logical.topLeft()),
               QSize(qRound(logical.width() * scale), qRound(logical.height() * scale)));
}

QRect LogicalRect(const QRect& device) {
  const QScreen* screen = ScreenAtDevice(device.topLeft());
  const double scale = screen ? screen->devicePixelRatio() : 1.0;
  return QRect(LogicalPoint(device.topLeft()).toPoint(),
               QSize(qRound(device.width() / scale), qRound(device.height() / scale)));
}

namespace {
// Qt rounds the cursor's position, and the positions of the mouse events it hands to widgets, to
// whole logical pixels, which under a scale of 1.5 or 2 span more than one device pixel; X tells
// the exact device pixel.
bool ExactCursorPos(QPoint& position) {
#ifdef TESMAR_HAVE_XLIB
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  Display* display = x11 ? x11->display() : nullptr;
  if (!display) return false;
  Window root = 0, child = 0;
  int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
  unsigned int mask = 0;
  if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &windowX, &windowY, &mask)) {
    return false;
  }
  position = QPoint(rootX, rootY);
  return true;
#else
  (void)position;
  return false;
#endif
}
}  // namespace

QPoint DeviceCursorPos() {
  QPoint exact;
  if (ExactCursorPos(exact)) return exact;
  return DevicePoint(QCursor::pos());
}

QPoint DeviceEventPoint(const QPointF& logical) {
  const QPoint rounded = DevicePoint(logical);
  const QScreen* screen = ScreenAtLogical(logical);
  // At a scale of 1 the rounding loses nothing, and the dialogs' mouse moves cost no round trip.
  if (!screen || screen->devicePixelRatio() == 1.0) return rounded;
  QPoint exact;
  if (ExactCursorPos(exact) && LogicalPoint(exact).toPoint() == logical.toPoint()) return exact;
  return rounded;
}

QScreen* ScreenWithDeviceRect(const QRect& device) {
  if (!HasGui()) return nullptr;
  for (QScreen* screen : QGuiApplication::screens()) {
    if (DeviceGeometry(*screen) == device) return screen;
  }
  return nullptr;
}

bool OnWayland() { return HasGui() && QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

void WatchScreens() {
  static QPointer<QGuiApplication> watched;
  if (!HasGui() || watched == qGuiApp) return;
  watched = qGuiApp;
  for (QScreen* screen : QGuiApplication::screens()) WatchGeometry(screen);
  QObject::connect(qGuiApp, &QGuiApplication::screenAdded, qGuiApp, [](QScreen* screen) {
    WatchGeometry(screen);
    NoticeDisplayChange();
  });
  QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, qGuiApp, [](QScreen*) { NoticeDisplayChange(); });
  QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, qGuiApp, [](QScreen*) { NoticeDisplayChange(); });
}

}  // namespace qt_backend

using namespace qt_backend;

std::vector<TRect> GetMonitorRects() {
  std::vector<TRect> monitors;
  if (!HasGui()) return monitors;
  const QScreen* primary = QGuiApplication::primaryScreen();
  auto add = [&monitors](const QScreen& screen) {
    const QRect area = DeviceGeometry(screen);
    monitors.emplace_back(area.left(), area.top(), area.left() + area.width(), area.top() + area.height());
  };
  if (primary) add(*primary);
  for (const QScreen* screen : QGuiApplication::screens()) {
    if (screen != primary) add(*screen);
  }
  return monitors;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  const TWindowWidget* widget = WidgetOf(window);
  if (!point || !widget) return FALSE;
  const QPoint origin = DevicePoint(widget->mapToGlobal(QPointF(0, 0)));
  point->x += origin.x();
  point->y += origin.y();
  return TRUE;
}
