// The saver window on Qt's off-screen platform with a Retry/Cancel box open, and SIGTERM coming while
// it is: box_probe step|bitmap. "step": a ball whose marking cannot be drawn makes the animation step
// fail after a few good ones; "bitmap": the bitmap cannot be allocated while the window is built. The
// program then ends as tesmar does; the script checks how, and what default.tmr holds.
#include <QApplication>
#include <QTimer>

#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "abrupt_end.h"
#include "headless_saver.h"
#include "phys52.h"
#include "saver_files.h"

namespace {
// Sends the signal once the box is up: the timer fires inside the box's own loop.
void SignalWhenTheBoxIsOpen() {
  QTimer::singleShot(20, [] {
    if (QApplication::activeModalWidget()) {
      ::kill(::getpid(), SIGTERM);
    } else {
      SignalWhenTheBoxIsOpen();
    }
  });
}
}  // namespace

int main(int argc, char* argv[]) {
  const bool bitmap = argc == 2 && std::strcmp(argv[1], "bitmap") == 0;
  if (argc != 2 || (!bitmap && std::strcmp(argv[1], "step") != 0)) {
    std::fprintf(stderr, "usage: box_probe step|bitmap\n");
    return 2;
  }
  QApplication qt(argc, argv);
  InstallEndingSignals();
  SetAbruptEndHandler(EndRunAtOnce);

  TMyScrnSavApp application(AppName);
  if (bitmap) {
    SignalWhenTheBoxIsOpen();
    TBitmap::FailNext(1);
  }
  THeadlessSaver saver(application, TSize(640, 480));
  if (!saver.GetError().empty()) return 3;
  const std::string state = SaverFolderFile("default.tmr");
  std::filesystem::copy_file(state, state + ".start", std::filesystem::copy_options::overwrite_existing);

  for (int frame = 0; frame < 20; ++frame) saver.Step();
  saver.GetWindow().GetSim()->bodies[1].theta = INFINITY;
  SignalWhenTheBoxIsOpen();
  saver.Step();
  std::fprintf(stderr, "box_probe: the step did not fail\n");
  return 4;
}
