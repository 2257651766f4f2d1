// The animation pump: frames come once more than 100, 10 or 1 ms have passed since the previous
// frame ended, on a fake clock, across the wrap of the tick counter.
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

}  // namespace
