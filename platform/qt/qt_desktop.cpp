// The stand-ins for the cursor, the desktop, the screen's metrics and the stock drawing objects.
#include <QCursor>
#include <QGuiApplication>
#include <QPixmap>

#include "qt_backend.h"

namespace qt_backend {
namespace {

struct TStockObject {
  int Number;
  bool Brush;
  bool Hollow;
  QRgb Color;
};
// The pens are listed so that their handles exist.
const TStockObject StockObjects[] = {
    {WHITE_BRUSH, true, false, qRgb(255, 255, 255)}, {LTGRAY_BRUSH, true, false, qRgb(192, 192, 192)},
    {GRAY_BRUSH, true, false, qRgb(128, 128, 128)},  {DKGRAY_BRUSH, true, false, qRgb(64, 64, 64)},
    {BLACK_BRUSH, true, false, qRgb(0, 0, 0)},       {NULL_BRUSH, true, true, qRgb(0, 0, 0)},
    {WHITE_PEN, false, false, qRgb(255, 255, 255)},  {BLACK_PEN, false, false, qRgb(0, 0, 0)},
    {NULL_PEN, false, true, qRgb(0, 0, 0)},
};

// A pixmap cursor of one transparent pixel: Qt's Wayland platform hides the pointer for a blank cursor
// only where it had shown a cursor of its own, and the compositor's stays over a window that never did.
QCursor HiddenCursor() {
  QPixmap pixel(1, 1);
  pixel.fill(Qt::transparent);
  return QCursor(pixel, 0, 0);
}

}  // namespace

QColor ClassBackground(HBRUSH brush) {
  for (const TStockObject& object : StockObjects) {
    if (static_cast<const void*>(&object) != static_cast<const void*>(brush)) continue;
    return object.Hollow ? QColor() : QColor(object.Color);
  }
  return QColor(Qt::white);  // a system colour index: the window colour
}

}  // namespace qt_backend

using namespace qt_backend;

int ShowCursor(BOOL show) {
  static int displayCount = 0;
  static bool hidden = false;
  displayCount += show ? 1 : -1;
  const bool hide = displayCount < 0;
  if (hide != hidden && HasGui()) {
    if (hide) {
      QGuiApplication::setOverrideCursor(OnWayland() ? HiddenCursor() : QCursor(Qt::BlankCursor));
    } else {
      QGuiApplication::restoreOverrideCursor();
    }
    hidden = hide;
  }
  return displayCount;
}

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  point->x = point->y = 0;
  // A Wayland program learns where the pointer is only when it comes over one of its windows; so
  // does a compositor's X server, which hears of the pointer only over its own windows.
  if (!HasGui() || OnWayland() || OnXWayland()) return FALSE;
  const QPoint position = DeviceCursorPos();
  point->x = static_cast<LONG>(position.x());
  point->y = static_cast<LONG>(position.y());
  return TRUE;
}

HWND GetDesktopWindow() { return DesktopHandle(); }

BOOL GetWindowRect(HWND window, RECT* rect) {
  if (!rect) return FALSE;
  QRect area;
  if (window == DesktopHandle()) {
    area = ScreenRect();
  } else if (TWindowWidget* widget = WidgetOf(window)) {
    const QRect frame = widget->isWindow() ? widget->frameGeometry() : QRect(widget->mapToGlobal(QPoint()), widget->size());
    area = DeviceRect(frame);
  } else {
    return FALSE;
  }
  if (area.isNull()) return FALSE;
  *rect = RECT{area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
  return TRUE;
}

HGDIOBJ GetStockObject(int object) {
  for (const TStockObject& stock : StockObjects) {
    if (stock.Number == object) return const_cast<TStockObject*>(&stock);
  }
  return nullptr;
}

int GetSystemMetrics(int index) {
  const QRect screen = ScreenRect();
  switch (index) {
    case SM_CXSCREEN: return screen.width();
    case SM_CYSCREEN: return screen.height();
    default: return 0;
  }
}

// Linux has no desktop dialog for a screen saver's settings to belong to.
HWND FindWindowA(LPCSTR /*className*/, LPCSTR /*windowName*/) { return nullptr; }
