// The generic screen-saver framework: the application that runs the mode the command line selects and
// paces the animation from idle time, and the full-screen window that ends the saver on any input.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "command_line.h"
#include "framework.h"
#include "idle_pump.h"
#include "monitor_covers.h"

// The mode of this process, set once by TScrnSavApp::Run.
extern int ScrMode;

// The framework's trace hook (trace.h).
void Debug(const char* text);

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

  // The input that ends the saver, on this window and on its covers alike (saver_input.cpp).
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
  // The monitors changed: their covers follow (monitor_covers.cpp).
  void EvDisplayChange();

  // Closes the saver when the cursor, in screen coordinates, is off its starting position.
  void MouseMovedTo(const TPoint& screenPoint);
  // Handles input that reached one of its covers as its own, so one rule says what ends the saver.
  void HandleCoverInput(TScrnSavCover& cover, TMessage& message);
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
  TRect ScreenArea;  // where SetupWindow put the window
  // MessageBoxesOpened() when the window was last active: a box opened since took the activation.
  unsigned BoxesWhenActive = 0;
  std::vector<std::unique_ptr<TScrnSavCover>> Covers;
  bool Hosted = false;
  // The window the input being handled reached: a cover while it hands its input over, else this one.
  // A mouse point is in its client coordinates, and the system's default handling is its own.
  TWindow* InputReceiver = this;
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
