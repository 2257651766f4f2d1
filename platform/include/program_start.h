// What the program gives its back end's start-up code: the entry the framework calls and, where the
// system's screen-saver hosts start savers with a command line of their own, the reading of that line
// before the window system starts and the end of a run that cannot wait for its window's close.
#pragma once

#include <functional>
#include <string>

// The program's own entry, called once the window system runs, with the arguments it left.
int OwlMain(int argc, char* argv[]);

// What a start asks of the back end before the window system starts.
struct TProgramStart {
  enum class TAction {
    End,            // end now with ExitCode, after Message (when there is one) on standard error
    NeedsDisplay,   // the start shows a window and there is no display: the back end says how to name
                    // one, and ends with ExitCode
    AddToHostList,  // add HostListEntry to the user's list of the host's savers instead of running
    Run,            // start the window system, then Run
  };
  TAction Action = TAction::Run;
  int ExitCode = 0;
  std::string Message;
  std::string HostListEntry;
  // Started by a screen-saver host's command line: the run draws on the host's window system (on Linux
  // X11), into the window the host hands over or, for trying it out, into one of its own.
  bool FromHost = false;
  // The run itself, given the arguments the window system left; returns the exit code.
  std::function<int(int argc, char* argv[])> Run;
};

// Reads the command line (argv[0] is the program; GetCommandLineA must give the same line) and the
// host's environment. `withoutDisplay`: the system offers no display at all, so that a start that would
// show a window ends at once, and one that shows nothing runs without a screen.
TProgramStart ReadProgramStart(int argc, const char* const argv[], bool withoutDisplay);

// Ends the saver window's run at once, for when the display went away or a signal came while a dialog
// held the program: the engine writes its final state, once, and nothing moves after it.
struct TRunEnd {
  bool WasRunning = false;  // a saver window had a run going
  std::string SavedTo;      // where the final state went; empty when it could not be written
};
TRunEnd EndRunNow();
