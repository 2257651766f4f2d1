// The program's start on Linux: Qt's application object, the arguments for GetCommandLineA, the
// ending signals, then the program's own entry. Without a display it says so and ends, instead of
// letting Qt abort.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "linux_services.h"
#include "qt_signals.h"

int OwlMain(int argc, char* argv[]);

namespace {

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
  if (!Named("DISPLAY") && !Named("WAYLAND_DISPLAY") && !Named("QT_QPA_PLATFORM")) {
    std::fprintf(stderr,
                 "tesmar: no display: set DISPLAY (X11) or WAYLAND_DISPLAY, or QT_QPA_PLATFORM=offscreen to run "
                 "without a screen\n");
    return 1;
  }
  int code = 0;
  {
    const QtMessageHandler previous = qInstallMessageHandler(StartupMessages);
    QApplication application(argc, argv);
    qInstallMessageHandler(previous);
    // After Qt has taken its own options (-platform, -display, ...) out of the arguments.
    SetProgramArguments(argc, argv);
    InstallEndingSignals();
    code = OwlMain(argc, argv);
  }
  // The final state is saved by now; a run that a signal ended ends by that signal.
  RaiseEndingSignal();
  return code;
}
