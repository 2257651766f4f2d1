// How a Linux program is told to end from outside: the signals that ask it to (SIGTERM, SIGINT,
// SIGHUP), turned into the ordinary close of the application's main window, and the display going away.
#pragma once

// Installs the handlers and the notifier that reads them; needs the Qt application object. The
// handlers stay for the life of the process, so a second signal never cuts a final write short.
// A signal that the parent left ignored (nohup, a background job) stays ignored.
// False, with a trace, when the program cannot listen for them.
bool InstallEndingSignals();

// The first ending signal this process received, or 0.
int EndingSignal();

// Once the run has ended and saved: when a signal ended it, ends the process as that signal's default
// action would, so the parent learns what ended it; otherwise returns.
void RaiseEndingSignal();

// Ends that cannot wait for the ordinary close: the display's connection broke (Qt ends the process
// right after saying so), or an ending signal came while a dialog of Qt's own held the program in its
// loop, where the posted close would wait for an answer nobody gives.
enum class TAbruptEnd { DisplayLost, Signal };
using TAbruptEndHandler = void (*)(TAbruptEnd reason);
// The program's way of ending then: it runs on the GUI thread, once, and should not return. Without
// one (or when it returns) a signal ends the process by that signal, a lost display with exit code 1.
void SetAbruptEndHandler(TAbruptEndHandler handler);

// Listens for Qt's word that the display's connection broke; needs the Qt application object.
void WatchDisplayConnection();

namespace qt_backend {
// Hands the end to the program's handler.
[[noreturn]] void EndAbruptly(TAbruptEnd reason);
}  // namespace qt_backend
