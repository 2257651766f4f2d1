// The application's message loop on Qt: idle calls, waiting and timed sleeps that Qt's own events
// end, the system close command, and timer ids.
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

  void EvUserNext() { journal.push_back("user next"); }
  void EvQuitLater() { PostQuitMessage(7); }
  void EvTimer(UINT id) { journal.push_back("timer " + std::to_string(id)); }

  DECLARE_WINDOW_RESPONSES()
};

const TResponseTable& TJournalWindow::ResponseTable() {
  static const TResponseEntry entries[] = {
      Respond<&TJournalWindow::EvUserNext>(WM_USER + 1),
      Respond<&TJournalWindow::EvQuitLater>(WM_USER + 2),
      Respond<&TJournalWindow::EvTimer>(WM_TIMER),
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

// Windows would send WM_TIMER with id 0 for a timer set with id 0; here it gets an id of its own, the
// one SetTimer returns, so that killing it by that id works.
TEST(QtMessageLoop, TimerWithIdZeroGetsAnIdOfItsOwnAndTimersNeedAWindow) {
  journal.clear();
  TJournalWindow window;
  ASSERT_TRUE(window.Create());
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
  EXPECT_EQ(SetTimer(nullptr, 1, 5, nullptr), 0u);
}

}  // namespace
