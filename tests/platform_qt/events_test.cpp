// Qt's input, activation and close events arriving at a window as the messages Windows would send,
// with the same values: virtual keys, repeat counts, system keys, client positions, key flags.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <vector>

#include <gtest/gtest.h>

#include "framework.h"
#include "qt_backend.h"

namespace {

// Answers every message by writing it down.
class TRecordingWindow : public TFrameWindow {
 public:
  TRecordingWindow() : TFrameWindow(nullptr, "recording") { Attr.Style = WS_POPUP; }
  const TResponseEntry* Find(const TMessage&) const override { return &RecordEntry; }

  std::vector<TMessage> Received;

  // Messages of the kind, in order.
  std::vector<TMessage> Of(UINT kind) const {
    std::vector<TMessage> found;
    for (const TMessage& message : Received) {
      if (message.Message == kind) found.push_back(message);
    }
    return found;
  }

 private:
  static void Record(TWindow& window, TMessage& message) {
    static_cast<TRecordingWindow&>(window).Received.push_back(message);
  }
  static constexpr TResponseEntry RecordEntry{0, 0, &TRecordingWindow::Record};
};

class QtEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window.Create());
    window.MoveWindow(TRect(0, 0, 200, 100));
    window.ShowWindow(SW_SHOW);
    qt_backend::PumpMessages();
    window.Received.clear();
  }

  QWidget& Widget() { return *qt_backend::WidgetOf(window.GetHandle()); }

  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool repeat = false,
           QEvent::Type type = QEvent::KeyPress) {
    QKeyEvent event(type, key, modifiers, QString(), repeat);
    QApplication::sendEvent(&Widget(), &event);
    qt_backend::PumpMessages();
  }

  void Mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, at, Widget().mapToGlobal(at), button, buttons, modifiers);
    QApplication::sendEvent(&Widget(), &event);
    qt_backend::PumpMessages();
  }

  TRecordingWindow window;
};

TEST_F(QtEvents, KeysArriveAsVirtualKeysWithRepeatsAndSystemKeys) {
  Key(Qt::Key_Return);
  Key(Qt::Key_Return, Qt::NoModifier, true);
  Key(Qt::Key_Enter, Qt::KeypadModifier);
  Key(Qt::Key_A);
  Key(Qt::Key_Shift, Qt::ShiftModifier);
  Key(Qt::Key_Escape);
  Key(Qt::Key_Exclam, Qt::ShiftModifier);
  Key(Qt::Key_F1);
  const std::vector<TMessage> down = window.Of(WM_KEYDOWN);
  ASSERT_EQ(down.size(), 8u);
  const WPARAM keys[] = {VK_RETURN, VK_RETURN, VK_RETURN, 'A', VK_SHIFT, VK_ESCAPE, '1', VK_F1};
  for (std::size_t i = 0; i < down.size(); ++i) {
    EXPECT_EQ(down[i].WParam, keys[i]) << "key " << i;
    EXPECT_EQ(LOWORD(down[i].LParam), 1) << "repeat count of key " << i;
  }
  // A repeat has the previous-state bit, a first press has not.
  EXPECT_EQ(HIWORD(down[0].LParam) & 0x4000, 0);
  EXPECT_NE(HIWORD(down[1].LParam) & 0x4000, 0);

  // Any key with Alt, Alt itself and F10 are system keys.
  Key(Qt::Key_X, Qt::AltModifier);
  Key(Qt::Key_Alt, Qt::AltModifier);
  Key(Qt::Key_F10);
  const std::vector<TMessage> system = window.Of(WM_SYSKEYDOWN);
  ASSERT_EQ(system.size(), 3u);
  EXPECT_EQ(system[0].WParam, static_cast<WPARAM>('X'));
  EXPECT_NE(HIWORD(system[0].LParam) & 0x2000, 0);  // Alt was down
  EXPECT_EQ(system[1].WParam, VK_MENU);
  EXPECT_EQ(system[2].WParam, VK_F10);
  EXPECT_EQ(window.Of(WM_KEYDOWN).size(), 8u);

  // Releases come as key-up, except between repeats.
  Key(Qt::Key_A, Qt::NoModifier, false, QEvent::KeyRelease);
  Key(Qt::Key_A, Qt::NoModifier, true, QEvent::KeyRelease);
  ASSERT_EQ(window.Of(WM_KEYUP).size(), 1u);
  EXPECT_EQ(window.Of(WM_KEYUP)[0].WParam, static_cast<WPARAM>('A'));
}

TEST_F(QtEvents, MouseArrivesWithClientPositionsAndKeyFlags) {
  Mouse(QEvent::MouseMove, QPointF(12, 34), Qt::NoButton, Qt::NoButton);
  Mouse(QEvent::MouseMove, QPointF(13, 34), Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
  const std::vector<TMessage> moves = window.Of(WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(LOWORD(moves[0].LParam), 12);
  EXPECT_EQ(HIWORD(moves[0].LParam), 34);
  EXPECT_EQ(moves[0].WParam, 0u);
  EXPECT_EQ(moves[1].WParam, MK_LBUTTON | MK_SHIFT);

  Mouse(QEvent::MouseButtonPress, QPointF(1, 2), Qt::LeftButton, Qt::LeftButton);
  Mouse(QEvent::MouseButtonPress, QPointF(3, 4), Qt::RightButton, Qt::RightButton);
  Mouse(QEvent::MouseButtonPress, QPointF(5, 6), Qt::MiddleButton, Qt::MiddleButton);
  Mouse(QEvent::MouseButtonDblClick, QPointF(1, 2), Qt::LeftButton, Qt::LeftButton);
  ASSERT_EQ(window.Of(WM_LBUTTONDOWN).size(), 2u);
  ASSERT_EQ(window.Of(WM_RBUTTONDOWN).size(), 1u);
  ASSERT_EQ(window.Of(WM_MBUTTONDOWN).size(), 1u);
  EXPECT_EQ(window.Of(WM_RBUTTONDOWN)[0].LParam, MAKELPARAM(3, 4));
  EXPECT_EQ(window.Of(WM_MBUTTONDOWN)[0].WParam, MK_MBUTTON);
}

TEST_F(QtEvents, LosingActivationAndClosingArriveAsMessages) {
  // Another window of the program becomes active.
  TRecordingWindow other;
  ASSERT_TRUE(other.Create());
  other.ShowWindow(SW_SHOW);
  QApplication::setActiveWindow(qt_backend::WidgetOf(other.GetHandle()));
  qt_backend::PumpMessages();
  const std::vector<TMessage> activations = window.Of(WM_ACTIVATE);
  ASSERT_FALSE(activations.empty());
  EXPECT_EQ(LOWORD(activations.back().WParam), WA_INACTIVE);
  EXPECT_EQ(reinterpret_cast<HWND>(activations.back().LParam), other.GetHandle());

  // The application as a whole loses activation: every window hears of it.
  window.Received.clear();
  emit qApp->applicationStateChanged(Qt::ApplicationInactive);
  qt_backend::PumpMessages();
  ASSERT_EQ(window.Of(WM_ACTIVATEAPP).size(), 1u);
  EXPECT_EQ(window.Of(WM_ACTIVATEAPP)[0].WParam, static_cast<WPARAM>(FALSE));
  EXPECT_EQ(other.Of(WM_ACTIVATEAPP).size(), 1u);

  // The close box asks; the response table decides (this one keeps the window).
  Widget().close();
  qt_backend::PumpMessages();
  EXPECT_EQ(window.Of(WM_CLOSE).size(), 1u);
  EXPECT_TRUE(Widget().isVisible());
}

TEST(QtScreen, DesktopMetricsAndFullScreenMove) {
  RECT desktop{};
  ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &desktop));
  EXPECT_EQ(desktop.left, 0);
  EXPECT_EQ(desktop.right - desktop.left, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(desktop.bottom - desktop.top, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_GT(GetSystemMetrics(SM_CXSCREEN), 0);
  EXPECT_EQ(FindWindowA(nullptr, "Desktop"), nullptr);

  TFrameWindow window(nullptr, "full");
  window.Attr.Style = WS_POPUP;
  ASSERT_TRUE(window.Create());
  ASSERT_TRUE(window.MoveWindow(TRect(desktop.left, desktop.top, desktop.right, desktop.bottom), true));
  window.ShowWindow(SW_SHOW);
  qt_backend::PumpMessages();
  QWidget& widget = *qt_backend::WidgetOf(window.GetHandle());
  EXPECT_TRUE(widget.windowState() & Qt::WindowFullScreen);
  EXPECT_TRUE(widget.windowFlags() & Qt::FramelessWindowHint);
  RECT area{};
  ASSERT_TRUE(GetWindowRect(window.GetHandle(), &area));
  EXPECT_EQ(area.right - area.left, desktop.right - desktop.left);

  // The cursor count: hidden below zero, shown again when balanced.
  EXPECT_EQ(ShowCursor(FALSE), -1);
  EXPECT_EQ(QGuiApplication::overrideCursor() ? QGuiApplication::overrideCursor()->shape() : Qt::ArrowCursor,
            Qt::BlankCursor);
  EXPECT_EQ(ShowCursor(TRUE), 0);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
