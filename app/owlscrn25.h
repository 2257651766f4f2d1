// This saver's window: the settings it runs with, the engine, the off-screen bitmap, the box's
// edges, one animation step, the picture file and the final save; and the program-wide values the
// engine's box and the window share.
#pragma once

#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "drawing.h"
#include "framework.h"
#include "tscrnsav.h"

class sim3d;

// The application's name: message-box caption, window title and window class name.
extern const char AppName[];

// The box the engine simulates in: x and y in screen pixels, z in depth units.
extern int leftframe, rightframe, topframe, bottomframe, frontframe, rearframe;

// Counts the first animation steps of the process: 1 to 4, then 0 for good.
extern int first;

// This saver's trace hook: the window names what it is about to do.
void saver_trace(const char* label);

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
