// What the Linux program does when its run cannot reach the ordinary close of its window.
#pragma once

#include "qt_signals.h"

// The display went away, or a signal came while a dialog held the program: the saver window's engine
// writes its final state here, once, and the process ends, by that signal or with exit code 1 and a
// line on standard error that says where the state went.
[[noreturn]] void EndRunAtOnce(TAbruptEnd reason);
