// The saver's end when the display goes away or a signal comes while a dialog holds the program.
#include "abrupt_end.h"

#include <cstdio>
#include <cstdlib>

#include "program_start.h"

void EndRunAtOnce(TAbruptEnd reason) {
  const TRunEnd end = EndRunNow();
  if (reason == TAbruptEnd::Signal) {
    RaiseEndingSignal();
    std::_Exit(1);
  }
  if (!end.SavedTo.empty()) {
    std::fprintf(stderr, "tesmar: the display went away; the final state is in %s\n", end.SavedTo.c_str());
  } else if (end.WasRunning) {
    std::fprintf(stderr, "tesmar: the display went away; the final state could not be written\n");
  } else {
    std::fprintf(stderr, "tesmar: the display went away\n");
  }
  std::fflush(nullptr);
  std::_Exit(1);
}
