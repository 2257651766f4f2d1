// Internals the Qt back end shares between its files: the window registry, the posted-message queue,
// the widget behind every window, and the translation of Qt's events into window messages.
#pragma once

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QWidget>

#include <string>
#include <vector>

#include "damage.h"
#include "framework.h"

class QBackingStore;
class QDialog;
class QEvent;
class QKeyEvent;

namespace qt_backend {

class TWindowWidget;

// True when a QGuiApplication exists; without one there are no windows, screens or events.
bool HasGui();

// --- windows ----------------------------------------------------------------------------------
// Handles are registry ids, never reused, so a message posted to a window that has gone is dropped.
HWND RegisterWindow(TWindow* owner, TWindowWidget* widget);
void UnregisterWindow(HWND handle);
TWindowWidget* WidgetOf(HWND handle);
TWindow* WindowOf(HWND handle);
std::vector<HWND> RegisteredWindows();
HWND DesktopHandle();

// Raises and activates a top-level window (off-screen platforms have no stacking to change).
void BringToFront(QWidget& window);

// The background a window class's brush asks for: a colour, or an invalid colour for a hollow brush
// (qt_desktop.cpp, beside the stock objects).
QColor ClassBackground(HBRUSH brush);

// --- windows of other programs (qt_host_window.cpp) ---------------------------------------------
bool IsForeignWindow(HWND handle);
// Makes the widget's window a child of that foreign window, sized to it and transparent for input.
bool EmbedInForeignWindow(TWindowWidget& widget, HWND parent);
// True for a window that lives inside another window rather than on the desktop.
bool IsEmbedded(const QWidget& widget);

// The primary screen in device pixels, and its device pixels per Qt logical pixel.
QRect ScreenRect();
double ScreenScale();

// Points and rectangles of the desktop between Qt's logical pixels and device pixels.
QPoint DevicePoint(const QPointF& logical);
QPointF LogicalPoint(const QPoint& device);
QRect DeviceRect(const QRect& logical);
QRect LogicalRect(const QRect& device);
// The cursor's position on the desktop in device pixels.
QPoint DeviceCursorPos();
// The device pixel of a mouse event's position on the desktop; the cursor's exact one when it lies
// in the logical pixel the event gives.
QPoint DeviceEventPoint(const QPointF& logical);
// The screen whose device pixels are exactly `device`, or null.
QScreen* ScreenWithDeviceRect(const QRect& device);
// True on Qt's Wayland platform, where a program learns the pointer's position only from events in
// its own windows and places no window itself.
bool OnWayland();
// True on X11 through a Wayland compositor's X server, whose window manager puts every window it
// manages on the focused output.
bool OnXWayland();
// Starts posting WM_DISPLAYCHANGE to every top-level window when screens come, go or change.
void WatchScreens();

// --- the message queue ------------------------------------------------------------------------
bool Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
bool QueueEmpty();

struct TPumpResult {
  int Dispatched = 0;
  bool Quit = false;
  int QuitCode = 0;
};
// Lets Qt deliver its pending events, then dispatches posted messages until none is left or WM_QUIT.
TPumpResult PumpMessages();
// Blocks until a message is queued (returns at once without a GUI, where nothing could arrive).
void WaitForMessage();
// Blocks until a message is queued or the tick count (GetTickCount) reaches `tick`.
void WaitForMessageUntil(DWORD tick);

void KillTimersOf(HWND window);

// Runs a dialog of Qt's own (a message box, the file dialog) modally. Qt's loop inside it dispatches
// none of the posted messages, so a close posted meanwhile waits for the user to answer.
int ExecModal(QDialog& dialog);
// True while such a dialog runs.
bool InModalDialog();

// --- translation of Qt events (the one place) -------------------------------------------------
// Fills `message` with the window message that the event stands for; false when it stands for none.
// Positions come out in device pixels of the widget's client area.
bool TranslateEvent(QWidget& widget, QEvent& event, TMessage& message);
// What VirtualKey gives for a key Windows has no code for (a code no key of Windows has).
constexpr UINT UnmappedKey = 0xFF;
// The Windows virtual-key code of a key event, or UnmappedKey.
UINT VirtualKey(const QKeyEvent& event);
// Starts posting WM_ACTIVATEAPP to every window when the application gains or loses activation.
void WatchApplicationState();

// --- the widget behind a window (qt_window_widget.cpp; its picture: qt_backing_picture.cpp) ------
struct TControl {
  int Id = 0;
  int Group = 0;      // controls between two WS_GROUP controls share a group
  bool AutoRadio = false;
  QWidget* Widget = nullptr;
};

class TWindowWidget : public QWidget {
 public:
  TWindowWidget(QWidget* parent, Qt::WindowFlags flags, bool dialog);
  ~TWindowWidget() override;

  HWND Handle = nullptr;
  bool Dialog;              // keys and clicks go to the controls, as in a dialog box
  bool WantsFullScreen = false;
  QPointer<QScreen> FullScreenOn;  // the monitor a full-screen window fills
  QColor Background;        // invalid: the class asked for no erasing
  std::vector<TControl> Controls;
  int DefaultCommand = IDOK;
  // Which bitmap's copy the picture holds, and where it lost pixels since (a lost or remade picture,
  // a store that asked for a repaint, other drawing).
  TWindowContents Contents;

  // The client area's picture, in device pixels. While a top-level window is on the screen the
  // picture lives in the window's backing store, so that a frame reaches the display with one copy
  // and one flush; otherwise it is an image of the widget's own, which Qt repaints from.
  QImage& Picture();
  double Scale() const;
  // Drawing contexts write into the picture only between these: BeginDrawing returns the picture
  // (null when there is none) with that part of it (device pixels) ready for writing, EndDrawing
  // shows that part. A store may clear the part it hands out, so nothing outside it is written.
  QImage* BeginDrawing(const QRegion& deviceArea);
  void EndDrawing(const QRegion& deviceArea);
  // Refills the picture with the background colour.
  void Erase();

  TControl* Control(int id);
  const TControl* Control(int id) const;
  // A click on an auto radio button clears the other auto radio buttons of its group.
  void ClickedRadio(int id);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ResizePicture();
  QSize WantedSize() const;
  QRect Logical(const QRect& deviceRect) const;
  QRegion Logical(const QRegion& deviceArea) const;
  // The backing store's pixels as an image of one device pixel per pixel, or null when the store
  // cannot hold the picture (none yet, another size or format).
  QImage* StorePixels(QBackingStore& store);
  bool StoreHoldsPicture();
  void MoveIntoStore();
  // Takes the picture back out of the store before Qt resizes or drops it.
  void MoveOutOfStore();

  QImage Image;
  bool InStore = false;
  QBackingStore* Store = nullptr;  // the store that holds the picture, when InStore
  QSize StoreSize;                 // its size in device pixels when the picture moved in
  QImage StoreView;                // shares the store's pixels, never copied
  bool Drawing = false;            // between BeginDrawing and EndDrawing on the store
};

}  // namespace qt_backend
