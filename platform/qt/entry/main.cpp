// The program's start on Linux: a screen-saver host's command line, or Qt's application object, the
// arguments for GetCommandLineA and the program's own entry; then the ending signals and the display
// going away. Without a display a mode that shows something says so and ends, instead of letting Qt abort.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "abrupt_end.h"
#include "host_options.h"
#include "linux_services.h"
#include "owlscrn25.h"
#include "program_entry.h"
#include "qt_signals.h"
#include "xscreensaver_list.h"

namespace {

int AddToXscreensaver() {
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    std::fprintf(stderr, "tesmar: HOME is not set: cannot find ~/.xscreensaver\n");
    return 1;
  }
  return AddToXscreensaverFile(std::string(home) + "/.xscreensaver", "/etc/X11/app-defaults/XScreenSaver",
                               "tesmar --root");
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
  THostOptions host;
  std::string error;
  const THostCommand command = ReadHostCommandLine(argc, argv, std::getenv("XSCREENSAVER_WINDOW"), host, error);
  if (command == THostCommand::Error) {
    std::fprintf(stderr, "tesmar: %s\n", error.c_str());
    return 2;
  }
  const bool hosted = command == THostCommand::Run;
  if (hosted && host.AddToXscreensaver) return AddToXscreensaver();
  if (hosted) {
    // The hosts' windows are X11 windows, under a Wayland session too (through XWayland).
    if (!Named("DISPLAY")) {
      std::fprintf(stderr, "tesmar: no X11 display: set DISPLAY\n");
      return 1;
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);
  }
  // In a Wayland session the saver's windows are the compositor's own, not XWayland's, which put
  // every window it manages on the focused output; X11 remains where Qt has no Wayland platform.
  if (!hosted && Named("WAYLAND_DISPLAY") && !Named("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "wayland;xcb", 1);
  if (!Named("DISPLAY") && !Named("WAYLAND_DISPLAY") && !Named("QT_QPA_PLATFORM")) {
    // Only the saver and the settings dialog show anything: the running check and the other modes
    // end as they would with a display.
    SetProgramArguments(argc, argv);
    long parent = 0;
    const int mode = ReadScrMode(GetCommandLineA(), parent);
    if (IsSaverRunning()) return 0;
    if (mode == ScrModeSave || mode == ScrModeConfigure) {
      std::fprintf(stderr,
                   "tesmar: no display: set DISPLAY (X11) or WAYLAND_DISPLAY, or QT_QPA_PLATFORM=offscreen to run "
                   "without a screen\n");
      return 1;
    }
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
    code = hosted ? HostMain(host) : OwlMain(argc, argv);
  }
  // The final state is saved by now; a run that a signal ended ends by that signal, which is how a
  // host expects its saver to stop.
  RaiseEndingSignal();
  return code;
}
