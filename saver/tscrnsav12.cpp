// The screen-saver application (command-line modes, idle-time animation pump, password change) and
// the full-screen saver window that closes on mouse, key and activation input.
#include "tscrnsav.h"

#include "monitors.h"
#include "trace.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

int ScrMode = ScrModeNone;

namespace {
TTickSource tickSource = nullptr;
TCommandLineSource commandLineSource = nullptr;

DWORD CurrentTick() { return tickSource ? tickSource() : GetMillisecondTick(); }

// The pause after a frame at each speed, in ms: the next frame comes once more than that has passed.
// Any other speed draws nothing (-1).
long FramePause(int speed) {
  switch (speed) {
    case 0:
      return 100;
    case 1:
      return 10;
    case 2:
      return 1;
    default:
      return -1;
  }
}

const char* CurrentCommandLine() {
  const char* line = commandLineSource ? commandLineSource() : GetCommandLineA();
  return line ? line : "";
}

// The class atom of the system's dialog windows, as FindWindowA takes it.
LPCSTR DialogClassAtom() { return reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(0x8002)); }

using TPwdChangePassword = DWORD(WINAPI*)(LPCSTR provider, HWND parent, DWORD reserved1, DWORD reserved2);
}  // namespace

void Debug(const char* text) { Trace(TTraceHook::Framework, text); }

void SetTickSource(TTickSource source) { tickSource = source; }
void SetCommandLineSource(TCommandLineSource source) { commandLineSource = source; }

int ReadScrMode(const char* commandLine, long& parent) {
  const char* p = commandLine ? commandLine : "";
  parent = 0;

  // The program path: a quoted one may hold blanks.
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
  } else {
    while (*p && *p != ' ') ++p;
  }
  if (*p) ++p;
  while (*p == ' ') ++p;

  if (!*p) return ScrModeConfigure;
  if (*p == '-' || *p == '/') ++p;

  switch (*p) {
    case 'p':
    case 'P':
    case 'l':
    case 'L':
      return ScrModePreview;
    case 's':
    case 'S':
      return ScrModeSave;
    case 'c':
    case 'C':
      return ScrModeConfigure;
    case 'a':
    case 'A':
      ++p;
      while (*p == ' ' || *p == ':') ++p;
      // strtol rather than atol: an over-long number must not be undefined behaviour.
      parent = std::strtol(p, nullptr, 10);
      return ScrModePassword;
    default:
      return ScrModeNone;
  }
}

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

namespace {
bool Inside(const TRect& inner, const TRect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

// What of `area` lies outside `hole`: up to four bands, above, below, left and right of it.
std::vector<TRect> Outside(const TRect& area, const TRect& hole) {
  const TRect cut(std::max(area.left, hole.left), std::max(area.top, hole.top), std::min(area.right, hole.right),
                  std::min(area.bottom, hole.bottom));
  if (cut.left >= cut.right || cut.top >= cut.bottom) return {area};
  std::vector<TRect> bands;
  if (area.top < cut.top) bands.emplace_back(area.left, area.top, area.right, cut.top);
  if (cut.bottom < area.bottom) bands.emplace_back(area.left, cut.bottom, area.right, area.bottom);
  if (area.left < cut.left) bands.emplace_back(area.left, cut.top, cut.left, cut.bottom);
  if (cut.right < area.right) bands.emplace_back(cut.right, cut.top, area.right, cut.bottom);
  return bands;
}
}  // namespace

std::vector<TRect> CoverAreas(const std::vector<TRect>& monitors, const TRect& box) {
  std::vector<TRect> areas;
  for (const TRect& monitor : monitors) {
    // A monitor inside the box shows the box. One that overlaps it (X may list a split screen's
    // whole output beside its parts) is covered only where the box is not.
    if (Inside(monitor, box)) continue;
    for (const TRect& area : Outside(monitor, box)) {
      if (std::find(areas.begin(), areas.end(), area) == areas.end()) areas.push_back(area);
    }
  }
  return areas;
}

void TScrnSavWindow::CoverOtherMonitors() {
  std::vector<std::unique_ptr<TScrnSavCover>> covers;
  // A saver inside another program's window covers nothing else: that program has each monitor.
  const bool child = (Attr.Style & WS_CHILD) != 0 || GetParent() != nullptr;
  for (const TRect& monitor : child ? std::vector<TRect>() : CoverAreas(GetMonitorRects(), ScreenArea)) {
    auto kept = std::find_if(Covers.begin(), Covers.end(), [&monitor](const std::unique_ptr<TScrnSavCover>& cover) {
      return cover && cover->GetHandle() && cover->GetArea() == monitor;
    });
    if (kept != Covers.end()) {
      covers.push_back(std::move(*kept));
      continue;
    }
    auto cover = std::make_unique<TScrnSavCover>(*this, monitor);
    // A monitor without its cover keeps showing the desktop, which is no reason to stop the saver.
    if (!cover->Create()) continue;
    // Shown without activation: the saver window losing it would end the saver.
    cover->ShowWindow(SW_SHOWNA);
    covers.push_back(std::move(cover));
  }
  Covers = std::move(covers);
}

void TScrnSavWindow::EvDisplayChange() { CoverOtherMonitors(); }

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

// The message's point is in client coordinates and the cursor's start in screen coordinates,
// which agree only while the window starts at the desktop's origin.
void TScrnSavWindow::EvMouseMove(UINT /*keyFlags*/, TPoint& point) {
  POINT screen{point.x, point.y};
  ClientToScreen(GetHandle(), &screen);
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
  DefaultProcessing();
}

void TScrnSavWindow::EvTimer(UINT /*timerId*/) {
  Debug("starting reinit");
  reinit();
}

// --- the covers of the other monitors ---------------------------------------------------------

TScrnSavCover::TScrnSavCover(TScrnSavWindow& saver, const TRect& area)
    : TWindow(&saver, nullptr, saver.GetModule()), Saver(saver), Area(area) {
  // Owned by the saver window, so it goes with it; never active, so the keys stay with the saver.
  Attr.Style = WS_POPUP;
  Attr.ExStyle = WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
  Attr.X = area.left;
  Attr.Y = area.top;
  Attr.W = area.Width();
  Attr.H = area.Height();
}

const TResponseTable& TScrnSavCover::ResponseTable() {
  static const TResponseEntry entries[] = {
      Respond<&TScrnSavCover::EvMouseMove>(WM_MOUSEMOVE),
      Respond<&TScrnSavCover::EvButtonDown>(WM_LBUTTONDOWN),
      Respond<&TScrnSavCover::EvButtonDown>(WM_RBUTTONDOWN),
      Respond<&TScrnSavCover::EvButtonDown>(WM_MBUTTONDOWN),
      Respond<&TScrnSavCover::EvKeyDown>(WM_KEYDOWN),
      Respond<&TScrnSavCover::EvSysKeyDown>(WM_SYSKEYDOWN),
      Respond<&TScrnSavCover::EvSysCommand>(WM_SYSCOMMAND),
  };
  static const TResponseTable table{entries, std::size(entries), &TWindow::ResponseTable()};
  return table;
}

const char* TScrnSavCover::GetClassName() { return "tesmar_SaverCover"; }

void TScrnSavCover::GetWindowClass(WNDCLASS& windowClass) {
  TWindow::GetWindowClass(windowClass);
  windowClass.hIcon = nullptr;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
}

void TScrnSavCover::EvMouseMove(UINT /*keyFlags*/, TPoint& point) {
  POINT screen{point.x, point.y};
  ClientToScreen(GetHandle(), &screen);
  Saver.MouseMovedTo(TPoint(screen.x, screen.y));
}

void TScrnSavCover::EvButtonDown(UINT, TPoint&) { Saver.CloseSaver(); }

// Keys reach a cover only where the system gives it the focus after all; Enter then saves the
// picture as it does on the saver window.
void TScrnSavCover::EvKeyDown(UINT key, UINT repeatCount, UINT flags) { Saver.EvKeyDown(key, repeatCount, flags); }

void TScrnSavCover::EvSysKeyDown(UINT, UINT, UINT) { Saver.CloseSaver(); }

void TScrnSavCover::EvSysCommand(UINT command, TPoint& /*point*/) {
  if ((command & 0xFFF0) != SC_SCREENSAVE) Saver.CloseSaver();
  DefaultProcessing();
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
  LastTick = CurrentTick();
}

// The timer, if the window asks for one, is armed by the window's set-up, once it exists.
void TScrnSavApp::InitScrnSavWindow() { ScrnSavWindow = new TScrnSavWindow(nullptr, nullptr, nullptr); }

// Polls the tick count: the pause is measured from the end of the previous frame, in unsigned
// arithmetic so that the wrap of the counter does no harm.
bool TScrnSavApp::IdleAction(long /*idleCount*/) {
  if (ConfigMode) return false;
  PacedIdle = true;
  const DWORD elapsed = CurrentTick() - LastTick;
  const long pause = FramePause(Speed);
  if (pause >= 0 && elapsed > static_cast<DWORD>(pause) && ScrnSavWindow) {
    ScrnSavWindow->AnimateScreen();
    LastTick = CurrentTick();
  }
  return true;
}

std::optional<DWORD> TScrnSavApp::NextFrameTick() const {
  const long pause = FramePause(Speed);
  if (ConfigMode || !ScrnSavWindow || pause < 0) return std::nullopt;
  return LastTick + static_cast<DWORD>(pause) + 1;
}

TIdleWake TScrnSavApp::NextIdleWake() {
  if (!PacedIdle) return {};
  PacedIdle = false;
  const std::optional<DWORD> due = NextFrameTick();
  if (!due) return {TIdleWake::OnMessage, 0};
  // Measured like IdleAction measures it, so a clock that went back means a frame now, as there.
  const DWORD now = CurrentTick();
  const DWORD elapsed = now - LastTick;
  if (elapsed >= *due - LastTick) return {TIdleWake::Now, 0};
  // The loop waits on GetMillisecondTick; another pump clock (a test's) is carried over by the
  // distance, which is never more than one pause.
  return {TIdleWake::AtTick, tickSource ? GetMillisecondTick() + (*due - now) : *due};
}

void TScrnSavApp::ChangePassword(HWND parent) {
  HMODULE library = LoadLibraryA("MPR.DLL");
  if (!library) {
    Debug("MPR.DLL not found: cannot change password.");
    return;
  }
  FARPROC procedure = GetProcAddress(library, "PwdChangePasswordA");
  if (!procedure) {
    FreeLibrary(library);
    Debug("PwdChangeProc not found: cannot change password");
    return;
  }
  // Through a plain function-pointer type, which is exempt from the cast-function-type warning.
  auto changePassword = reinterpret_cast<TPwdChangePassword>(reinterpret_cast<void (*)()>(procedure));
  changePassword("SCRSAVE", parent, 0, 0);
  FreeLibrary(library);
}
