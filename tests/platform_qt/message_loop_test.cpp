// The application's message loop on Qt: idle calls, waiting and timed sleeps, posted messages and
// their order, response tables with their chaining, closing the main window, timers and default
// processing.
#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework.h"
#include "qt_backend.h"

namespace {

std::vector<std::string> journal;

class TJournalWindow : public TFrameWindow {
 public:
  explicit TJournalWindow(const char* title = "journal") : TFrameWindow(nullptr, title) { Attr.Style = WS_POPUP; }

  void EvUser() {
    journal.push_back("user begin");
    PostMessage(WM_USER + 1);
    journal.push_back("user end");
  }
  void EvUserNext() { journal.push_back("user next"); }
  void EvQuitLater() { PostQuitMessage(7); }
  void EvTimer(UINT id) { journal.push_back("timer " + std::to_string(id)); }
  void CmHello() { journal.push_back("command 300"); }

  DECLARE_WINDOW_RESPONSES()
};

const TResponseTable& TJournalWindow::ResponseTable() {
  static const TResponseEntry entries[] = {
      Respond<&TJournalWindow::EvUser>(WM_USER),
      Respond<&TJournalWindow::EvUserNext>(WM_USER + 1),
      Respond<&TJournalWindow::EvQuitLater>(WM_USER + 2),
      Respond<&TJournalWindow::EvTimer>(WM_TIMER),
      RespondCommand<&TJournalWindow::CmHello>(300),
  };
  static const TResponseTable table{entries, std::size(entries), &TFrameWindow::ResponseTable()};
  return table;
}

// Idle until `busyCalls` calls have passed, then let the loop wait.
class TJournalApp : public TApplication {
 public:
  explicit TJournalApp(int busy) : TApplication("journal app"), BusyCalls(busy) {}
  void InitMainWindow() override { SetMainWindow(new TJournalWindow); }
  bool IdleAction(long idleCount) override {
    IdleCounts.push_back(idleCount);
    if (OnIdle) OnIdle(idleCount);
    return idleCount < BusyCalls;
  }
  std::vector<long> IdleCounts;
  std::function<void(long)> OnIdle;
  long BusyCalls;
};

void Pump() { qt_backend::PumpMessages(); }

TEST(QtMessageLoop, WaitsOnlyWhenIdleReturnedFalseAndRestartsTheCountAfterMessages) {
  journal.clear();
  TJournalApp application(3);
  QElapsedTimer clock;
  bool armed = false;
  application.OnIdle = [&application, &clock, &armed](long count) {
    // Once the loop is about to wait, a message arrives 50 ms later and asks to quit.
    if (count == 3 && !armed) {
      armed = true;
      clock.start();
      const HWND window = application.GetMainWindow()->GetHandle();
      QTimer::singleShot(50, [window] { PostMessageA(window, WM_USER + 2, 0, 0); });
    }
  };
  EXPECT_EQ(application.Run(), 7);
  EXPECT_GE(clock.elapsed(), 40);
  // Messages of the window's showing restart the count; the last run counts up to the wait, and
  // the wait polls nothing: a handful of calls in all.
  ASSERT_GE(application.IdleCounts.size(), 4u);
  EXPECT_EQ(std::vector<long>(application.IdleCounts.end() - 4, application.IdleCounts.end()),
            (std::vector<long>{0, 1, 2, 3}));
  EXPECT_LT(application.IdleCounts.size(), 40u);
}

// A paced animation: a frame once more than 10 ms have passed since the last one ended, and the
// loop told to sleep until the tick that makes the next one due.
class TPacedApp : public TApplication {
 public:
  TPacedApp() : TApplication("paced app") {}
  void InitMainWindow() override { SetMainWindow(new TJournalWindow); }
  bool IdleAction(long /*idleCount*/) override {
    ++IdleCalls;
    if (GetTickCount() - LastFrame > 10) {
      LastFrame = GetTickCount();
      if (++Frames == 10) PostQuitMessage(0);
    }
    return true;
  }
  TIdleWake NextIdleWake() override { return {TIdleWake::AtTick, LastFrame + 11}; }
  int IdleCalls = 0;
  int Frames = 0;
  DWORD LastFrame = GetTickCount();
};

TEST(QtMessageLoop, APacedApplicationSleepsUntilItsNextFrame) {
  TPacedApp application;
  EXPECT_EQ(application.Run(), 0);
  EXPECT_EQ(application.Frames, 10);
  // Polling would call it thousands of times in those 110 ms; sleeping to the frame's tick takes one
  // call a frame, and a few more for the messages of the window's showing.
  EXPECT_LT(application.IdleCalls, 40);
}

// Asks to sleep ten seconds after every idle call.
class TSleepyApp : public TApplication {
 public:
  TSleepyApp() : TApplication("sleepy app") {}
  void InitMainWindow() override { SetMainWindow(new TJournalWindow); }
  bool IdleAction(long /*idleCount*/) override {
    const HWND window = GetMainWindow()->GetHandle();
    if (++IdleCalls == 1) {
      PostMessageA(window, WM_USER + 1, 0, 0);  // already waiting when the sleep begins
    } else if (!Armed) {
      Armed = true;  // arrives through Qt's event loop in the middle of the sleep
      QTimer::singleShot(20, [window] { PostMessageA(window, WM_USER + 2, 0, 0); });
    }
    return true;
  }
  TIdleWake NextIdleWake() override { return {TIdleWake::AtTick, Deadline = GetTickCount() + 10000}; }
  int IdleCalls = 0;
  bool Armed = false;
  DWORD Deadline = 0;
};

TEST(QtMessageLoop, ATimedSleepEndsAtOnceForAPostedMessage) {
  journal.clear();
  TSleepyApp application;
  EXPECT_EQ(application.Run(), 7);
  EXPECT_EQ(journal, std::vector<std::string>{"user next"});
  EXPECT_GT(static_cast<std::int32_t>(application.Deadline - GetTickCount()), 0) << "slept to the deadline";
}

TEST(QtMessageLoop, PostedMessagesAreHandledAfterTheCurrentOneAndDroppedForGoneWindows) {
  journal.clear();
  TJournalWindow window;
  ASSERT_TRUE(window.Create());
  EXPECT_TRUE(window.PostMessage(WM_USER));
  Pump();
  EXPECT_EQ(journal, (std::vector<std::string>{"user begin", "user end", "user next"}));

  const HWND gone = window.GetHandle();
  window.PostMessage(WM_USER + 1);
  window.Destroy();
  EXPECT_EQ(window.GetHandle(), nullptr);
  Pump();  // the message to the destroyed window goes nowhere
  EXPECT_EQ(journal.size(), 3u);
  EXPECT_EQ(PostMessageA(gone, WM_USER, 0, 0), FALSE);
}

TEST(QtMessageLoop, ResponseTablesFindTheirOwnEntryThenTheBaseTables) {
  journal.clear();
  TJournalWindow window;
  const TMessage user{WM_USER, 0, 0, 0};
  const TMessage close{WM_CLOSE, 0, 0, 0};
  const TMessage command{WM_COMMAND, MAKEWPARAM(300, 0), 0, 0};
  const TMessage otherCommand{WM_COMMAND, MAKEWPARAM(301, 0), 0, 0};
  const TMessage unknown{WM_USER + 50, 0, 0, 0};
  EXPECT_EQ(window.Find(user)->Message, WM_USER);
  // WM_CLOSE comes from the base window's table, through TFrameWindow's empty one.
  const TResponseEntry* closeEntry = window.Find(close);
  ASSERT_NE(closeEntry, nullptr);
  EXPECT_EQ(closeEntry, TWindow::ResponseTable().Search(close));
  ASSERT_NE(window.Find(command), nullptr);
  EXPECT_EQ(window.Find(otherCommand), nullptr);
  EXPECT_EQ(window.Find(unknown), nullptr);

  ASSERT_TRUE(window.Create());
  TMessage dispatched = command;
  window.Dispatch(dispatched);
  EXPECT_EQ(journal, (std::vector<std::string>{"command 300"}));
}

TEST(QtMessageLoop, ClosingTheMainWindowDestroysItAndEndsTheLoop) {
  TJournalApp application(1000);
  application.OnIdle = [&application](long count) {
    if (count == 0) application.GetMainWindow()->PostMessage(WM_CLOSE);
  };
  EXPECT_EQ(application.Run(), 0);
  EXPECT_EQ(application.GetMainWindow()->GetHandle(), nullptr);
  EXPECT_TRUE(application.QuitReceived());
}

TEST(QtMessageLoop, SystemCloseCommandPostsCloseAndOtherCommandsDoNothing) {
  journal.clear();
  TJournalWindow window;
  ASSERT_TRUE(window.Create());
  TMessage screenSave{WM_SYSCOMMAND, SC_SCREENSAVE, 0, 0};
  window.Dispatch(screenSave);
  Pump();
  EXPECT_NE(window.GetHandle(), nullptr);
  TMessage close{WM_SYSCOMMAND, SC_CLOSE | 2, 0, 0};
  window.Dispatch(close);
  EXPECT_NE(window.GetHandle(), nullptr);  // closes after the current message, not during it
  Pump();
  EXPECT_EQ(window.GetHandle(), nullptr);
}

TEST(QtMessageLoop, TimersDeliverTheirIdAndUnknownTimersAreHarmless) {
  journal.clear();
  TJournalWindow window;
  ASSERT_TRUE(window.Create());
  EXPECT_FALSE(window.KillTimer(99));
  const UINT_PTR id = SetTimer(window.GetHandle(), 0, 5, nullptr);
  ASSERT_NE(id, 0u);
  QElapsedTimer clock;
  clock.start();
  while (journal.empty() && clock.elapsed() < 2000) {
    qt_backend::WaitForMessage();
    Pump();
  }
  ASSERT_FALSE(journal.empty());
  EXPECT_EQ(journal.front(), "timer " + std::to_string(id));
  EXPECT_TRUE(window.KillTimer(static_cast<UINT>(id)));
  EXPECT_FALSE(window.KillTimer(static_cast<UINT>(id)));
  EXPECT_EQ(SetTimer(nullptr, 1, 5, nullptr), 0u);
}

TEST(QtMessageLoop, DeletingAnAliasLeavesTheWindowAlone) {
  TJournalWindow window;
  ASSERT_TRUE(window.Create());
  {
    TFrameWindow alias(window.GetHandle());
    EXPECT_TRUE(alias.IsAlias());
    EXPECT_TRUE(alias.PostMessage(WM_USER + 1));
  }
  EXPECT_NE(qt_backend::WidgetOf(window.GetHandle()), nullptr);
  journal.clear();
  Pump();
  // The alias's message reached the real window's table.
  EXPECT_EQ(journal, (std::vector<std::string>{"user next"}));
}

TEST(QtMessageLoop, MessageBoxUsesTheHookAndTheApplicationNameAsDefaultCaption) {
  TJournalApp application(0);
  TJournalWindow window;
  std::string seen;
  SetMessageBoxHook([&seen](const char* text, const char* caption, UINT type) {
    seen = std::string(caption) + "|" + text + "|" + std::to_string(type);
    return IDRETRY;
  });
  EXPECT_EQ(window.MessageBox("matherror occured", nullptr, MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(seen, "journal app|matherror occured|5");
  SetMessageBoxHook({});
}

}  // namespace
