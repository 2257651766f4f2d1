// The animation pump: frames come once more than 100, 10 or 1 ms have passed since the previous
// frame ended, on a fake clock, across the wrap of the tick counter; and when it tells the message
// loop to wake for the next frame.
#include <gtest/gtest.h>

#include "tscrnsav.h"

namespace {

DWORD fakeNow = 0;
DWORD FakeTick() { return fakeNow; }

// A saver window that only counts its frames; each frame takes `FrameTime` ms of the fake clock.
class CountingWindow : public TScrnSavWindow {
 public:
  CountingWindow() : TScrnSavWindow(nullptr) {}
  void AnimateScreen() override {
    ++Frames;
    fakeNow += FrameTime;
  }
  int Frames = 0;
  DWORD FrameTime = 0;
};

class PacedApp : public TScrnSavApp {
 public:
  PacedApp() : TScrnSavApp("paced") {}
  void InitScrnSavWindow() override { ScrnSavWindow = Window = new CountingWindow; }
  CountingWindow* Window = nullptr;
};

class IdlePacing : public ::testing::Test {
 protected:
  void SetUp() override { SetTickSource(&FakeTick); }
  void TearDown() override { SetTickSource(nullptr); }

  // An application in the save mode whose previous frame ended at `start`.
  void Start(int speed, DWORD start) {
    fakeNow = start;
    app.SetSpeed(speed);
    app.InitMainWindow();
    ASSERT_NE(app.Window, nullptr);
    ASSERT_EQ(app.GetMainWindow(), app.Window);
  }
  int Frames() const { return app.Window->Frames; }

  PacedApp app;
};

struct Threshold {
  int speed;
  DWORD least;  // the least pause, in ms, after which a frame comes
};

TEST_F(IdlePacing, EachSpeedWaitsStrictlyLongerThanItsThreshold) {
  for (const Threshold t : {Threshold{0, 101}, Threshold{1, 11}, Threshold{2, 2}}) {
    PacedApp fresh;
    fakeNow = 5000;
    fresh.SetSpeed(t.speed);
    fresh.InitMainWindow();
    fakeNow = 5000 + t.least - 1;
    EXPECT_TRUE(fresh.IdleAction(0));
    EXPECT_EQ(fresh.Window->Frames, 0) << "speed " << t.speed;
    fakeNow = 5000 + t.least;
    EXPECT_TRUE(fresh.IdleAction(1));
    EXPECT_EQ(fresh.Window->Frames, 1) << "speed " << t.speed;
    // Right after a frame the next one is not due yet.
    EXPECT_TRUE(fresh.IdleAction(2));
    EXPECT_EQ(fresh.Window->Frames, 1) << "speed " << t.speed;
  }
}

TEST_F(IdlePacing, ThePauseIsMeasuredFromTheEndOfTheFrame) {
  Start(0, 1000);
  app.Window->FrameTime = 70;
  fakeNow = 1101;
  app.IdleAction(0);
  ASSERT_EQ(Frames(), 1);
  // The frame ended at 1171: 100 ms later is still too early, 101 ms later is due.
  fakeNow = 1271;
  app.IdleAction(0);
  EXPECT_EQ(Frames(), 1);
  fakeNow = 1272;
  app.IdleAction(0);
  EXPECT_EQ(Frames(), 2);
}

TEST_F(IdlePacing, TheWrapOfTheTickCounterKeepsTheUsualPause) {
  Start(0, 0xFFFFFFC0u);
  fakeNow = 0xFFFFFFC0u + 100;  // 36 after the wrap
  app.IdleAction(0);
  EXPECT_EQ(Frames(), 0);
  fakeNow = 0xFFFFFFC0u + 101;
  app.IdleAction(0);
  EXPECT_EQ(Frames(), 1);

}

TEST_F(IdlePacing, AFrameThatEndsAfterTheWrapKeepsTheUsualPause) {
  Start(1, 0xFFFFFF00u);
  app.Window->FrameTime = 0x50;
  fakeNow = 0xFFFFFFF0u;
  app.IdleAction(0);
  ASSERT_EQ(Frames(), 1);  // it ended at 0x40
  fakeNow = 0x40u + 10;
  app.IdleAction(0);
  EXPECT_EQ(Frames(), 1);
  fakeNow = 0x40u + 11;
  app.IdleAction(0);
  EXPECT_EQ(Frames(), 2);
}

TEST_F(IdlePacing, AnUnknownSpeedNeverDrawsButKeepsPolling) {
  for (int speed : {3, -1, 100}) {
    PacedApp fresh;
    fakeNow = 0;
    fresh.SetSpeed(speed);
    fresh.InitMainWindow();
    for (DWORD now : {2u, 11u, 101u, 1000000u, 0xFFFFFFFFu}) {
      fakeNow = now;
      EXPECT_TRUE(fresh.IdleAction(0));
    }
    EXPECT_EQ(fresh.Window->Frames, 0) << "speed " << speed;
  }
}

// --- the pump on a coarse system tick ----------------------------------------------------------

// One simulated second of the idle loop, in microseconds: every idle call costs 50 µs, every frame
// 400 µs; the pump reads a clock that steps by `step` µs. Returns the frames drawn.
long long simulatedNow = 0;
long long clockStep = 1000;
DWORD SteppingTick() { return static_cast<DWORD>(simulatedNow / clockStep * clockStep / 1000); }

class SimulatedWindow : public TScrnSavWindow {
 public:
  SimulatedWindow() : TScrnSavWindow(nullptr) {}
  void AnimateScreen() override {
    ++Frames;
    simulatedNow += 400;
  }
  int Frames = 0;
};

int FramesInASecond(int speed, long long step) {
  struct App : TScrnSavApp {
    App() : TScrnSavApp("simulated") {}
    void InitScrnSavWindow() override { ScrnSavWindow = Window = new SimulatedWindow; }
    SimulatedWindow* Window = nullptr;
  } app;
  simulatedNow = 0;
  clockStep = step;
  SetTickSource(&SteppingTick);
  app.SetSpeed(speed);
  app.InitMainWindow();
  while (simulatedNow < 1000000) {
    app.IdleAction(0);
    simulatedNow += 50;
  }
  SetTickSource(nullptr);
  return app.Window->Frames;
}

// On a tick of 15.6 ms (GetTickCount on a Windows of today) Medium and Fast both draw a frame per
// tick, 64 a second, which is why the pump reads a clock of whole milliseconds: there each speed
// keeps a pace of its own.
TEST(IdlePacingOnSteppingClocks, OnlyAMillisecondClockKeepsTheThreeSpeedsApart) {
  struct Row {
    long long step;  // µs
    int speed;
    int least, most;  // frames in the second
  };
  for (const Row row : {Row{15625, 1, 63, 65}, Row{15625, 2, 63, 65}, Row{1000, 0, 9, 10}, Row{1000, 1, 83, 91},
                        Row{1000, 2, 400, 510}}) {
    const int frames = FramesInASecond(row.speed, row.step);
    EXPECT_GE(frames, row.least) << "speed " << row.speed << ", clock step " << row.step << " µs";
    EXPECT_LE(frames, row.most) << "speed " << row.speed << ", clock step " << row.step << " µs";
  }
}

// --- what the pump tells the message loop ------------------------------------------------------

// The wake the app asks for right after an idle call at the fake tick `now`.
TIdleWake WakeAfterIdleAt(TScrnSavApp& app, DWORD now) {
  fakeNow = now;
  app.IdleAction(0);
  return app.NextIdleWake();
}

TEST_F(IdlePacing, TheNextFrameIsDueOneMillisecondAfterThePauseAtEachSpeedAndAcrossTheWrap) {
  for (const Threshold t : {Threshold{0, 101}, Threshold{1, 11}, Threshold{2, 2}}) {
    for (const DWORD start : {DWORD{5000}, DWORD{0xFFFFFFFFu - t.least + 1}, DWORD{0xFFFFFFF0u}}) {
      PacedApp fresh;
      fakeNow = start;
      fresh.SetSpeed(t.speed);
      fresh.InitMainWindow();
      ASSERT_TRUE(fresh.NextFrameTick().has_value());
      EXPECT_EQ(*fresh.NextFrameTick(), static_cast<DWORD>(start + t.least)) << "speed " << t.speed;
      // The loop is told to sleep exactly until the frame IdleAction would draw.
      const DWORD due = *fresh.NextFrameTick();
      EXPECT_EQ(WakeAfterIdleAt(fresh, due - 1).When, TIdleWake::AtTick);
      EXPECT_EQ(fresh.Window->Frames, 0);
      fakeNow = due;
      EXPECT_EQ(fresh.NextIdleWake().When, TIdleWake::Now) << "no idle call since: nothing paced";
      fresh.Window->FrameTime = 3;
      EXPECT_EQ(WakeAfterIdleAt(fresh, due).When, TIdleWake::AtTick);
      EXPECT_EQ(fresh.Window->Frames, 1);
      EXPECT_EQ(*fresh.NextFrameTick(), static_cast<DWORD>(due + 3 + t.least)) << "from the end of the frame";
    }
  }
}

TEST_F(IdlePacing, TheWakeTickIsThePausesRestOnTheLoopsClock) {
  Start(0, 1000);
  fakeNow = 1040;
  app.IdleAction(0);
  // A test clock is carried over to the loop's clock by the distance left: 61 ms.
  const DWORD before = GetMillisecondTick();
  const TIdleWake wake = app.NextIdleWake();
  const DWORD after = GetMillisecondTick();
  ASSERT_EQ(wake.When, TIdleWake::AtTick);
  EXPECT_LE(wake.Tick - (before + 61), after - before);

  // A clock that went back counts as a long pause: the frame comes at once, the next one a pause later.
  EXPECT_EQ(WakeAfterIdleAt(app, 900).When, TIdleWake::AtTick);
  EXPECT_EQ(Frames(), 1);
}

TEST_F(IdlePacing, WithoutAFrameToComeTheLoopWaitsForMessagesOnly) {
  // An unknown speed.
  Start(7, 1000);
  EXPECT_FALSE(app.NextFrameTick().has_value());
  EXPECT_EQ(WakeAfterIdleAt(app, 5000).When, TIdleWake::OnMessage);

  // No saver window.
  TScrnSavApp bare("bare");
  bare.SetSpeed(2);
  EXPECT_TRUE(bare.IdleAction(0));
  EXPECT_FALSE(bare.NextFrameTick().has_value());
  EXPECT_EQ(bare.NextIdleWake().When, TIdleWake::OnMessage);
}

// A saver app in configure mode, as Run leaves it while the dialog is up.
class ConfiguringApp : public PacedApp {
 public:
  void Configure() { ConfigMode = true; }
};

TEST_F(IdlePacing, ConfigureModeAsksForNoFrame) {
  ConfiguringApp configuring;
  fakeNow = 0;
  configuring.SetSpeed(1);
  configuring.InitMainWindow();
  configuring.Configure();
  EXPECT_FALSE(configuring.IdleAction(0));
  EXPECT_FALSE(configuring.NextFrameTick().has_value());
  EXPECT_EQ(configuring.NextIdleWake().When, TIdleWake::Now) << "IdleAction returned false: not asked";
}

// An app that replaces IdleAction, as an unpaced benchmark does, is not held back by the pacing.
class UnpacedApp : public PacedApp {
 public:
  bool IdleAction(long) override {
    Window->AnimateScreen();
    return true;
  }
};

TEST_F(IdlePacing, AnIdleActionOfItsOwnIsCalledAgainAtOnce) {
  UnpacedApp unpaced;
  fakeNow = 0;
  unpaced.SetSpeed(0);
  unpaced.InitMainWindow();
  EXPECT_TRUE(unpaced.IdleAction(0));
  EXPECT_EQ(unpaced.NextIdleWake().When, TIdleWake::Now);
}

}  // namespace
