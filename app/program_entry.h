// This saver's application and the program's entry: the running check, the application object that
// makes the saver window or the settings dialog, and the run that reports what nothing else caught.
#pragma once

#include "program_start.h"
#include "tscrnsav.h"

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

// Installs the math-error hook and runs the application, made ready by `prepare`; a failure that
// would otherwise end the process through terminate is reported and ends it with 1.
int RunSaverApplication(void (*prepare)(TMyScrnSavApp& application, void* context), void* context);

struct THostOptions;
// The entry for a screen-saver host's command line (read by ReadHostCommandLine): draws until the
// window closes or goes away. Returns the exit code; an error is one line on standard error.
int HostMain(const THostOptions& options);
