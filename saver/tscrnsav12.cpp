// The framework's saver window (its life, its place on the desktop, the reinit timer) and the
// application that runs the mode the command line selects.
#include "tscrnsav.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "trace.h"

int ScrMode = ScrModeNone;

namespace {
// The class atom of the system's dialog windows, as FindWindowA takes it.
LPCSTR DialogClassAtom() { return reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(0x8002)); }
}  // namespace

void Debug(const char* text) { Trace(TTraceHook::Framework, text); }

// --- the saver window -------------------------------------------------------------------------

TScrnSavWindow::TScrnSavWindow(TWindow* parent, const char* title, TModule* module)
    : TFrameWindow(parent, title, nullptr, false, module) {
  const auto* application = dynamic_cast<const TScrnSavApp*>(GetApplication());
  Hosted = application && application->IsHosted();
  if (Hosted) {
    // The host owns the screen and the cursor; a window of its own is an ordinary one.
    Attr.Style = parent ? (WS_CHILD | WS_VISIBLE) : WS_OVERLAPPEDWINDOW;
    return;
  }
  ShowCursor(FALSE);
  Attr.Style = WS_POPUP;
}

TScrnSavWindow::~TScrnSavWindow() {
  KillTimer(TimerId);
  if (!Hosted) {
    UINT scratch = 0;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, FALSE, &scratch, 0);
    ShowCursor(TRUE);
  }
  // The window is gone by now, so this asks every window on the screen to repaint.
  Invalidate(true);
}

const TResponseTable& TScrnSavWindow::ResponseTable() {
  static const TResponseEntry entries[] = {
      Respond<&TScrnSavWindow::EvMouseMove>(WM_MOUSEMOVE),
      Respond<&TScrnSavWindow::EvLButtonDown>(WM_LBUTTONDOWN),
      Respond<&TScrnSavWindow::EvRButtonDown>(WM_RBUTTONDOWN),
      Respond<&TScrnSavWindow::EvMButtonDown>(WM_MBUTTONDOWN),
      Respond<&TScrnSavWindow::EvActivate>(WM_ACTIVATE),
      Respond<&TScrnSavWindow::EvActivateApp>(WM_ACTIVATEAPP),
      Respond<&TScrnSavWindow::EvKeyDown>(WM_KEYDOWN),
      Respond<&TScrnSavWindow::EvSysKeyDown>(WM_SYSKEYDOWN),
      Respond<&TScrnSavWindow::EvSysCommand>(WM_SYSCOMMAND),
      Respond<&TScrnSavWindow::EvTimer>(WM_TIMER),
      Respond<&TScrnSavWindow::EvDisplayChange>(WM_DISPLAYCHANGE),
  };
  static const TResponseTable table{entries, std::size(entries), &TFrameWindow::ResponseTable()};
  return table;
}

const char* TScrnSavWindow::GetClassName() { return "OWLScreenSaverClass"; }

void TScrnSavWindow::GetWindowClass(WNDCLASS& windowClass) {
  TFrameWindow::GetWindowClass(windowClass);
  windowClass.hIcon = nullptr;
  windowClass.style |= CS_SAVEBITS;
  // The system erases nothing: all drawing is the saver's.
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

void TScrnSavWindow::SetupWindow() {
  TFrameWindow::SetupWindow();
  BoxesWhenActive = MessageBoxesOpened();
  // A hosted window keeps the place and size the host's window gives it.
  if (Hosted) {
    ArmReinitTimer();
    return;
  }

  POINT cursor{0, 0};
  // Where the system cannot tell (a Wayland compositor shows a program the pointer only over its own
  // windows), the first position a window of the saver hears of is the start.
  StartCursorKnown = GetCursorPos(&cursor) != FALSE;
  StartCursorPos = TPoint(cursor.x, cursor.y);

  RECT desktop{0, 0, 0, 0};
  GetWindowRect(GetDesktopWindow(), &desktop);
  ScreenArea = TRect(desktop.left, desktop.top, desktop.right, desktop.bottom);
  MoveWindow(ScreenArea, true);
  CoverOtherMonitors();

  ArmReinitTimer();
}

void TScrnSavWindow::ArmReinitTimer() {
  if (ReinitMinutes == 0.0f) return;
  const double milliseconds = std::ceil(static_cast<double>(ReinitMinutes) * 60.0 * 1000.0);
  TimerId = static_cast<UINT>(SetTimer(GetHandle(), TimerId, static_cast<UINT>(milliseconds), nullptr));
  char text[32];
  std::snprintf(text, sizeof text, "%d setting timer", static_cast<int>(TimerId));
  Debug(text);
}

void TScrnSavWindow::CloseSaver() {
  if (!Hosted) PostMessage(WM_CLOSE, 0, 0);
}

void TScrnSavWindow::EvTimer(UINT /*timerId*/) {
  Debug("starting reinit");
  reinit();
}

// --- the saver application --------------------------------------------------------------------

TScrnSavApp::TScrnSavApp(const char* name) : TApplication(name) {}

TScrnSavApp::~TScrnSavApp() = default;

int TScrnSavApp::Run() {
  if (Hosted) {
    ScrMode = ScrModeSave;
    ConfigMode = false;
    return TApplication::Run();
  }
  long parent = 0;
  ScrMode = ReadScrMode(CurrentCommandLine(), parent);

  switch (ScrMode) {
    case ScrModePassword:
      ChangePassword(reinterpret_cast<HWND>(static_cast<std::intptr_t>(parent)));
      return 0;

    case ScrModeConfigure: {
      ConfigMode = true;
      InitConfigDialog();
      if (!ConfigDialog) return 0;
      std::unique_ptr<TDialog> dialog(ConfigDialog);
      std::unique_ptr<TWindow> desktopDialog;
      if (HWND desktop = FindWindowA(DialogClassAtom(), "Desktop")) {
        desktopDialog = std::make_unique<TWindow>(desktop, nullptr);
        dialog->SetParent(desktopDialog.get());
      }
      dialog->Execute();
      // The dialog goes before the alias it may be owned by.
      dialog.reset();
      ConfigDialog = nullptr;
      desktopDialog.reset();
      return 0;
    }

    case ScrModeSave:
      ConfigMode = false;
      return TApplication::Run();

    case ScrModePreview:
      ConfigMode = false;
      return 0;

    default:
      return 0;
  }
}

void TScrnSavApp::InitMainWindow() {
  ConfigMode = false;
  if (!Hosted) {
    UINT previous = 0;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, TRUE, &previous, 0);
  }
  InitScrnSavWindow();
  if (ScrnSavWindow) SetMainWindow(ScrnSavWindow);
  LastTick = PumpTick();
}

// The timer, if the window asks for one, is armed by the window's set-up, once it exists.
void TScrnSavApp::InitScrnSavWindow() { ScrnSavWindow = new TScrnSavWindow(nullptr, nullptr, nullptr); }
