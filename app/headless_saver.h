// The saver window run by a program of its own instead of the saver's message loop, with no display
// to show it on: the tools and tests make it for a size, step its frames, send it the reinit timer's
// message and end its run.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "geometry.h"
#include "owlscrn25.h"
#include "program_entry.h"

class THeadlessSaver {
 public:
  // With a size, the window runs as inside a host's window, a hidden one of that size: its box takes
  // that size, and it neither covers the screen nor hides the cursor nor claims the saver flag.
  // Without one it is the full-screen saver window. `application` must outlive this object.
  THeadlessSaver(TMyScrnSavApp& application, std::optional<TSize> hostSize);
  // Destroys the window; its engine writes the final state unless EndRun has.
  ~THeadlessSaver();
  THeadlessSaver(const THeadlessSaver&) = delete;
  THeadlessSaver& operator=(const THeadlessSaver&) = delete;

  // Empty once the window stands; otherwise why it could not be made.
  const std::string& GetError() const { return Error; }
  TMyScrnSavWindow& GetWindow() const { return *Window; }

  void Step() { Window->AnimateScreen(); }
  // The reinit timer's own message, through the window's response table, as the system sends it.
  void SendReinitTimer();
  // As when the saver ends: the engine writes its final state. Where it went; empty when it could not
  // be written or the run had ended already.
  std::string EndRun() { return Window->EndRun(); }

 private:
  TMyScrnSavApp& Application;
  std::unique_ptr<TWindow> Host;
  // Owned here, though the application knows it as its main window while it stands.
  TMyScrnSavWindow* Window = nullptr;
  std::string Error;
};
