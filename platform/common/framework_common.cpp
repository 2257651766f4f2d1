// The parts of the framework that are the same on every platform: dispatch through the response
// tables, the windows' shared members and message box, the application's run and message loop.
// The dialogs' shared members are in dialogs.cpp.
#include <cstdio>
#include <cstring>
#include <utility>

#include "framework.h"
#include "framework_backend.h"

namespace {
TApplication* applicationObject = nullptr;
unsigned messageBoxesOpened = 0;

TMessageBoxHook& messageBoxHook() {
  static TMessageBoxHook hook;
  return hook;
}
}  // namespace

TApplication* GetApplicationObject() { return applicationObject; }

void FrameworkTrace(const char* text) { std::fprintf(stderr, "tesmar: %s\n", text); }

// --- response tables --------------------------------------------------------------------------

const TResponseTable& TWindow::ResponseTable() {
  static const TResponseEntry entries[] = {
      Respond<&TWindow::EvClose>(WM_CLOSE),
  };
  static const TResponseTable table{entries, std::size(entries), nullptr};
  return table;
}

const TResponseTable& TFrameWindow::ResponseTable() {
  static const TResponseTable table{nullptr, 0, &TWindow::ResponseTable()};
  return table;
}

LRESULT TWindow::Dispatch(TMessage& message) {
  TMessage* previous = CurrentMessage;
  CurrentMessage = &message;
  if (const TResponseEntry* entry = Find(message)) {
    entry->Handler(*this, message);
  } else {
    message.Result = DefaultProcessing();
  }
  CurrentMessage = previous;
  return message.Result;
}

TApplication* TWindow::GetApplication() const { return applicationObject; }

void TWindow::EvClose() {
  TApplication* application = GetApplication();
  const bool isMain = application && application->GetMainWindow() == this;
  Destroy(0);
  if (isMain) PostQuitMessage(0);
}

// --- modules and windows ----------------------------------------------------------------------

TModule::TModule(const char* name) : Name(name ? name : "") {}

TModule& ProgramModule() {
  static TModule module("tesmar");
  return module;
}

TWindow::TWindow(TWindow* parent, const char* title, TModule* module)
    : Parent(parent), Title(title ? title : ""), Module(module) {}

void TWindow::SetupWindow() {}

void TWindow::CleanupWindow() {}

// Without a window the system would post to the thread's queue, where no window receives it.
bool TWindow::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return Handle && ::PostMessageA(Handle, message, wParam, lParam) != FALSE;
}

bool TWindow::KillTimer(UINT timerId) { return Handle && ::KillTimer(Handle, timerId) != FALSE; }

int TWindow::MessageBox(const char* text, const char* caption, UINT type) {
  if (!text) text = "";
  if (!caption) caption = GetApplication() ? GetApplication()->GetName() : "";
  ++messageBoxesOpened;
  if (messageBoxHook()) return messageBoxHook()(text, caption, type);
  return ShowSystemMessageBox(Handle, text, caption, type);
}

void SetMessageBoxHook(TMessageBoxHook hook) { messageBoxHook() = std::move(hook); }

unsigned MessageBoxesOpened() { return messageBoxesOpened; }

// --- frame windows ----------------------------------------------------------------------------

TFrameWindow::TFrameWindow(TWindow* parent, const char* title, TWindow* clientWindow, bool /*shrinkToClient*/,
                           TModule* module)
    : TWindow(parent, title, module), ClientWindow(clientWindow) {}

TFrameWindow::TFrameWindow(HWND existing, TModule* module) : TWindow(existing, module) {}

// The client window belongs to whoever made it.
TFrameWindow::~TFrameWindow() = default;

void TFrameWindow::SetupWindow() { TWindow::SetupWindow(); }

// --- application ------------------------------------------------------------------------------

TApplication::TApplication(const char* name) : TModule(name) { applicationObject = this; }

TApplication::~TApplication() {
  delete MainWindow;
  MainWindow = nullptr;
  if (applicationObject == this) applicationObject = nullptr;
}

int TApplication::Run() {
  InitMainWindow();
  if (!MainWindow || !MainWindow->Create()) throw TInvalidMainWindow();
  MainWindow->ShowWindow(SW_SHOW);
  return MessageLoop();
}

bool TApplication::IdleAction(long /*idleCount*/) { return false; }

int TApplication::MessageLoop() {
  // However the loop ends, an exception included.
  struct TTimedWaitsEnd {
    TApplication& Application;
    ~TTimedWaitsEnd() { Application.EndTimedWaits(); }
  } timedWaitsEnd{*this};

  long idleCount = 0;
  while (!Quit) {
    if (!IdleAction(idleCount++)) {
      WaitForMessage();
    } else {
      // Sleeping until the application has work again, rather than asking it at once, is what keeps
      // a paced animation from burning a core between its frames.
      const TIdleWake wake = NextIdleWake();
      if (wake.When == TIdleWake::AtTick) {
        WaitForMessageUntil(wake.Tick);
      } else if (wake.When == TIdleWake::OnMessage) {
        WaitForMessage();
      }
    }
    if (PumpWaitingMessages() > 0) idleCount = 0;
  }
  return ExitCode;
}
