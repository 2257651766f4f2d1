// What ends the saver: a mouse move off its starting point, a mouse button, any key but Enter (which
// writes the picture), a system command other than the screen saver's, or the loss of activation.
// Input on a cover of another monitor comes here too.
#include <utility>

#include "tscrnsav.h"

void TScrnSavWindow::HandleCoverInput(TScrnSavCover& cover, TMessage& message) {
  struct TRestore {
    TWindow*& Receiver;
    TWindow* Previous;
    ~TRestore() { Receiver = Previous; }
  } restore{InputReceiver, std::exchange(InputReceiver, &cover)};
  Dispatch(message);
}

// The message's point is in the client coordinates of the window it reached and the cursor's start in
// screen coordinates, which agree only while that window starts at the desktop's origin.
void TScrnSavWindow::EvMouseMove(UINT /*keyFlags*/, TPoint& point) {
  POINT screen{point.x, point.y};
  ClientToScreen(InputReceiver->GetHandle(), &screen);
  MouseMovedTo(TPoint(screen.x, screen.y));
}

// No tolerance: a move of a single pixel ends the saver.
void TScrnSavWindow::MouseMovedTo(const TPoint& screenPoint) {
  if (!StartCursorKnown) {
    StartCursorPos = screenPoint;
    StartCursorKnown = true;
    return;
  }
  if (screenPoint != StartCursorPos) {
    Debug("Closing because of mouse");
    CloseSaver();
  }
}

void TScrnSavWindow::EvLButtonDown(UINT, TPoint&) { CloseSaver(); }
void TScrnSavWindow::EvRButtonDown(UINT, TPoint&) { CloseSaver(); }
void TScrnSavWindow::EvMButtonDown(UINT, TPoint&) { CloseSaver(); }

// A box of the saver's own (a disk error, a math error) takes the activation until it closes; the
// saver goes on then, and ends on the next loss of activation once it is active again.
void TScrnSavWindow::EvActivate(UINT active, bool /*minimized*/, HWND /*other*/) {
  if (active != WA_INACTIVE) BoxesWhenActive = MessageBoxesOpened();
  else if (!LostActivationToOwnBox()) CloseSaver();
}

void TScrnSavWindow::EvActivateApp(bool active, DWORD /*threadId*/) {
  if (active) BoxesWhenActive = MessageBoxesOpened();
  else if (!LostActivationToOwnBox()) CloseSaver();
}

void TScrnSavWindow::EvKeyDown(UINT key, UINT /*repeatCount*/, UINT /*flags*/) {
  if (key == VK_RETURN) {
    SaveScreen();
    return;
  }
  Debug("Closing because key");
  CloseSaver();
}

void TScrnSavWindow::EvSysKeyDown(UINT, UINT, UINT) { CloseSaver(); }

void TScrnSavWindow::EvSysCommand(UINT command, TPoint& /*point*/) {
  if ((command & 0xFFF0) != SC_SCREENSAVE) CloseSaver();
  InputReceiver->DefaultProcessing();
}
