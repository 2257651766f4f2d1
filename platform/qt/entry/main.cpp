// The program's start on Linux: the start the program reads from its command line, Qt's platform for it,
// Qt's application object and the arguments for GetCommandLineA, then the run, which the ending signals
// and the display going away can end. Without a display a mode that shows something says so and ends,
// instead of letting Qt abort.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "abrupt_end.h"
#include "linux_services.h"
#include "program_start.h"
#include "qt_signals.h"
#include "xscreensaver_list.h"

namespace {

int AddToXscreensaver(const std::string& entry) {
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    std::fprintf(stderr, "tesmar: HOME is not set: cannot find ~/.xscreensaver\n");
    return 1;
  }
  return AddToXscreensaverFile(std::string(home) + "/.xscreensaver", "/etc/X11/app-defaults/XScreenSaver", entry);
}

bool Named(const char* variable) {
  const char* value = std::getenv(variable);
  return value && *value;
}

// Qt ends the process on a fatal message, such as a display it cannot open; while Qt starts,
// such a message becomes a plain error and exit code 1.
void StartupMessages(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
  std::fprintf(stderr, "tesmar: %s\n", message.toLocal8Bit().constData());
  if (type == QtFatalMsg) {
    std::fprintf(stderr, "tesmar: cannot open the display\n");
    std::fflush(stderr);
    std::_Exit(1);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  const bool withoutDisplay = !Named("DISPLAY") && !Named("WAYLAND_DISPLAY") && !Named("QT_QPA_PLATFORM");
  // The start may read the command line through GetCommandLineA before Qt exists.
  SetProgramArguments(argc, argv);
  const TProgramStart start = ReadProgramStart(argc, argv, withoutDisplay);
  switch (start.Action) {
    case TProgramStart::TAction::End:
      if (!start.Message.empty()) std::fprintf(stderr, "tesmar: %s\n", start.Message.c_str());
      return start.ExitCode;
    case TProgramStart::TAction::NeedsDisplay:
      std::fprintf(stderr,
                   "tesmar: no display: set DISPLAY (X11) or WAYLAND_DISPLAY, or QT_QPA_PLATFORM=offscreen to run "
                   "without a screen\n");
      return start.ExitCode;
    case TProgramStart::TAction::AddToHostList:
      return AddToXscreensaver(start.HostListEntry);
    case TProgramStart::TAction::Run:
      break;
  }
  if (start.FromHost) {
    // The hosts' windows are X11 windows, under a Wayland session too (through XWayland).
    if (!Named("DISPLAY")) {
      std::fprintf(stderr, "tesmar: no X11 display: set DISPLAY\n");
      return 1;
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);
  } else if (Named("WAYLAND_DISPLAY") && !Named("QT_QPA_PLATFORM")) {
    // In a Wayland session the saver's windows are the compositor's own, not XWayland's, which put
    // every window it manages on the focused output; X11 remains where Qt has no Wayland platform.
    setenv("QT_QPA_PLATFORM", "wayland;xcb", 1);
  } else if (withoutDisplay) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  int code = 0;
  {
    const QtMessageHandler previous = qInstallMessageHandler(StartupMessages);
    QApplication application(argc, argv);
    qInstallMessageHandler(previous);
    // After Qt has taken its own options (-platform, -display, ...) out of the arguments.
    SetProgramArguments(argc, argv);
    InstallEndingSignals();
    SetAbruptEndHandler(EndRunAtOnce);
    WatchDisplayConnection();
    code = start.Run(argc, argv);
  }
  // The final state is saved by now; a run that a signal ended ends by that signal, which is how a
  // host expects its saver to stop.
  RaiseEndingSignal();
  return code;
}
