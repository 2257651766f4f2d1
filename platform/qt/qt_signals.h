// The signals that ask a Linux program to end (SIGTERM, SIGINT, SIGHUP), turned into the ordinary
// close of the application's main window, so that the run ends the way input ends it.
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
