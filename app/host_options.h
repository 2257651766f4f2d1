// The command line of the Linux screen-saver hosts (-root, -window-id ID, -window and this saver's
// one-run choices), read beside the saver's own /s, /c, /p and /a.
#pragma once

#include <string>

struct THostOptions {
  enum class TTarget {
    Root,      // the host's window from $XSCREENSAVER_WINDOW, else the whole screen
    WindowId,  // the window named on the command line
    Window,    // an ordinary window of its own, for trying it out
  };
  TTarget Target = TTarget::Window;
  // The window to draw into; 0 with Root and no $XSCREENSAVER_WINDOW names the screen's root window.
  unsigned long WindowId = 0;

  // One run's choices in place of the settings file's: -1 keeps the file's.
  int Speed = -1;
  int FrameOn = -1;
  int WhatFile = -1;
  std::string ParamFile;  // with WhatFile 0: the file to start from

  // Add this saver to the user's xscreensaver list instead of running.
  bool AddToXscreensaver = false;
};

enum class THostCommand {
  NotHost,  // the saver's own command line: leave it to the framework
  Run,
  Error,
};

// Reads argv (argv[0] is the program) as a host command line. Every host option may take one dash or
// two, and "--name=value" as well as "--name value". `environmentWindow` is $XSCREENSAVER_WINDOW
// (null when unset). On Error, `error` holds one line for the user.
THostCommand ReadHostCommandLine(int argc, const char* const argv[], const char* environmentWindow,
                                 THostOptions& options, std::string& error);

// A window id in decimal, hexadecimal (0x...) or octal, as hosts export it; false unless the whole
// text is one non-zero number that fits an X11 id (32 bits).
bool ReadWindowId(const char* text, unsigned long& id);
