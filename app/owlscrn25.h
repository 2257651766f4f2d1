// This saver: the full-screen window that runs the simulation, its settings dialog, its application
// class, the program entry and the settings shared between window and dialog.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "drawing.h"
#include "framework.h"
#include "math_errors.h"
#include "saver_files.h"
#include "tscrnsav.h"

class sim3d;

// The application's name: message-box caption, window title and window class name.
extern const char AppName[];

// The box the engine simulates in: x and y in screen pixels, z in depth units.
extern int leftframe, rightframe, topframe, bottomframe, frontframe, rearframe;

// The settings shared by the window and the dialog.
constexpr std::size_t ParamFileSize = 140;
extern int frame_on;
extern int what_file;
extern char param_file[ParamFileSize];
// Minutes after which the saver starts its run afresh, 0 for never ("Reinit_minutes").
extern int reinit_minutes;
// The most minutes a system timer can count in milliseconds.
constexpr int MaxReinitMinutes = 71582;

// Counts the first animation steps of the process: 1 to 4, then 0 for good.
extern int first;

// The settings file and its section (parameter files use the same section name).
extern const char SettingsFile[];
extern const char SettingsSection[];

// This saver's trace hook: the window names what it is about to do.
void saver_trace(const char* label);

// The first integer in a setting's text, as "%d" reads it; fallback when there is none.
int ReadSettingInt(const char* text, int fallback);
// Copies the first blank-delimited word of text, as "%s" reads it, cut to fit size - 1 characters.
void ReadSettingWord(const char* text, char* word, std::size_t size);
class TProfile;
// Reads the settings file as the window (speed default 2, no file name) and the dialog (1,
// "default.tmr") do: "Frame_on", "what_file", "param_file" and "Reinit_minutes" into the program-wide
// settings, a value with no number leaving its setting as it was; returns the speed, the default when
// it has no number.
int ReadStoredSettings(TProfile& profile, int speedDefault, const char* paramFileDefault);
// Copies text cut to size - 1 characters, always terminated.
void CopyCut(char* target, std::size_t size, const char* text);

// For tools that run the saver window off screen: start the engine from this parameter file whatever
// the settings say (null goes back to the settings).
void SetStartFileOverride(const char* fileName);

// One run's choices in place of the settings file's (the hosts' command line); -1 keeps the file's.
struct TRunChoices {
  int Speed = -1;
  int FrameOn = -1;
  int WhatFile = -1;
};
void SetRunChoices(const TRunChoices& choices);

// Runs step; when it throws Error, asks Retry or Cancel in a box owned by owner with the text that
// textOf gives for the error. Retry runs step again, Cancel (or a box that could not be shown)
// ends the process with exit code -1, leaving window and engine as they are.
template <class Error, class Step, class Text>
void RetryOrExit(TWindow& owner, Step&& step, Text&& textOf) {
  for (;;) {
    try {
      step();
      return;
    } catch (Error error) {
      if (owner.MessageBox(textOf(error), AppName, MB_RETRYCANCEL) != IDRETRY) std::exit(-1);
    }
  }
}

class TMyScrnSavWindow : public TScrnSavWindow {
 public:
  TMyScrnSavWindow(TWindow* parent, const char* title, TModule* module);
  ~TMyScrnSavWindow() override;

  void AnimateScreen() override;
  void SaveScreen() override;
  // The reinit timer: the run's state is saved and a new one starts from the same choice, on a black
  // picture with the box drawn again, as a fresh start of the saver looks.
  void reinit() override;
  const char* GetClassName() override;
  void GetWindowClass(WNDCLASS& windowClass) override;

  virtual void DrawFrame(TDC& dc);

  // Ends the run's engine now, which writes its final state once; nothing moves after it. Returns
  // where the state went, empty when it could not be written or the run had ended already.
  std::string EndRun();

  // WM_ENDSESSION: when the session ends, writes the final state at once and closes.
  void EvEndSession(bool ending, DWORD flags);
  // A hosted window's size changes with the host's window: the old box's state is saved and a new
  // box of the new size starts. The full-screen saver keeps its box.
  void EvSize(UINT sizeType, TPoint& size);

  const TSize& GetScreenSize() const { return ScreenSize; }
  TBitmap* GetBitmap() const { return Bitmap.get(); }
  sim3d* GetSim() const { return Sim.get(); }

  DECLARE_WINDOW_RESPONSES()

 protected:
  TSize ScreenSize;
  std::unique_ptr<TBitmap> Bitmap;
  std::unique_ptr<sim3d> Sim;

 private:
  void ReadSettings();
  // Makes the engine and the bitmap for a box of ScreenSize, bitmap compatible with `screen`.
  void StartBox(TDC& screen);
  // Saves the run and starts a new one in a box of `size`, its picture black until the box is drawn.
  void RestartRun(TSize size);
};

class TScrnSavDlg : public TDialog {
 public:
  TScrnSavDlg(TWindow* parent, const char* templateName, TModule* module = nullptr);

  void SetupWindow() override;
  void CloseWindow(int returnValue = IDCANCEL) override;
  void SetFileName();

  DECLARE_WINDOW_RESPONSES()
};

class TMyScrnSavApp : public TScrnSavApp {
 public:
  explicit TMyScrnSavApp(const char* name);
  ~TMyScrnSavApp() override;

  // For a host: the saver window becomes a child of `hostWindow` (an alias that outlives this
  // application), or an ordinary window of its own when that is null.
  void SetHostParent(TWindow* hostWindow);

  void InitScrnSavWindow() override;
  void InitConfigDialog() override;

 private:
  TWindow* HostParent = nullptr;
};

// True when the system counts a screen saver as running; where the system sets that state itself for
// the saver it starts (Windows NT), when another saver of this program holds its claim. Leaves the
// system's state as it was.
bool IsSaverRunning();

// The program entry that the platform's start-up code calls.
int OwlMain(int argc, char* argv[]);

// Installs the math-error hook and runs the application, made ready by `prepare`; a failure that
// would otherwise end the process through terminate is reported and ends it with 1.
int RunSaverApplication(void (*prepare)(TMyScrnSavApp& application, void* context), void* context);

struct THostOptions;
// The entry for a screen-saver host's command line (read by ReadHostCommandLine): draws until the
// window closes or goes away. Returns the exit code; an error is one line on standard error.
int HostMain(const THostOptions& options);

