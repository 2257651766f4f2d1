// The saver window in a hidden host window or on its own, made, stepped and ended without the saver's loop.
#include "headless_saver.h"

#include <string>

THeadlessSaver::THeadlessSaver(TMyScrnSavApp& application, std::optional<TSize> hostSize) : Application(application) {
  if (hostSize) {
    Host = std::make_unique<TWindow>(nullptr, "tesmar host");
    Host->Attr.Style = WS_POPUP;
    Host->Attr.W = hostSize->cx;
    Host->Attr.H = hostSize->cy;
    if (!Host->Create()) {
      Error = "cannot create a hidden window of " + std::to_string(hostSize->cx) + "x" + std::to_string(hostSize->cy);
      return;
    }
    Application.SetHostParent(Host.get());
  }
  Window = new TMyScrnSavWindow(Host.get(), AppName, nullptr);
  Application.SetMainWindow(Window);
  if (!Window->Create()) Error = "cannot create the saver window";
}

THeadlessSaver::~THeadlessSaver() {
  if (Window) {
    Window->Destroy(0);
    Application.SetMainWindow(nullptr);
    delete Window;
  }
  if (Host) Host->Destroy(0);
}

void THeadlessSaver::SendReinitTimer() {
  TMessage timer{WM_TIMER, Window->TimerId, 0, 0};
  Window->Dispatch(timer);
}
