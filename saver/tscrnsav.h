// The generic screen-saver framework: the application that reads the saver's command line and paces
// the animation from idle time, and the full-screen window that ends the saver on any input.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "framework.h"

// The saver modes that the command line selects.
enum : int {
  ScrModeNone = 0,
  ScrModeConfigure = 1,
  ScrModePassword = 2,
  ScrModePreview = 3,
  ScrModeSave = 4,
};

// The mode of this process, set once by TScrnSavApp::Run.
extern int ScrMode;

// The framework's trace hook (trace.h).
void Debug(const char* text);

// Where the animation pump reads the millisecond tick count; null restores GetMillisecondTick.
using TTickSource = DWORD (*)();
void SetTickSource(TTickSource source);
// Where Run reads the command line; null restores GetCommandLineA.
using TCommandLineSource = const char* (*)();
void SetCommandLineSource(TCommandLineSource source);

// The mode a saver command line (program path included) asks for; for the password change the
// parent window's handle is stored in `parent`.
int ReadScrMode(const char* commandLine, long& parent);

class TScrnSavWindow;

// A black window over a monitor that the saver's box leaves uncovered: it hides the desktop there
// and ends the saver on the same input as the saver window.
// The parts of the monitors that the box at `box` leaves showing, each to get a cover.
std::vector<TRect> CoverAreas(const std::vector<TRect>& monitors, const TRect& box);

class TScrnSavCover : public TWindow {
 public:
  TScrnSavCover(TScrnSavWindow& saver, const TRect& area);

  const char* GetClassName() override;
  void GetWindowClass(WNDCLASS& windowClass) override;
  const TRect& GetArea() const { return Area; }

  void EvMouseMove(UINT keyFlags, TPoint& point);
  void EvButtonDown(UINT keyFlags, TPoint& point);
  void EvKeyDown(UINT key, UINT repeatCount, UINT flags);
  void EvSysKeyDown(UINT key, UINT repeatCount, UINT flags);
  void EvSysCommand(UINT command, TPoint& point);

  DECLARE_WINDOW_RESPONSES()

 private:
  TScrnSavWindow& Saver;
  TRect Area;
};

class TScrnSavWindow : public TFrameWindow {
 public:
  TScrnSavWindow(TWindow* parent, const char* title = nullptr, TModule* module = nullptr);
  ~TScrnSavWindow() override;

  void SetupWindow() override;

  virtual void AnimateScreen() {}
  virtual void SaveScreen() {}
  virtual void reinit() {}

  const char* GetClassName() override;
  void GetWindowClass(WNDCLASS& windowClass) override;

  void EvMouseMove(UINT keyFlags, TPoint& point);
  void EvLButtonDown(UINT keyFlags, TPoint& point);
  void EvRButtonDown(UINT keyFlags, TPoint& point);
  void EvMButtonDown(UINT keyFlags, TPoint& point);
  void EvActivate(UINT active, bool minimized, HWND other);
  void EvActivateApp(bool active, DWORD threadId);
  void EvKeyDown(UINT key, UINT repeatCount, UINT flags);
  void EvSysKeyDown(UINT key, UINT repeatCount, UINT flags);
  void EvSysCommand(UINT command, TPoint& point);
  void EvTimer(UINT timerId);
  void EvDisplayChange();

  // Closes the saver when the cursor, in screen coordinates, is off its starting position.
  void MouseMovedTo(const TPoint& screenPoint);
  const std::vector<std::unique_ptr<TScrnSavCover>>& GetCovers() const { return Covers; }

  UINT TimerId = 0;
  float ReinitMinutes = 0.0f;
  TPoint StartCursorPos;
  // False until the cursor's starting position is known: SetupWindow could not ask for it, and no
  // mouse message has told it yet.
  bool StartCursorKnown = false;

  // Run for a screen-saver host: inside the host's window (the parent) or in an ordinary window of its
  // own. Input then belongs to the host, and only a close request ends the saver.
  bool IsHosted() const { return Hosted; }

  DECLARE_WINDOW_RESPONSES()

 protected:
  // Posts WM_CLOSE to itself, so the window closes after the message being handled.
  void CloseSaver();
  // Arms the reinit timer when ReinitMinutes asks for one; needs the window to exist.
  void ArmReinitTimer();
  // Gives every monitor apart from ScreenArea's a cover, keeping those whose monitor is unchanged.
  void CoverOtherMonitors();
  // The saver's own message box takes the activation for a while: that is no input of the user's.
  bool LostActivationToOwnBox() const { return MessageBoxesOpened() != BoxesWhenActive; }

 private:
  friend class TScrnSavCover;
  TRect ScreenArea;  // where SetupWindow put the window
  // MessageBoxesOpened() when the window was last active: a box opened since took the activation.
  unsigned BoxesWhenActive = 0;
  std::vector<std::unique_ptr<TScrnSavCover>> Covers;
  bool Hosted = false;
};

class TScrnSavApp : public TApplication {
 public:
  explicit TScrnSavApp(const char* name);
  ~TScrnSavApp() override;

  int Run() override;
  bool IdleAction(long idleCount) override;
  // After this class's IdleAction: sleep until the next frame is due, or for good when none will come.
  TIdleWake NextIdleWake() override;
  void InitMainWindow() override;

  // The tick (on the pump's clock) from which the next frame is due; nothing when no frame will come:
  // while configuring, without a saver window, or at a speed that has no pause.
  std::optional<DWORD> NextFrameTick() const;

  virtual void InitScrnSavWindow();
  virtual void InitConfigDialog() {}
  virtual void ChangePassword(HWND parent);

  void SetSpeed(int speed) { Speed = speed; }
  int GetSpeed() const { return Speed; }
  TScrnSavWindow* GetScrnSavWindow() const { return ScrnSavWindow; }

  // Runs the saver for a screen-saver host instead of reading the command line: inside `hostWindow`,
  // or in a window of its own when that is null. Hosts run one copy per monitor, so no copy takes
  // the system's saver-running flag.
  void SetHosted(HWND hostWindow) {
    Hosted = true;
    HostWindow = hostWindow;
  }
  bool IsHosted() const { return Hosted; }
  HWND GetHostWindow() const { return HostWindow; }

 protected:
  bool ConfigMode = false;
  TDialog* ConfigDialog = nullptr;
  TScrnSavWindow* ScrnSavWindow = nullptr;
  int Speed = 0;
  DWORD LastTick = 0;
  bool Hosted = false;
  HWND HostWindow = nullptr;

 private:
  // Set by IdleAction, taken by NextIdleWake: an IdleAction of a derived class paces nothing.
  bool PacedIdle = false;
};
