// The picture behind a window's client area, in device pixels: an image of the widget's own, or, once a
// top-level window is on the screen, the window's backing store itself, so that a frame reaches the
// display with one copy and one flush. Drawing contexts write into it between BeginDrawing and EndDrawing.
#include <QBackingStore>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>

#include <cstring>
#include <utility>

#include "qt_backend.h"

namespace qt_backend {

double TWindowWidget::Scale() const { return devicePixelRatioF(); }

QSize TWindowWidget::WantedSize() const {
  const double scale = Scale();
  return QSize(qRound(width() * scale), qRound(height() * scale));
}

QRect TWindowWidget::Logical(const QRect& deviceRect) const {
  const double scale = Scale();
  if (scale == 1.0) return deviceRect;
  return QRectF(deviceRect.x() / scale, deviceRect.y() / scale, deviceRect.width() / scale,
                deviceRect.height() / scale)
      .toAlignedRect();
}

QRegion TWindowWidget::Logical(const QRegion& deviceArea) const {
  if (Scale() == 1.0) return deviceArea;
  QRegion logical;
  for (const QRect& rect : deviceArea) logical += Logical(rect);
  return logical;
}

void TWindowWidget::ResizePicture() {
  if (InStore) return;
  const QSize wanted = WantedSize();
  if (wanted == Image.size()) return;
  QImage fresh(wanted, QImage::Format_RGB32);
  if (fresh.isNull()) {
    FrameworkTrace("cannot make the window's picture");
    Image = QImage();
    return;
  }
  // Without a background the class erases nothing; Qt cannot show what was under the window,
  // so new parts start black.
  fresh.fill(Background.isValid() ? Background.rgb() : qRgb(0, 0, 0));
  Contents.Repaint.AddAll();
  if (!Image.isNull()) {
    QPainter painter(&fresh);
    painter.drawImage(0, 0, Image);
  }
  Image = std::move(fresh);
}

QImage* TWindowWidget::StorePixels(QBackingStore& store) {
  auto* pixels = dynamic_cast<QImage*>(store.paintDevice());
  if (!pixels || pixels->isNull()) return nullptr;
  // The formats Qt gives opaque windows; both hold an opaque pixel as the same 32 bits.
  if (pixels->format() != QImage::Format_RGB32 && pixels->format() != QImage::Format_ARGB32_Premultiplied) {
    return nullptr;
  }
  // The store's own image may carry the screen's scale, which would scale our painting: the view
  // has none. Its header is remade only when the store's pixels move.
  auto* bits = const_cast<uchar*>(pixels->constBits());
  if (StoreView.constBits() != bits || StoreView.size() != pixels->size() ||
      StoreView.bytesPerLine() != pixels->bytesPerLine() || StoreView.format() != pixels->format()) {
    StoreView = QImage(bits, pixels->width(), pixels->height(), pixels->bytesPerLine(), pixels->format());
  }
  return &StoreView;
}

bool TWindowWidget::StoreHoldsPicture() {
  if (!InStore) return false;
  QImage* pixels = backingStore() == Store ? StorePixels(*Store) : nullptr;
  if (pixels && pixels->size() == StoreSize && StoreSize == WantedSize()) return true;
  if (pixels && pixels->size() == StoreSize) {
    // The window's scale changed: the store still holds the picture at the old size.
    MoveOutOfStore();
    return false;
  }
  // Qt remade the store without a resize this widget heard of: what it held is gone.
  FrameworkTrace("the window's backing store was remade: its picture is lost");
  InStore = false;
  Store = nullptr;
  StoreView = QImage();
  Image = QImage();
  ResizePicture();
  return false;
}

// Once the window is on the screen and Qt has sized its store, the picture moves there for good:
// from then on block copies and painting write straight into what Qt puts on the screen.
void TWindowWidget::MoveIntoStore() {
  if (InStore || Dialog || !isWindow() || !isVisible()) return;
  const QWindow* window = windowHandle();
  QBackingStore* store = backingStore();
  if (!window || !window->isExposed() || !store || store->size() != size()) return;
  ResizePicture();
  if (Image.isNull()) return;
  const QRect all(QPoint(), Image.size());
  store->beginPaint(Logical(all));
  QImage* pixels = StorePixels(*store);
  if (!pixels || pixels->size() != Image.size()) {
    store->endPaint();
    StoreView = QImage();
    return;
  }
  const std::size_t rowBytes = static_cast<std::size_t>(Image.width()) * 4;
  for (int y = 0; y < Image.height(); ++y) std::memcpy(pixels->scanLine(y), Image.constScanLine(y), rowBytes);
  store->endPaint();
  store->flush(Logical(all));
  InStore = true;
  Store = store;
  StoreSize = Image.size();
  Image = QImage();
}

void TWindowWidget::MoveOutOfStore() {
  if (!InStore) return;
  QImage* pixels = backingStore() == Store ? StorePixels(*Store) : nullptr;
  if (pixels && pixels->size() == StoreSize) {
    Image = pixels->copy();
    Image.reinterpretAsFormat(QImage::Format_RGB32);
  } else {
    Image = QImage();
  }
  InStore = false;
  Store = nullptr;
  StoreView = QImage();
  ResizePicture();
}

QImage& TWindowWidget::Picture() {
  if (StoreHoldsPicture()) return StoreView;
  ResizePicture();
  return Image;
}

QImage* TWindowWidget::BeginDrawing(const QRegion& deviceArea) {
  if (!InStore) MoveIntoStore();
  if (StoreHoldsPicture()) {
    Store->beginPaint(Logical(deviceArea));
    // A store with more than one buffer may hand out other pixels now, with the picture in them.
    QImage* pixels = StorePixels(*Store);
    if (pixels && pixels->size() == StoreSize) {
      Drawing = true;
      return pixels;
    }
    Store->endPaint();
    MoveOutOfStore();
  }
  ResizePicture();
  return Image.isNull() ? nullptr : &Image;
}

void TWindowWidget::EndDrawing(const QRegion& deviceArea) {
  if (!Drawing) {
    update(Logical(deviceArea));
    return;
  }
  Drawing = false;
  Store->endPaint();
  // A window that is not exposed gets the store flushed by Qt when it is exposed again.
  const QWindow* window = windowHandle();
  if (window && window->isExposed()) Store->flush(Logical(deviceArea));
}

void TWindowWidget::Erase() {
  const QRect all(QPoint(), WantedSize());
  if (!Background.isValid()) {
    ResizePicture();
    return;
  }
  if (QImage* picture = BeginDrawing(all)) picture->fill(Background.rgb());
  EndDrawing(all);
  Contents.Repaint.AddAll();
}

void TWindowWidget::paintEvent(QPaintEvent* event) {
  const QRect area = event->rect();
  const double scale = Scale();
  if (StoreHoldsPicture()) {
    // The store Qt paints into holds the picture, unless it cleared that part for this paint: the
    // next block copy to the window brings it back.
    const QRect device = QRectF(area.x() * scale, area.y() * scale, area.width() * scale, area.height() * scale)
                             .toAlignedRect();
    Contents.Repaint.Add(TRect(device.left(), device.top(), device.left() + device.width(),
                               device.top() + device.height()));
    return;
  }
  QPainter painter(this);
  if (Dialog || Image.isNull()) {
    painter.fillRect(area, Dialog ? palette().window().color() : QColor(Qt::black));
    return;
  }
  const QRectF source(area.x() * scale, area.y() * scale, area.width() * scale, area.height() * scale);
  painter.drawImage(QRectF(area), Image, source);
}

}  // namespace qt_backend
