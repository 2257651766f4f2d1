// Qt's input, activation and close events as the window messages Windows would send for them.
// Every translation lives here, so both back ends hand the response tables the same values.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>

#include <algorithm>

#include "qt_backend.h"

namespace qt_backend {
namespace {

// Shifted symbols of a US keyboard map to the key that carries them.
UINT SymbolKey(int key) {
  switch (key) {
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    case Qt::Key_Semicolon: case Qt::Key_Colon: return VK_OEM_1;
    case Qt::Key_Equal: case Qt::Key_Plus: return VK_OEM_PLUS;
    case Qt::Key_Comma: case Qt::Key_Less: return VK_OEM_COMMA;
    case Qt::Key_Minus: case Qt::Key_Underscore: return VK_OEM_MINUS;
    case Qt::Key_Period: case Qt::Key_Greater: return VK_OEM_PERIOD;
    case Qt::Key_Slash: case Qt::Key_Question: return VK_OEM_2;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return VK_OEM_3;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return VK_OEM_4;
    case Qt::Key_Backslash: case Qt::Key_Bar: return VK_OEM_5;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return VK_OEM_6;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return VK_OEM_7;
    default: return 0;
  }
}

UINT MouseKeyFlags(const QSinglePointEvent& event) {
  UINT flags = 0;
  if (event.buttons() & Qt::LeftButton) flags |= MK_LBUTTON;
  if (event.buttons() & Qt::RightButton) flags |= MK_RBUTTON;
  if (event.buttons() & Qt::MiddleButton) flags |= MK_MBUTTON;
  if (event.modifiers() & Qt::ShiftModifier) flags |= MK_SHIFT;
  if (event.modifiers() & Qt::ControlModifier) flags |= MK_CONTROL;
  return flags;
}

// Through the desktop's device pixels, where the cursor's position is taken too, so that the two
// agree at any scale.
LPARAM ClientPoint(const QWidget& widget, const QSinglePointEvent& event) {
  const QPoint point = DeviceEventPoint(event.globalPosition());
  const QPoint origin = DevicePoint(widget.mapToGlobal(QPointF(0, 0)));
  return MAKELPARAM(point.x() - origin.x(), point.y() - origin.y());
}

bool TranslateKey(const QKeyEvent& event, bool down, TMessage& message) {
  const UINT key = VirtualKey(event);
  const bool alt = (event.modifiers() & Qt::AltModifier) || key == VK_MENU;
  // Any key with Alt, and F10, are system keys.
  const bool system = alt || key == VK_F10;
  if (!down && event.isAutoRepeat()) return false;  // the system sends no key-up between repeats
  message.Message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
  message.WParam = key;
  // The key-data word: repeat count, scan code, extended, context (Alt), previous state, transition.
  const quint32 native = event.nativeScanCode();
  const UINT scanCode = native > 8 ? (native - 8) & 0xFF : 0;  // X keycodes are PC scan codes + 8
  UINT keyData = scanCode;
  if (event.modifiers() & Qt::KeypadModifier) keyData |= KF_EXTENDED;
  if (alt) keyData |= KF_ALTDOWN;
  if (!down || event.isAutoRepeat()) keyData |= KF_REPEAT;
  if (!down) keyData |= KF_UP;
  const int repeat = std::max(1, event.count());
  message.LParam = MAKELPARAM(down ? repeat : 1, keyData);
  return true;
}

}  // namespace

UINT VirtualKey(const QKeyEvent& event) {
  const int key = event.key();
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<UINT>('A' + (key - Qt::Key_A));
  if (key >= Qt::Key_0 && key <= Qt::Key_9) {
    const UINT digit = static_cast<UINT>(key - Qt::Key_0);
    return (event.modifiers() & Qt::KeypadModifier) ? VK_NUMPAD0 + digit : '0' + digit;
  }
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + static_cast<UINT>(key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Return: case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Tab: case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: case Qt::Key_AltGr: return VK_MENU;
    case Qt::Key_Meta: case Qt::Key_Super_L: case Qt::Key_Super_R: return VK_LWIN;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    case Qt::Key_Print: return VK_SNAPSHOT;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    default: break;
  }
  if (const UINT symbol = SymbolKey(key)) return symbol;
  return UnmappedKey;
}

bool TranslateEvent(QWidget& widget, QEvent& event, TMessage& message) {
  message = TMessage{};
  switch (event.type()) {
    case QEvent::KeyPress:
      return TranslateKey(static_cast<QKeyEvent&>(event), true, message);
    case QEvent::KeyRelease:
      return TranslateKey(static_cast<QKeyEvent&>(event), false, message);
    case QEvent::MouseMove: {
      const auto& mouse = static_cast<QMouseEvent&>(event);
      message = TMessage{WM_MOUSEMOVE, MouseKeyFlags(mouse), ClientPoint(widget, mouse), 0};
      return true;
    }
    // The system sends a mouse move where the cursor comes over a window, also one shown under a still
    // cursor. On Wayland the compositor's enter is often the first the pointer's position is told at
    // all. On X11 motion events tell it, and Qt's enters there carry the cursor position Qt last knew,
    // which under XWayland is stale until the pointer has been over one of its windows.
    case QEvent::Enter: {
      if (!OnWayland()) return false;
      const auto& enter = static_cast<QEnterEvent&>(event);
      message = TMessage{WM_MOUSEMOVE, MouseKeyFlags(enter), ClientPoint(widget, enter), 0};
      return true;
    }
    // Without the class's double-click style a second click is another button-down.
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease: {
      const auto& mouse = static_cast<QMouseEvent&>(event);
      const bool down = event.type() != QEvent::MouseButtonRelease;
      switch (mouse.button()) {
        case Qt::LeftButton: message.Message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
        case Qt::RightButton: message.Message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
        case Qt::MiddleButton: message.Message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
        default: return false;
      }
      message.WParam = MouseKeyFlags(mouse);
      message.LParam = ClientPoint(widget, mouse);
      return true;
    }
    case QEvent::ActivationChange: {
      const bool active = widget.isActiveWindow();
      message.Message = WM_ACTIVATE;
      message.WParam = MAKEWPARAM(active ? WA_ACTIVE : WA_INACTIVE, widget.isMinimized() ? 1 : 0);
      // The other window, when it is one of ours.
      QWidget* other = active ? nullptr : QApplication::activeWindow();
      if (auto* otherWindow = dynamic_cast<TWindowWidget*>(other)) {
        message.LParam = reinterpret_cast<LPARAM>(otherWindow->Handle);
      }
      return true;
    }
    case QEvent::Close:
      message.Message = WM_CLOSE;
      return true;
    case QEvent::Resize: {
      // The new client size in device pixels, as the system reports it.
      const QSize size = static_cast<QResizeEvent&>(event).size();
      const double scale = widget.devicePixelRatioF();
      message = TMessage{WM_SIZE, 0, MAKELPARAM(qRound(size.width() * scale), qRound(size.height() * scale)), 0};
      return true;
    }
    default:
      return false;
  }
}

void WatchApplicationState() {
  static QPointer<QGuiApplication> watched;
  if (!HasGui() || watched == qGuiApp) return;
  watched = qGuiApp;
  QObject::connect(qGuiApp, &QGuiApplication::applicationStateChanged, qGuiApp,
                   [](Qt::ApplicationState state) {
                     const bool active = state == Qt::ApplicationActive;
                     for (HWND window : RegisteredWindows()) {
                       TWindowWidget* widget = WidgetOf(window);
                       if (widget && widget->isWindow()) Post(window, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
                     }
                   });
}

}  // namespace qt_backend
