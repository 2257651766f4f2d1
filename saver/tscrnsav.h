// The generic screen-saver framework: the application that reads the saver's command line and paces
// the animation from idle time, and the full-screen window that ends the saver on any input.
#pragma once

#include <optional>

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

// The framework's trace hook: does nothing unless a listener is set (tests, diagnostics).
void Debug(const char* text);
using TDebugListener = void (*)(const char* text);
void SetDebugListener(TDebugListener listener);

// Where the animation pump reads the millisecond tick count; null restores GetTickCount.
using TTickSource = DWORD (*)();
void SetTickSource(TTickSource source);
// Where Run reads the command line; null restores GetCommandLineA.
using TCommandLineSource = const char* (*)();
void SetCommandLineSource(TCommandLineSource source);

// The mode a saver command line (program path included) asks for; for the password change the
// parent window's handle is stored in `parent`.
int ReadScrMode(const char* commandLine, long& parent);

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

  UINT TimerId = 0;
  float ReinitMinutes = 0.0f;
  TPoint StartCursorPos;

  DECLARE_WINDOW_RESPONSES()

 protected:
  // Posts WM_CLOSE to itself, so the window closes after the message being handled.
  void CloseSaver();
  // Arms the reinit timer when ReinitMinutes asks for one; needs the window to exist.
  void ArmReinitTimer();
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

 protected:
  bool ConfigMode = false;
  TDialog* ConfigDialog = nullptr;
  TScrnSavWindow* ScrnSavWindow = nullptr;
  int Speed = 0;
  DWORD LastTick = 0;

 private:
  // Set by IdleAction, taken by NextIdleWake: an IdleAction of a derived class paces nothing.
  bool PacedIdle = false;
};
