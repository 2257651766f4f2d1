// Messages on real windows of either back end: response tables and their chaining, posted messages,
// the application's loop, closing windows, timers, aliases and the message box.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "framework.h"
#include "probes.h"

namespace {
constexpr UINT kNext = WM_USER + 1;
constexpr UINT kThrow = WM_USER + 2;
constexpr UINT kProbeCommand = TLoggingWindow::ProbeCommand;

class ProbeWindow : public TLoggingWindow {
 public:
  void CleanupWindow() override { ++Cleanups; }

  void EvUser() {
    Log.push_back("user begin");
    PostMessage(kNext);
    Log.push_back("user end");
  }
  void EvNext() { Log.push_back("next"); }
  void EvThrow() { throw std::runtime_error("from a handler"); }

  int Cleanups = 0;

  DECLARE_WINDOW_RESPONSES()
};

const TResponseTable& ProbeWindow::ResponseTable() {
  static const TResponseEntry entries[] = {
      Respond<&ProbeWindow::EvUser>(WM_USER),
      Respond<&ProbeWindow::EvNext>(kNext),
      Respond<&ProbeWindow::EvThrow>(kThrow),
  };
  static const TResponseTable table{entries, std::size(entries), &TLoggingWindow::ResponseTable()};
  return table;
}

class Dispatch : public ::testing::Test {
 protected:
  // Pumps, waiting for messages in between, until `done` or a generous number of rounds.
  template <class Done> bool PumpUntil(Done done) {
    for (int i = 0; i < 200 && !done(); ++i) {
      if (application.PumpWaitingMessages() == 0 && !done()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
  }

  TApplication application{"tesmar-test"};
};

TEST_F(Dispatch, ResponseTablesFindTheirOwnEntryThenTheBaseTablesAndUnpackTheParameters) {
  ProbeWindow window;
  const TMessage user{WM_USER, 0, 0, 0};
  const TMessage close{WM_CLOSE, 0, 0, 0};
  const TMessage otherCommand{WM_COMMAND, MAKEWPARAM(kProbeCommand + 1, 0), 0, 0};
  const TMessage unknown{WM_USER + 50, 0, 0, 0};
  EXPECT_EQ(window.Find(user)->Message, WM_USER);
  // WM_CLOSE comes from the base window's table, through TFrameWindow's empty one.
  const TResponseEntry* closeEntry = window.Find(close);
  ASSERT_NE(closeEntry, nullptr);
  EXPECT_EQ(closeEntry, TWindow::ResponseTable().Search(close));
  EXPECT_EQ(window.Find(otherCommand), nullptr);
  EXPECT_EQ(window.Find(unknown), nullptr);

  ASSERT_TRUE(window.Create());
  application.PumpWaitingMessages();
  window.Log.clear();
  for (TMessage message : {TMessage{WM_KEYDOWN, VK_RETURN, MAKELPARAM(3, 0x1C), 0},
                           TMessage{WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5, 700), 0},
                           TMessage{WM_ACTIVATEAPP, FALSE, 1234, 0}, TMessage{WM_TIMER, 42, 0, 0},
                           TMessage{WM_COMMAND, MAKEWPARAM(kProbeCommand, 0), 0, 0}}) {
    window.Dispatch(message);
  }
  EXPECT_EQ(window.Log, (std::vector<std::string>{"key 13 3 28", "move 1 -5 700", "app 0 1234 0", "timer 42",
                                                  "command"}));
}

TEST_F(Dispatch, PostedMessagesWaitForThePumpAndComeAfterTheMessageThatPostedThem) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  application.PumpWaitingMessages();
  window.Log.clear();
  EXPECT_TRUE(window.PostMessage(WM_USER));
  EXPECT_TRUE(window.PostMessage(WM_TIMER, 7));
  EXPECT_TRUE(window.Log.empty());
  EXPECT_GE(application.PumpWaitingMessages(), 2);
  // The message posted by the first handler waits behind the timer that was already queued.
  EXPECT_EQ(window.Log, (std::vector<std::string>{"user begin", "user end", "timer 7", "next"}));
  EXPECT_EQ(application.PumpWaitingMessages(), 0);
}

TEST_F(Dispatch, MessagesToGoneWindowsAndWindowsWithoutAHandleGoNowhere) {
  ProbeWindow unmade;
  EXPECT_FALSE(unmade.PostMessage(WM_CLOSE));
  EXPECT_FALSE(unmade.MoveWindow(TRect(0, 0, 10, 10)));
  EXPECT_FALSE(unmade.KillTimer(1));
  unmade.Invalidate();  // a null handle repaints every window, which is harmless
  EXPECT_EQ(application.PumpWaitingMessages(), 0);
  EXPECT_FALSE(application.QuitReceived());

  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  application.PumpWaitingMessages();
  window.Log.clear();
  const HWND gone = window.GetHandle();
  window.PostMessage(kNext);
  window.Destroy();
  EXPECT_EQ(window.GetHandle(), nullptr);
  application.PumpWaitingMessages();
  EXPECT_TRUE(window.Log.empty());
  EXPECT_EQ(PostMessageA(gone, WM_USER, 0, 0), FALSE);
}

// An exception cannot always cross the system's frames; either way it reaches whoever pumps.
TEST_F(Dispatch, ExceptionInAHandlerReachesThePumpsCallerAndTheQueueKeepsTheRest) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  application.PumpWaitingMessages();
  window.Log.clear();
  window.PostMessage(kThrow);
  window.PostMessage(WM_TIMER, 9);
  EXPECT_THROW(application.PumpWaitingMessages(), std::runtime_error);
  application.PumpWaitingMessages();
  EXPECT_EQ(window.Log, std::vector<std::string>{"timer 9"});
}

TEST_F(Dispatch, ClosingAnotherWindowDestroysItButTheLoopGoesOn) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  const HWND handle = window.GetHandle();
  EXPECT_TRUE(window.PostMessage(WM_CLOSE));
  ASSERT_TRUE(PumpUntil([&] { return window.GetHandle() == nullptr; }));
  EXPECT_EQ(window.Cleanups, 1);
  EXPECT_EQ(PostMessageA(handle, WM_USER, 0, 0), FALSE);
  application.PumpWaitingMessages();
  EXPECT_FALSE(application.QuitReceived());
}

TEST_F(Dispatch, TimersDeliverTheirIdUntilKilledAndUnknownTimersAreHarmless) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  EXPECT_FALSE(window.KillTimer(99));
  ASSERT_NE(SetTimer(window.GetHandle(), 5, 5, nullptr), 0u);
  window.Log.clear();
  ASSERT_TRUE(PumpUntil([&] { return !window.Log.empty(); }));
  EXPECT_EQ(window.Log.front(), "timer 5");
  EXPECT_TRUE(window.KillTimer(5));
  EXPECT_FALSE(window.KillTimer(5));

  // A killed timer sends nothing more.
  ASSERT_NE(SetTimer(window.GetHandle(), 6, 10, nullptr), 0u);
  EXPECT_TRUE(window.KillTimer(6));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  window.Log.clear();
  application.PumpWaitingMessages();
  EXPECT_TRUE(window.Log.empty());
}

TEST_F(Dispatch, AliasReachesTheWindowItWrapsAndLeavesItAlone) {
  ProbeWindow window;
  ASSERT_TRUE(window.Create());
  application.PumpWaitingMessages();
  window.Log.clear();
  {
    TFrameWindow alias(window.GetHandle());
    EXPECT_TRUE(alias.IsAlias());
    EXPECT_EQ(alias.GetHandle(), window.GetHandle());
    EXPECT_TRUE(alias.PostMessage(kNext));
    alias.Destroy();
  }
  EXPECT_NE(window.GetHandle(), nullptr);
  application.PumpWaitingMessages();
  // The alias's message reached the real window's table, which is still there.
  EXPECT_EQ(window.Log, std::vector<std::string>{"next"});
  EXPECT_TRUE(window.PostMessage(kNext));
  EXPECT_EQ(window.Cleanups, 0);
}

TEST_F(Dispatch, MessageBoxGoesToTheHookWithTheApplicationNameAsDefaultCaption) {
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

// Idle calls until the third posts a timer message and the sixth a close, then waits.
class IdleApplication : public TApplication {
 public:
  IdleApplication() : TApplication("tesmar-idle") {}
  void InitMainWindow() override { SetMainWindow(Window = new ProbeWindow); }
  bool IdleAction(long idleCount) override {
    Counts.push_back(idleCount);
    if (Counts.size() == 3) {
      Window->PostMessage(WM_TIMER, 1);
    }
    if (Counts.size() == 6) {
      Closed = Window->GetHandle();
      Window->PostMessage(WM_CLOSE);
    }
    // From the seventh call on the loop must wait for a message instead of spinning.
    return Counts.size() < 6;
  }
  ProbeWindow* Window = nullptr;
  std::vector<long> Counts;
  HWND Closed = nullptr;
};

TEST(ApplicationLoop, RunShowsTheMainWindowCallsIdleActionAndClosingItEndsTheLoop) {
  IdleApplication application;
  EXPECT_EQ(application.Run(), 0);
  EXPECT_TRUE(application.QuitReceived());
  ASSERT_GE(application.Counts.size(), 6u);
  // The timer message was handled after the third call, which restarts the count.
  EXPECT_EQ(std::vector<long>(application.Counts.begin() + 3, application.Counts.begin() + 5),
            (std::vector<long>{0, 1}));
  const std::vector<std::string>& log = application.Window->Log;
  EXPECT_EQ(std::count(log.begin(), log.end(), "timer 1"), 1);  // the system may add activation messages
  // The closed main window was destroyed, once, and nothing reaches it any more.
  EXPECT_EQ(application.GetMainWindow()->GetHandle(), nullptr);
  EXPECT_EQ(application.Window->Cleanups, 1);
  EXPECT_EQ(PostMessageA(application.Closed, WM_USER, 0, 0), FALSE);
  EXPECT_LT(application.Counts.size(), 20u);
}

TEST(ApplicationLoop, RunWithoutAMainWindowRaisesTheError) {
  TApplication application("tesmar-empty");
  EXPECT_THROW(application.Run(), TInvalidMainWindow);
}

// The pump's clock counts single milliseconds: the steps between its readings are 1 ms, bar the
// odd one where this thread did not run.
TEST(MillisecondTick, StepsByOneMillisecond) {
  int steps = 0;
  int singleSteps = 0;
  DWORD last = GetMillisecondTick();
  while (steps < 40) {
    const DWORD now = GetMillisecondTick();
    if (now == last) continue;
    ++steps;
    if (now - last == 1) ++singleSteps;
    last = now;
  }
  EXPECT_GE(singleSteps, 30) << singleSteps << " of 40 steps were of 1 ms";
}

}  // namespace
