// Windows on Qt: TWindow's operations (creating, showing, moving and destroying the widget behind a
// window, the system's default handling of its messages) and bringing a window to the front.
#include <QGuiApplication>
#include <QScreen>

#include <vector>

#include "qt_backend.h"

namespace qt_backend {
namespace {

constexpr int DefaultWidth = 640;
constexpr int DefaultHeight = 480;

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

}  // namespace

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
  widget->Background = ClassBackground(windowClass.hbrBackground);
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
  switch (command) {
    case SW_HIDE:
      widget->hide();
      return wasVisible;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
      widget->showMinimized();
      return wasVisible;
    case SW_SHOWMAXIMIZED:
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
  if (widget->isWindow() && command != SW_SHOWNOACTIVATE && command != SW_SHOWNA) BringToFront(*widget);
  return wasVisible;
}

LRESULT TWindow::DefaultProcessing() {
  const TMessage* message = GetCurrentMessage();
  if (!message) return 0;
  if (message->Message == WM_CLOSE) {
    Destroy(0);
  } else if (message->Message == WM_SYSCOMMAND) {
    TWindowWidget* widget = WidgetOf(Handle);
    // The low four bits of a system command are the system's own.
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

