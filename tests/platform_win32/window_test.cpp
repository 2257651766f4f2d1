// Real windows: class registration, real messages dispatched to the response tables, the message
// pump and loop of the application, and the window operations.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework.h"

namespace {
constexpr UINT kThrow = WM_USER + 1;
constexpr UINT kProbeCommand = 500;

class ProbeWindow : public TFrameWindow {
 public:
  ProbeWindow() : TFrameWindow(nullptr, "probe") { Attr.Style = WS_POPUP; }

  const char* GetClassName() override { return "tesmar_test_probe"; }
  void GetWindowClass(WNDCLASS& windowClass) override {
    TFrameWindow::GetWindowClass(windowClass);
    windowClass.style |= CS_SAVEBITS;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  }
  void SetupWindow() override {
    TFrameWindow::SetupWindow();
    SetupHandles.push_back(GetHandle());
  }
  void CleanupWindow() override { ++Cleanups; }

  void EvKeyDown(UINT key, UINT repeat, UINT flags) { Log.push_back("key " + Join(key, repeat, flags)); }
  void EvMouseMove(UINT flags, TPoint& point) { Log.push_back("move " + Join(flags, point.x, point.y)); }
  void EvActivateApp(bool active, DWORD thread) { Log.push_back("app " + Join(active, thread != 0, 0)); }
  void EvTimer(UINT id) { Log.push_back("timer " + std::to_string(id)); }
  void EvSetText() {
    Log.push_back("settext");
    DefaultProcessing();
  }
  void EvThrow() { throw std::runtime_error("from a handler"); }
  void CmProbe() { Log.push_back("command"); }

  std::vector<std::string> Log;
  std::vector<HWND> SetupHandles;
  int Cleanups = 0;

  DECLARE_WINDOW_RESPONSES()

 private:
  static std::string Join(long a, long b, long c) {
    return std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c);
  }
};

const TResponseTable& ProbeWindow::ResponseTable() {
  static const TResponseEntry entries[] = {
      Respond<&ProbeWindow::EvKeyDown>(WM_KEYDOWN),   Respond<&ProbeWindow::EvMouseMove>(WM_MOUSEMOVE),
      Respond<&ProbeWindow::EvActivateApp>(WM_ACTIVATEAPP), Respond<&ProbeWindow::EvTimer>(WM_TIMER),
      Respond<&ProbeWindow::EvSetText>(WM_SETTEXT),   Respond<&ProbeWindow::EvThrow>(kThrow),
      RespondCommand<&ProbeWindow::CmProbe>(kProbeCommand),
  };
  static const TResponseTable table{entries, std::size(entries), &TFrameWindow::ResponseTable()};
  return table;
}

// Pumps until `done` or about two seconds have passed.
template <class Done> bool PumpUntil(TApplication& application, Done done) {
  for (int i = 0; i < 200 && !done(); ++i) {
    application.PumpWaitingMessages();
    if (!done()) Sleep(10);
  }
  return done();
}

class Windows : public ::testing::Test {
 protected:
  TApplication application{"tesmar-test"};
};

TEST_F(Windows, CreateRegistersTheClassTheWindowDescribesAndSetsItUpOnce) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  const HWND handle = window.GetHandle();
  ASSERT_TRUE(IsWindow(handle));
  EXPECT_EQ(window.SetupHandles, std::vector<HWND>{handle});
  EXPECT_TRUE(window.Create());  // already there: nothing new
  EXPECT_EQ(window.SetupHandles.size(), 1u);

  char className[64] = "";
  GetClassNameA(handle, className, sizeof className);
  EXPECT_STREQ(className, "tesmar_test_probe");
  EXPECT_TRUE(GetClassLongA(handle, GCL_STYLE) & CS_SAVEBITS);
  EXPECT_EQ(GetClassLongPtrA(handle, GCLP_HBRBACKGROUND), reinterpret_cast<LONG_PTR>(GetStockObject(NULL_BRUSH)));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(handle, GWL_STYLE)) & (WS_POPUP | WS_CAPTION), WS_POPUP);
  char title[16] = "";
  GetWindowTextA(handle, title, sizeof title);
  EXPECT_STREQ(title, "probe");
}

TEST_F(Windows, SystemMessagesReachTheHandlersWithTheirParametersUnpacked) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  const HWND handle = window.GetHandle();
  SendMessageA(handle, WM_KEYDOWN, VK_RETURN, MAKELPARAM(3, 0x1C));
  SendMessageA(handle, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5, 700));
  SendMessageA(handle, WM_ACTIVATEAPP, FALSE, 1234);
  SendMessageA(handle, WM_TIMER, 42, 0);
  SendMessageA(handle, WM_COMMAND, MAKEWPARAM(kProbeCommand, BN_CLICKED), 0);
  SendMessageA(handle, WM_COMMAND, MAKEWPARAM(kProbeCommand + 1, BN_CLICKED), 0);  // no entry
  EXPECT_EQ(window.Log, (std::vector<std::string>{"key 13 3 28", "move 1 -5 700", "app 0 1 0", "timer 42",
                                                  "command"}));
}

TEST_F(Windows, DefaultProcessingIsTheSystemsHandlingOfTheCurrentMessage) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  SendMessageA(window.GetHandle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("renamed"));
  char title[16] = "";
  GetWindowTextA(window.GetHandle(), title, sizeof title);
  EXPECT_STREQ(title, "renamed");  // the handler ran and passed the message on
  EXPECT_EQ(window.Log, std::vector<std::string>{"settext"});
  // A message without an entry goes straight to the system: WM_GETTEXTLENGTH answers.
  EXPECT_EQ(SendMessageA(window.GetHandle(), WM_GETTEXTLENGTH, 0, 0), 7);
}

TEST_F(Windows, PostedMessagesAreHandledWhenThePumpRuns) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  application.PumpWaitingMessages();
  window.Log.clear();
  EXPECT_TRUE(window.PostMessage(WM_KEYDOWN, 'A', MAKELPARAM(1, 0)));
  EXPECT_TRUE(window.PostMessage(WM_TIMER, 7));
  EXPECT_TRUE(window.Log.empty());
  EXPECT_GE(application.PumpWaitingMessages(), 2);
  EXPECT_EQ(window.Log, (std::vector<std::string>{"key 65 1 0", "timer 7"}));
  EXPECT_EQ(application.PumpWaitingMessages(), 0);
}

TEST_F(Windows, WindowWithoutAHandlePostsNothing) {
  ProbeWindow window;
  EXPECT_FALSE(window.PostMessage(WM_CLOSE));
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_CLOSE, WM_CLOSE, PM_NOREMOVE));
  EXPECT_FALSE(window.MoveWindow(TRect(0, 0, 10, 10)));
  EXPECT_FALSE(window.KillTimer(1));
  window.Invalidate();  // a null handle repaints every window, which is harmless
}

TEST_F(Windows, ClosingTheMainWindowDestroysItAndEndsTheLoop) {
  auto* window = new ProbeWindow;
  application.SetMainWindow(window);
  ASSERT_TRUE(window->Create());
  const HWND handle = window->GetHandle();
  EXPECT_TRUE(window->PostMessage(WM_CLOSE));
  ASSERT_TRUE(PumpUntil(application, [&] { return application.QuitReceived(); }));
  EXPECT_EQ(application.QuitCode(), 0);
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(window->GetHandle(), nullptr);
  EXPECT_EQ(window->Cleanups, 1);
}

TEST_F(Windows, ClosingAnotherWindowDestroysItButTheLoopGoesOn) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  SendMessageA(window.GetHandle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(window.GetHandle(), nullptr);
  application.PumpWaitingMessages();
  EXPECT_FALSE(application.QuitReceived());
}

class IdleApplication : public TApplication {
 public:
  IdleApplication() : TApplication("tesmar-idle") {}
  void InitMainWindow() override { SetMainWindow(new ProbeWindow); }
  bool IdleAction(long idleCount) override {
    Counts.push_back(idleCount);
    if (Counts.size() == 3) GetMainWindow()->PostMessage(WM_TIMER, 1);
    if (Counts.size() == 6) GetMainWindow()->PostMessage(WM_CLOSE);
    // From the seventh call on the loop must wait for a message instead of spinning.
    return Counts.size() < 6;
  }
  std::vector<long> Counts;
};

TEST(ApplicationLoop, RunShowsTheMainWindowCallsIdleActionAndReturnsTheQuitCode) {
  IdleApplication application;
  EXPECT_EQ(application.Run(), 0);
  ASSERT_GE(application.Counts.size(), 6u);
  // The timer message was dispatched after the third call, which restarts the count.
  EXPECT_EQ(std::vector<long>(application.Counts.begin(), application.Counts.begin() + 5),
            (std::vector<long>{0, 1, 2, 0, 1}));
}

TEST(ApplicationLoop, RunWithoutAMainWindowRaisesTheError) {
  TApplication application("tesmar-empty");
  EXPECT_THROW(application.Run(), TInvalidMainWindow);
}

// An exception cannot cross the system's frames; the pump raises it once DispatchMessage returned.
TEST_F(Windows, ExceptionInAHandlerReachesThePumpsCaller) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  application.PumpWaitingMessages();
  window.PostMessage(kThrow);
  window.PostMessage(WM_TIMER, 9);
  EXPECT_THROW(application.PumpWaitingMessages(), std::runtime_error);
  application.PumpWaitingMessages();  // the rest of the queue is still there
  EXPECT_EQ(window.Log, std::vector<std::string>{"timer 9"});
}

TEST_F(Windows, MoveWindowSetsPositionAndSizeWithoutActivating) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  const HWND before = GetActiveWindow();
  EXPECT_TRUE(window.MoveWindow(TRect(10, 20, 110, 70), true));
  RECT rect;
  GetWindowRect(window.GetHandle(), &rect);
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 20);
  EXPECT_EQ(rect.right, 110);
  EXPECT_EQ(rect.bottom, 70);
  EXPECT_EQ(GetActiveWindow(), before);
}

TEST_F(Windows, TimersStopAndUnknownTimersAreHarmless) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  ASSERT_TRUE(SetTimer(window.GetHandle(), 5, 10, nullptr));
  EXPECT_TRUE(window.KillTimer(5));
  EXPECT_FALSE(window.KillTimer(5));
  EXPECT_FALSE(window.KillTimer(77));
  Sleep(30);
  application.PumpWaitingMessages();
  EXPECT_TRUE(window.Log.empty());
}

TEST_F(Windows, AliasLeavesTheWindowItWrapsAlone) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  {
    TWindow alias(window.GetHandle());
    EXPECT_TRUE(alias.IsAlias());
    EXPECT_EQ(alias.GetTitle(), "probe");
    alias.Destroy();
  }
  EXPECT_TRUE(IsWindow(window.GetHandle()));
  const HWND handle = window.GetHandle();
  {
    ProbeWindow owned;
    ASSERT_TRUE(owned.Create());
    window.SetParent(&owned);  // a top-level window takes an owner
    EXPECT_EQ(GetWindow(handle, GW_OWNER), owned.GetHandle());
    window.SetParent(nullptr);
    EXPECT_EQ(GetWindow(handle, GW_OWNER), nullptr);
  }
}

TEST_F(Windows, MessageBoxGoesToTheHookWithTheApplicationNameAsDefaultCaption) {
  std::vector<std::string> seen;
  SetMessageBoxHook([&](const char* text, const char* caption, UINT type) {
    seen.push_back(std::string(text) + "|" + caption + "|" + std::to_string(type));
    return IDRETRY;
  });
  ProbeWindow window;
  EXPECT_EQ(window.MessageBox("matherror occured", nullptr, MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(window.MessageBox("Disk error saving bitmap!", "caption"), IDRETRY);
  SetMessageBoxHook({});
  EXPECT_EQ(seen, (std::vector<std::string>{"matherror occured|tesmar-test|5", "Disk error saving bitmap!|caption|0"}));
}
}  // namespace
