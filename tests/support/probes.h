// Framework windows and dialogs that tests of either back end drive: a window that logs what reaches
// its handlers, and a dialog that runs a script once its controls exist.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework.h"

class TLoggingWindow : public TFrameWindow {
 public:
  static constexpr int ProbeCommand = 300;

  TLoggingWindow() : TFrameWindow(nullptr, "probe") { Attr.Style = WS_POPUP; }

  void EvKeyDown(UINT key, UINT repeat, UINT flags) { Log.push_back("key " + Join(key, repeat, flags)); }
  void EvMouseMove(UINT flags, TPoint& point) { Log.push_back("move " + Join(flags, point.x, point.y)); }
  void EvActivateApp(bool active, DWORD thread) { Log.push_back("app " + Join(active, thread, 0)); }
  void EvTimer(UINT id) { Log.push_back("timer " + std::to_string(id)); }
  void CmProbe() { Log.push_back("command"); }

  std::vector<std::string> Log;

  DECLARE_WINDOW_RESPONSES()

 protected:
  static std::string Join(long a, long b, long c) {
    return std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c);
  }
};

inline const TResponseTable& TLoggingWindow::ResponseTable() {
  static const TResponseEntry entries[] = {
      Respond<&TLoggingWindow::EvKeyDown>(WM_KEYDOWN),         Respond<&TLoggingWindow::EvMouseMove>(WM_MOUSEMOVE),
      Respond<&TLoggingWindow::EvActivateApp>(WM_ACTIVATEAPP), Respond<&TLoggingWindow::EvTimer>(WM_TIMER),
      RespondCommand<&TLoggingWindow::CmProbe>(ProbeCommand),
  };
  static const TResponseTable table{entries, std::size(entries), &TFrameWindow::ResponseTable()};
  return table;
}

// Runs its script once the dialog's controls exist, then records what reaches CloseWindow.
template <class Derived>
class TScriptedDialog : public TDialog {
 public:
  TScriptedDialog(std::function<void(Derived&)> script, TWindow* parent, const char* name)
      : TDialog(parent, name), Script(std::move(script)) {}

  void SetupWindow() override {
    TDialog::SetupWindow();
    ++Setups;
    if (Script) Script(static_cast<Derived&>(*this));
  }
  void CloseWindow(int returnValue) override {
    Closes.push_back(returnValue);
    TDialog::CloseWindow(returnValue);
  }

  std::function<void(Derived&)> Script;
  int Setups = 0;
  std::vector<int> Closes;
};
