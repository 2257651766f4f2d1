// Windows on Qt: the widget behind each window, TWindow's operations, message boxes, and the
// stand-ins for the cursor, the desktop, screen metrics and stock objects.
#include <QApplication>
#include <QBackingStore>
#include <QCursor>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include <cstdio>
#include <cstring>
#include <utility>

#include "framework_backend.h"
#include "qt_backend.h"

namespace qt_backend {
namespace {

constexpr int DefaultWidth = 640;
constexpr int DefaultHeight = 480;

struct TStockObject {
  bool Brush;
  bool Hollow;
  QRgb Color;
};
// Indexed by the stock-object number; pens 6 to 8 are listed so that their handles exist.
const TStockObject StockObjects[] = {
    {true, false, qRgb(255, 255, 255)}, {true, false, qRgb(192, 192, 192)}, {true, false, qRgb(128, 128, 128)},
    {true, false, qRgb(64, 64, 64)},    {true, false, qRgb(0, 0, 0)},       {true, true, qRgb(0, 0, 0)},
    {false, false, qRgb(255, 255, 255)}, {false, false, qRgb(0, 0, 0)},     {false, true, qRgb(0, 0, 0)},
};

// The background a class brush asks for: a colour, or none for a hollow brush.
QColor BackgroundOf(HBRUSH brush) {
  for (const TStockObject& object : StockObjects) {
    if (static_cast<const void*>(&object) != static_cast<const void*>(brush)) continue;
    return object.Hollow ? QColor() : QColor(object.Color);
  }
  return QColor(Qt::white);  // a system colour index: the window colour
}

// A child's rectangle in its parent: the parent's scale alone, no monitor's origin.
QRect ChildRect(const QRect& device, double scale) {
  return QRect(qRound(device.x() / scale), qRound(device.y() / scale), qRound(device.width() / scale),
               qRound(device.height() / scale));
}

// A top-level window that fills a monitor, any monitor, is full-screen on that monitor's screen: only
// that state puts it over panels and docks on X11, and on Wayland, where a program places no window,
// asking for full screen on an output is the one way to put a window there.
void FillsMonitor(TWindowWidget& widget, const QRect& device) {
  QScreen* screen = widget.isWindow() ? ScreenWithDeviceRect(device) : nullptr;
  widget.WantsFullScreen = screen != nullptr;
  widget.FullScreenOn = screen;
  // The window manager of a compositor's X server puts every window it manages on the focused output,
  // so a window that covers a monitor without ever taking the keyboard is left unmanaged there: it
  // stays where it is put. (One that needs the keyboard must stay managed: that window manager takes
  // the focus back from any window it did not give it to.)
  if (screen && !widget.isVisible() && widget.testAttribute(Qt::WA_ShowWithoutActivating) && OnXWayland()) {
    widget.setWindowFlag(Qt::X11BypassWindowManagerHint);
    widget.setWindowFlag(Qt::Tool);
  }
}

// Without QWidget::showFullScreen's activation: a window that never takes the focus must not ask for it.
void ShowFullScreen(TWindowWidget& widget) {
  if (widget.FullScreenOn && widget.screen() != widget.FullScreenOn) widget.setScreen(widget.FullScreenOn);
  widget.setWindowState((widget.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)) | Qt::WindowFullScreen);
  widget.setVisible(true);
}

// A pixmap cursor of one transparent pixel: Qt's Wayland platform hides the pointer for a blank cursor
// only where it had shown a cursor of its own, and the compositor's stays over a window that never did.
QCursor HiddenCursor() {
  QPixmap pixel(1, 1);
  pixel.fill(Qt::transparent);
  return QCursor(pixel, 0, 0);
}

}  // namespace

TWindowWidget::TWindowWidget(QWidget* parent, Qt::WindowFlags flags, bool dialog)
    : QWidget(parent, flags), Dialog(dialog), Background(Qt::white) {
  if (!Dialog) {
    // The picture covers the whole client area, so Qt need not erase behind it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
  }
}

TWindowWidget::~TWindowWidget() {
  // Deleted with its parent widget: the window object loses its handle.
  if (Handle) {
    if (TWindow* owner = WindowOf(Handle)) owner->SetHandle(nullptr);
    UnregisterWindow(Handle);
  }
}

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

TControl* TWindowWidget::Control(int id) {
  for (TControl& control : Controls) {
    if (control.Id == id) return &control;
  }
  return nullptr;
}

const TControl* TWindowWidget::Control(int id) const {
  for (const TControl& control : Controls) {
    if (control.Id == id) return &control;
  }
  return nullptr;
}

bool TWindowWidget::event(QEvent* event) {
  // Qt resizes or drops the backing store after these, so the picture leaves it first.
  if (event->type() == QEvent::Resize || event->type() == QEvent::ParentAboutToChange) MoveOutOfStore();
  if (event->type() == QEvent::Resize || event->type() == QEvent::Show) ResizePicture();
  // A Wayland compositor may hold a window's new state until the window shows a frame drawn for it,
  // and Qt draws none when the size stays the same.
  if (event->type() == QEvent::WindowStateChange && isWindow()) update();
  TMessage message;
  if (!Handle || !TranslateEvent(*this, *event, message)) return QWidget::event(event);
  // A dialog's keys and clicks belong to its controls; it hears only of activation and closing.
  if (Dialog && message.Message != WM_CLOSE && message.Message != WM_ACTIVATE) return QWidget::event(event);
  Post(Handle, message.Message, message.WParam, message.LParam);
  if (event->type() == QEvent::Close) {
    // The response table decides whether the window goes.
    event->ignore();
    return true;
  }
  if (event->type() == QEvent::ActivationChange || event->type() == QEvent::Resize) return QWidget::event(event);
  event->accept();
  return true;
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

// The dialog manager's keys: Escape cancels, Enter presses the focused or the default button.
void TWindowWidget::keyPressEvent(QKeyEvent* event) {
  if (!Dialog || !Handle) {
    QWidget::keyPressEvent(event);
    return;
  }
  int command = 0;
  if (event->key() == Qt::Key_Escape) {
    command = IDCANCEL;
  } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    command = DefaultCommand;
    for (const TControl& control : Controls) {
      if (control.Widget == focusWidget() && qobject_cast<QPushButton*>(control.Widget)) command = control.Id;
    }
  }
  if (!command) {
    QWidget::keyPressEvent(event);
    return;
  }
  Post(Handle, WM_COMMAND, MAKEWPARAM(command, 0), 0);
  event->accept();
}

void BringToFront(QWidget& window) {
  // A window inside another program's never takes the focus from it.
  if (IsEmbedded(window)) return;
  const QString platform = QGuiApplication::platformName();
  if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal")) window.raise();
  window.activateWindow();
}

}  // namespace qt_backend

using namespace qt_backend;

// --- TModule ----------------------------------------------------------------------------------

// A module is its own handle: the program's resources are built in, whichever module asks.
HINSTANCE TModule::GetHandle() const { return reinterpret_cast<HINSTANCE>(const_cast<TModule*>(this)); }

// --- TWindow ----------------------------------------------------------------------------------

TWindow::TWindow(HWND existing, TModule* module) : Module(module), Handle(existing), Alias(true) {}

TWindow::~TWindow() {
  if (!Alias && Handle) Destroy(0);
}

const char* TWindow::GetClassName() { return "TesmarWindow"; }

void TWindow::GetWindowClass(WNDCLASS& windowClass) {
  windowClass.style = 0;
  windowClass.lpfnWndProc = nullptr;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = Module ? Module->GetHandle() : ProgramModule().GetHandle();
  windowClass.hIcon = nullptr;
  windowClass.hCursor = nullptr;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = GetClassName();
}

bool TWindow::Create() {
  if (Handle) return true;
  if (!HasGui()) {
    FrameworkTrace("no display: cannot create a window");
    return false;
  }
  WNDCLASS windowClass{};
  GetWindowClass(windowClass);
  // The class's icon and its save-bits flag have no Qt counterpart: the window manager keeps the
  // screen under a window, and the window shows no icon of its own.
  QWidget* parentWidget = Parent ? WidgetOf(Parent->GetHandle()) : nullptr;
  const bool child = (Attr.Style & WS_CHILD) && parentWidget;
  Qt::WindowFlags flags;
  if (!child) {
    flags = Qt::Window;
    if ((Attr.Style & WS_POPUP) && (Attr.Style & WS_CAPTION) != WS_CAPTION) flags |= Qt::FramelessWindowHint;
  }
  auto* widget = new TWindowWidget(parentWidget, flags, false);
  widget->setObjectName(QString::fromUtf8(windowClass.lpszClassName ? windowClass.lpszClassName : GetClassName()));
  widget->setWindowTitle(QString::fromStdString(Title));
  widget->Background = BackgroundOf(windowClass.hbrBackground);
  if (Attr.ExStyle & WS_EX_NOACTIVATE) {
    widget->setAttribute(Qt::WA_ShowWithoutActivating);
    widget->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
  }
  if (Attr.W > 0 && Attr.H > 0) {
    const QRect device(Attr.X, Attr.Y, Attr.W, Attr.H);
    widget->setGeometry(child ? ChildRect(device, widget->Scale()) : LogicalRect(device));
    FillsMonitor(*widget, device);
  } else {
    widget->resize(DefaultWidth, DefaultHeight);
  }
  Handle = RegisterWindow(this, widget);
  widget->Handle = Handle;
  if (Parent && IsForeignWindow(Parent->GetHandle()) && !EmbedInForeignWindow(*widget, Parent->GetHandle())) {
    Destroy(0);
    return false;
  }
  WatchApplicationState();
  WatchScreens();
  SetupWindow();
  return true;
}

void TWindow::Destroy(int /*returnValue*/) {
  if (Alias || !Handle) return;
  CleanupWindow();
  const HWND handle = Handle;
  Handle = nullptr;
  TWindowWidget* widget = WidgetOf(handle);
  UnregisterWindow(handle);
  if (widget) {
    widget->Handle = nullptr;
    widget->hide();
    delete widget;
  }
}

void TWindow::SetParent(TWindow* newParent) {
  Parent = newParent;
  TWindowWidget* widget = WidgetOf(Handle);
  if (!widget) return;
  QWidget* parentWidget = newParent ? WidgetOf(newParent->GetHandle()) : nullptr;
  const bool visible = widget->isVisible();
  widget->setParent(parentWidget, widget->windowFlags());
  if (visible) widget->show();
}

bool TWindow::ShowWindow(int command) {
  TWindowWidget* widget = WidgetOf(Handle);
  if (!widget) return false;
  const bool wasVisible = widget->isVisible();
  constexpr int ShowMinimized = 2, ShowMaximized = 3, ShowNoActivate = 4, Minimize = 6, ShowMinNoActive = 7,
                ShowNA = 8;
  switch (command) {
    case SW_HIDE:
      widget->hide();
      return wasVisible;
    case ShowMinimized:
    case Minimize:
    case ShowMinNoActive:
      widget->showMinimized();
      return wasVisible;
    case ShowMaximized:
      widget->showMaximized();
      break;
    default:
      if (widget->WantsFullScreen && widget->isWindow()) {
        ShowFullScreen(*widget);
      } else {
        widget->show();
      }
      break;
  }
  if (widget->isWindow() && command != ShowNoActivate && command != ShowNA) BringToFront(*widget);
  return wasVisible;
}

bool TWindow::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return PostMessageA(Handle, message, wParam, lParam) != FALSE;
}

LRESULT TWindow::DefaultProcessing() {
  const TMessage* message = GetCurrentMessage();
  if (!message) return 0;
  if (message->Message == WM_CLOSE) {
    Destroy(0);
  } else if (message->Message == WM_SYSCOMMAND) {
    TWindowWidget* widget = WidgetOf(Handle);
    switch (message->WParam & 0xFFF0) {
      case SC_CLOSE: PostMessage(WM_CLOSE); break;
      case SC_MINIMIZE: if (widget) widget->showMinimized(); break;
      case SC_MAXIMIZE: if (widget) widget->showMaximized(); break;
      case SC_RESTORE: if (widget) widget->showNormal(); break;
      default: break;  // nothing else has a meaning here, the screen saver's command included
    }
  }
  return 0;
}

void TWindow::Invalidate(bool erase) {
  // Other programs' windows repaint themselves; with no handle, repaint all of ours.
  std::vector<HWND> windows = Handle ? std::vector<HWND>{Handle} : RegisteredWindows();
  for (HWND window : windows) {
    if (TWindowWidget* widget = WidgetOf(window)) {
      if (erase) widget->Erase();
      widget->update();
    }
  }
}

bool TWindow::MoveWindow(const TRect& rect, bool repaint) {
  TWindowWidget* widget = WidgetOf(Handle);
  if (!widget) return false;
  const QRect device(rect.left, rect.top, rect.Width(), rect.Height());
  const QRect logical = widget->isWindow() ? LogicalRect(device) : ChildRect(device, widget->Scale());
  FillsMonitor(*widget, device);
  widget->setGeometry(logical);
  if (widget->isVisible() && widget->isWindow()) {
    const Qt::WindowStates state = widget->windowState();
    if (widget->WantsFullScreen) {
      ShowFullScreen(*widget);
    } else {
      widget->setWindowState(state & ~Qt::WindowFullScreen);
    }
  }
  if (repaint) widget->update();
  return true;
}

bool TWindow::KillTimer(UINT timerId) { return ::KillTimer(Handle, timerId) != FALSE; }

int ShowSystemMessageBox(HWND owner, const char* text, const char* caption, UINT type) {

  constexpr int IdIgnore = 5, IdYes = 6, IdNo = 7;
  using Button = QMessageBox::StandardButton;
  const std::pair<Button, int> choices[6][3] = {
      {{Button::Ok, IDOK}},
      {{Button::Ok, IDOK}, {Button::Cancel, IDCANCEL}},
      {{Button::Abort, IDABORT}, {Button::Retry, IDRETRY}, {Button::Ignore, IdIgnore}},
      {{Button::Yes, IdYes}, {Button::No, IdNo}, {Button::Cancel, IDCANCEL}},
      {{Button::Yes, IdYes}, {Button::No, IdNo}},
      {{Button::Retry, IDRETRY}, {Button::Cancel, IDCANCEL}},
  };
  const UINT kind = (type & 0xF) < 6 ? (type & 0xF) : 0;

  // On standard error too: a host's log or a terminal keeps what the box said.
  std::fprintf(stderr, "%s: %s\n", caption, text);
  if (!HasGui()) {
    // Nobody can answer: take the safe way out.
    for (const auto& [button, id] : choices[kind]) {
      if (id == IDCANCEL) return IDCANCEL;
    }
    return choices[kind][0].second;
  }

  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (type & 0xF0) {
    case MB_ICONHAND: icon = QMessageBox::Critical; break;
    case 0x20: icon = QMessageBox::Question; break;
    case MB_ICONEXCLAMATION: icon = QMessageBox::Warning; break;
    case 0x40: icon = QMessageBox::Information; break;
    default: break;
  }
  QMessageBox::StandardButtons buttons;
  for (const auto& [button, id] : choices[kind]) {
    if (id) buttons |= button;
  }
  QMessageBox box(icon, QString::fromUtf8(caption), QString::fromUtf8(text), buttons, WidgetOf(owner));
  box.setDefaultButton(choices[kind][0].first);
  const int pressed = ExecModal(box);
  for (const auto& [button, id] : choices[kind]) {
    if (id && pressed == button) return id;
  }
  return IDCANCEL;
}


// --- the stand-ins for the cursor, the desktop and the screen ------------------------------------

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
  if (object < 0 || object >= static_cast<int>(std::size(StockObjects))) return nullptr;
  return const_cast<TStockObject*>(&StockObjects[object]);
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
