// The saver's end when the display goes away or a signal comes while a dialog holds the program.
#include "abrupt_end.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "owlscrn25.h"

void EndRunAtOnce(TAbruptEnd reason) {
  const TApplication* application = GetApplicationObject();
  auto* window = application ? dynamic_cast<TMyScrnSavWindow*>(application->GetMainWindow()) : nullptr;
  const bool running = window && window->GetSim();
  const std::string saved = running ? window->EndRun() : std::string();
  if (reason == TAbruptEnd::Signal) {
    RaiseEndingSignal();
    std::_Exit(1);
  }
  if (!saved.empty()) {
    std::fprintf(stderr, "tesmar: the display went away; the final state is in %s\n", saved.c_str());
  } else if (running) {
    std::fprintf(stderr, "tesmar: the display went away; the final state could not be written\n");
  } else {
    std::fprintf(stderr, "tesmar: the display went away\n");
  }
  std::fflush(nullptr);
  std::_Exit(1);
}
