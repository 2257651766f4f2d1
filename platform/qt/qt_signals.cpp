// SIGTERM, SIGINT and SIGHUP end the program through its one ordinary shutdown path. The handler
// only notes the signal and writes a byte into a pipe; the message loop reads the pipe and posts
// WM_CLOSE to the main window, which saves the final state on its way out like any other close.
// While a dialog of Qt's own runs, nothing would read that close, so the run ends at once instead.
#include "qt_signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "qt_backend.h"

namespace {

constexpr int EndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

int signalPipe[2] = {-1, -1};
volatile sig_atomic_t endingSignal = 0;
TAbruptEndHandler abruptEndHandler = nullptr;

// Async-signal-safe: an atomic flag and a write to a non-blocking pipe, errno kept.
void OnEndingSignal(int number) {
  const int savedErrno = errno;
  if (endingSignal == 0) endingSignal = number;
  const unsigned char byte = static_cast<unsigned char>(number);
  // A full pipe already holds a wake-up, so a lost byte loses nothing.
  [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
  errno = savedErrno;
}

// Runs in the message loop. The main window closes the way input closes it; before there is one
// (the settings dialog), every top-level window closes as through its close box, which a dialog
// takes as Cancel; with no window at all the loop, if one runs, simply ends.
void CloseOnSignal() {
  unsigned char bytes[64];
  while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
  }
  if (qt_backend::InModalDialog()) qt_backend::EndAbruptly(TAbruptEnd::Signal);
  const TApplication* application = GetApplicationObject();
  const TFrameWindow* main = application ? application->GetMainWindow() : nullptr;
  if (main && main->GetHandle()) {
    PostMessageA(main->GetHandle(), WM_CLOSE, 0, 0);
    return;
  }
  bool closing = false;
  for (const HWND handle : qt_backend::RegisteredWindows()) {
    const TWindow* window = qt_backend::WindowOf(handle);
    if (window && !window->GetParent() && !window->IsAlias()) {
      closing = PostMessageA(handle, WM_CLOSE, 0, 0) != FALSE || closing;
    }
  }
  if (!closing) PostQuitMessage(0);
}

bool Ignored(int number) {
  struct sigaction current {};
  return ::sigaction(number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace

bool InstallEndingSignals() {
  if (signalPipe[0] >= 0) return true;
  if (!QCoreApplication::instance()) {
    FrameworkTrace("signals: no application object to read them");
    return false;
  }
  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    FrameworkTrace("signals: cannot make a pipe; SIGTERM, SIGINT and SIGHUP end the program without saving");
    return false;
  }
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { CloseOnSignal(); });

  struct sigaction action {};
  action.sa_handler = OnEndingSignal;
  ::sigemptyset(&action.sa_mask);
  for (const int number : EndingSignals) ::sigaddset(&action.sa_mask, number);
  // Interrupted system calls go on, so a write in progress finishes whole.
  action.sa_flags = SA_RESTART;
  for (const int number : EndingSignals) {
    if (!Ignored(number)) ::sigaction(number, &action, nullptr);
  }
  // A write to a display or a pipe that has gone fails with an error instead of killing the program
  // before it can save.
  ::signal(SIGPIPE, SIG_IGN);
  return true;
}

int EndingSignal() { return endingSignal; }

void RaiseEndingSignal() {
  const int number = endingSignal;
  if (number == 0) return;
  ::signal(number, SIG_DFL);
  sigset_t only;
  ::sigemptyset(&only);
  ::sigaddset(&only, number);
  ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(number);
}

void SetAbruptEndHandler(TAbruptEndHandler handler) { abruptEndHandler = handler; }

namespace qt_backend {
void EndAbruptly(TAbruptEnd reason) {
  static bool ending = false;
  if (!ending && abruptEndHandler) {
    ending = true;
    abruptEndHandler(reason);
  }
  if (reason == TAbruptEnd::Signal) RaiseEndingSignal();
  std::fflush(nullptr);
  std::_Exit(1);
}
}  // namespace qt_backend
