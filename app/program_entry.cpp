// This saver's application object and the program entry: the running check, the single-instance
// claim, and the run that turns a failure nothing caught into an exit code.
#include "program_entry.h"

#include <exception>

#include "math_errors.h"
#include "owlscrn25.h"
#include "saver_instance.h"
#include "settings_dialog.h"
#include "trace.h"

TMyScrnSavApp::TMyScrnSavApp(const char* name) : TScrnSavApp(name) {}

TMyScrnSavApp::~TMyScrnSavApp() = default;

void TMyScrnSavApp::SetHostParent(TWindow* hostWindow) {
  HostParent = hostWindow;
  SetHosted(hostWindow ? hostWindow->GetHandle() : nullptr);
}

// Unlike the framework's version, this arms no timer itself: the window arms it once it exists, from
// the minutes its settings give.
void TMyScrnSavApp::InitScrnSavWindow() { ScrnSavWindow = new TMyScrnSavWindow(HostParent, AppName, nullptr); }

void TMyScrnSavApp::InitConfigDialog() { ConfigDialog = new TScrnSavDlg(nullptr, "IDD_CONFIGURE", this); }

bool IsSaverRunning() {
  // There the system has set the flag for this very start, so only this program's own claim tells.
  if (SaverFlagBelongsToSystem()) return SaverClaimedElsewhere(AppName);
  BOOL previous = FALSE;
  SystemParametersInfoA(SPI_SCREENSAVERRUNNING, FALSE, &previous, 0);
  BOOL ignored = FALSE;
  SystemParametersInfoA(SPI_SCREENSAVERRUNNING, static_cast<UINT>(previous), &ignored, 0);
  return previous != FALSE;
}

// A failure that would otherwise end the process through terminate (no main window, a bitmap the
// platform cannot make, a math error while the engine builds its start) is reported and ends it
// with a non-zero code, after the saver window has restored the cursor and the running flag.
int OwlMain(int /*argc*/, char* /*argv*/[]) {
  if (IsSaverRunning()) return 0;
  // Taken at once, so two savers started together never both run.
  long parent = 0;
  if (ReadScrMode(GetCommandLineA(), parent) == ScrModeSave && !ClaimSaver(AppName)) return 0;
  return RunSaverApplication(nullptr, nullptr);
}

int RunSaverApplication(void (*prepare)(TMyScrnSavApp& application, void* context), void* context) {
  InstallMathErrorHook();
  try {
    TMyScrnSavApp application(AppName);
    if (prepare) prepare(application, context);
    return application.Run();
  } catch (const std::exception& error) {
    FrameworkTrace(error.what());
  } catch (const char* text) {
    FrameworkTrace(text ? text : "unknown error");
  }
  return 1;
}
