// The start as the back end's entry asks for it before the window system runs (a screen-saver host's
// command line or the saver's own), and the end of the saver's run when its window cannot close.
#include "program_start.h"

#include <cstdlib>

#include "host_options.h"
#include "owlscrn25.h"
#include "program_entry.h"

namespace {

TProgramStart Ending(TProgramStart::TAction action, int code, std::string message = {}) {
  TProgramStart start;
  start.Action = action;
  start.ExitCode = code;
  start.Message = std::move(message);
  return start;
}

// Without a display only the saver and the settings dialog show anything: the running check and the
// other modes end as they would with one.
TProgramStart OwnStart(bool withoutDisplay) {
  if (withoutDisplay) {
    long parent = 0;
    const int mode = ReadScrMode(GetCommandLineA(), parent);
    if (IsSaverRunning()) return Ending(TProgramStart::TAction::End, 0);
    if (mode == ScrModeSave || mode == ScrModeConfigure) return Ending(TProgramStart::TAction::NeedsDisplay, 1);
  }
  TProgramStart start;
  start.Run = OwlMain;
  return start;
}

}  // namespace

TProgramStart ReadProgramStart(int argc, const char* const argv[], bool withoutDisplay) {
  THostOptions host;
  std::string error;
  switch (ReadHostCommandLine(argc, argv, std::getenv("XSCREENSAVER_WINDOW"), host, error)) {
    case THostCommand::NotHost:
      return OwnStart(withoutDisplay);
    case THostCommand::Error:
      return Ending(TProgramStart::TAction::End, 2, error);
    case THostCommand::Run:
      break;
  }
  TProgramStart start;
  if (host.AddToXscreensaver) {
    start.Action = TProgramStart::TAction::AddToHostList;
    start.HostListEntry = "tesmar --root";
    return start;
  }
  start.FromHost = true;
  start.Run = [host](int /*argc*/, char* /*argv*/[]) { return HostMain(host); };
  return start;
}

TRunEnd EndRunNow() {
  const TApplication* application = GetApplicationObject();
  auto* window = application ? dynamic_cast<TMyScrnSavWindow*>(application->GetMainWindow()) : nullptr;
  TRunEnd end;
  end.WasRunning = window && window->GetSim();
  if (end.WasRunning) end.SavedTo = window->EndRun();
  return end;
}
