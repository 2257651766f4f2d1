// The saver run by a screen-saver host: inside the window it hands over, with the choices of its
// command line in place of the settings file's, until the host stops it.
#include <cstdio>
#include <memory>

#include "host_options.h"
#include "owlscrn25.h"
#include "program_entry.h"
#include "settings.h"

int HostMain(const THostOptions& options) {
  SetRunChoices(TRunChoices{options.Speed, options.FrameOn, options.WhatFile});
  SetStartFileOverride(options.WhatFile == 0 ? options.ParamFile.c_str() : nullptr);

  // Checked before the engine writes its start, so that a wrong id leaves every file alone.
  std::unique_ptr<TWindow> host;
  if (options.Target != THostOptions::TTarget::Window) {
    const HWND window = OpenForeignWindow(options.WindowId);
    if (!window) {
      if (options.WindowId) {
        std::fprintf(stderr, "tesmar: no window 0x%lx on this display\n", options.WindowId);
      } else {
        std::fprintf(stderr, "tesmar: cannot reach the screen's root window\n");
      }
      return 2;
    }
    host = std::make_unique<TWindow>(window);
  }

  return RunSaverApplication(
      [](TMyScrnSavApp& application, void* parent) { application.SetHostParent(static_cast<TWindow*>(parent)); },
      host.get());
}
