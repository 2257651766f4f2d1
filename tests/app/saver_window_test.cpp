// This saver's window: the settings it reads, the engine and bitmap it makes, the box frame of the
// first four steps, the picture Enter writes, the Retry/Cancel boxes and the final save.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app_test_support.h"
#include "trace_recorder.h"
#include "checked_math.h"
#include "phys52.h"
#include "random.h"
#include "recording_dc.h"
#include "resource.h"

namespace {

class ProbeWindow : public TMyScrnSavWindow {
 public:
  ProbeWindow() : TMyScrnSavWindow(nullptr, AppName, nullptr) {}
  void DrawFrame(TDC& dc) override {
    ++FramesDrawn;
    TMyScrnSavWindow::DrawFrame(dc);
  }
  // DrawFrame works from the screen size alone, so any size can be drawn for.
  void PretendScreen(TSize size) { ScreenSize = size; }
  int FramesDrawn = 0;
};

TEST(SettingsText, ReadsLikeScanfWithoutItsPitfalls) {
  EXPECT_EQ(ReadSettingInt("12abc", 5), 12);
  EXPECT_EQ(ReadSettingInt("  -3", 5), -3);
  EXPECT_EQ(ReadSettingInt("abc", 5), 5);
  EXPECT_EQ(ReadSettingInt("", 5), 5);
  EXPECT_EQ(ReadSettingInt("99999999999999999999", 5), INT_MAX);
  EXPECT_EQ(ReadSettingInt("-99999999999999999999", 5), INT_MIN);

  char word[8];
  ReadSettingWord("  my file.tmr", word, sizeof word);
  EXPECT_STREQ(word, "my");
  ReadSettingWord("abcdefghijkl", word, sizeof word);
  EXPECT_STREQ(word, "abcdefg");
  ReadSettingWord("   ", word, sizeof word);
  EXPECT_STREQ(word, "");

  char cut[4] = "xyz";
  CopyCut(cut, sizeof cut, "longer");
  EXPECT_STREQ(cut, "lon");
  CopyCut(cut, sizeof cut, nullptr);
  EXPECT_STREQ(cut, "");
}

class SaverWindow : public SaverFilesTest {};

TEST_F(SaverWindow, WithoutASettingsFileRunsFastWithTheFrameFromARandomStart) {
  ProbeWindow window;
  const TSize screen = window.GetScreenSize();
  EXPECT_EQ(screen.cx, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(screen.cy, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(App.GetSpeed(), 2);
  EXPECT_EQ(frame_on, 1);
  EXPECT_EQ(what_file, 1);
  EXPECT_STREQ(param_file, "default.tmr");

  // The engine's box is the screen, 1000 deep; the bitmap a pixel smaller each way.
  const sim3d& sim = *window.GetSim();
  EXPECT_EQ(sim.leftframe, 0);
  EXPECT_EQ(sim.rightframe, screen.cx - 1);
  EXPECT_EQ(sim.topframe, 0);
  EXPECT_EQ(sim.bottomframe, screen.cy - 1);
  EXPECT_EQ(sim.frontframe, 0);
  EXPECT_EQ(sim.rearframe, 1000);
  EXPECT_EQ(rightframe, screen.cx - 1);
  EXPECT_EQ(bottomframe, screen.cy - 1);
  EXPECT_EQ(window.GetBitmap()->Width(), screen.cx - 1);
  EXPECT_EQ(window.GetBitmap()->Height(), screen.cy - 1);
  // The engine saved its starting state.
  EXPECT_TRUE(ReadWholeFile(SaverFolderFile("default.tmr")).has_value());
}

TEST_F(SaverWindow, ReadsEachSettingCutAtItsBufferAndAtTheFirstBlank) {
  WriteSettings({{"Speed", "0"}, {"Frame_on", "0"}, {"what_file", "0"},
                 {"param_file", "abcdefghijklmnopqrstuvwxyz0123456789.tmr"}});
  {
    ProbeWindow window;
    EXPECT_EQ(App.GetSpeed(), 0);
    EXPECT_EQ(frame_on, 0);
    EXPECT_EQ(what_file, 0);
    EXPECT_STREQ(param_file, "abcdefghijklmnopqrstuvwxyz01234");
  }
  WriteSettings({{"Speed", "7"}, {"param_file", "start file.tmr"}});
  {
    ProbeWindow window;
    EXPECT_EQ(App.GetSpeed(), 7);
    EXPECT_STREQ(param_file, "start");
  }
  WriteSettings({{"param_file", ""}});
  {
    ProbeWindow window;
    EXPECT_STREQ(param_file, "default.tmr");
  }
}

TEST_F(SaverWindow, ValuesWithNoNumberLeaveTheirSettingsAsTheyWere) {
  WriteSettings({{"Speed", "x"}, {"Frame_on", "on"}, {"what_file", "yes"}});
  {
    ProbeWindow window;
    EXPECT_EQ(App.GetSpeed(), 2);
    EXPECT_EQ(frame_on, 0);
    EXPECT_EQ(what_file, 0);
  }
  frame_on = what_file = 1;
  {
    ProbeWindow window;
    EXPECT_EQ(frame_on, 1);
    EXPECT_EQ(what_file, 1);
  }
}

TEST_F(SaverWindow, StartsFromTheParameterFileOnlyWhenAskedTo) {
  {
    TProfile start(SettingsSection, SaverFolderFile("start.tmr").c_str());
    start.WriteString("ball_N1_coordinates_x_y_z", "101.000000 202.000000 303.000000");
    start.WriteString("ball_N1_radius", "20.000000");
  }
  WriteSettings({{"what_file", "0"}, {"param_file", "start.tmr"}});
  {
    ProbeWindow window;
    const body& ball = window.GetSim()->bodies[1];
    EXPECT_FLOAT_EQ(ball.x, 101.0f);
    EXPECT_FLOAT_EQ(ball.y, 202.0f);
    EXPECT_FLOAT_EQ(ball.z, 303.0f);
  }
  WriteSettings({{"what_file", "1"}});
  {
    ProbeWindow window;
    const body& ball = window.GetSim()->bodies[1];
    EXPECT_FALSE(ball.x == 101.0f && ball.y == 202.0f && ball.z == 303.0f);
  }
  std::remove(SaverFolderFile("start.tmr").c_str());
}

TEST_F(SaverWindow, DrawsTheBoxWithItsIntegerRearWall) {
  ProbeWindow window;
  window.PretendScreen(TSize(800, 600));
  RecordingDC dc;
  window.DrawFrame(dc);
  const std::string expected =
      "SelectBrush hollow\n"
      "SelectPen rgb(0,0,0) width 2 style 0\n"
      "Rectangle 1 1 799 599\n"
      "SelectPen rgb(255,0,0) width 2 style 0\n"
      "Rectangle 1 1 799 599\n"
      "Rectangle 199 149 600 450\n"
      "MoveTo 1 1\nLineTo 199 149\n"
      "MoveTo 799 1\nLineTo 600 149\n"
      "MoveTo 1 599\nLineTo 199 450\n"
      "MoveTo 799 599\nLineTo 600 450\n"
      "RestorePen\nRestoreBrush\n";
  EXPECT_EQ(dc.Describe(), expected);

  // Without the frame setting only the black border is drawn.
  frame_on = 0;
  RecordingDC plain;
  window.DrawFrame(plain);
  EXPECT_EQ(plain.Describe(),
            "SelectBrush hollow\nSelectPen rgb(0,0,0) width 2 style 0\nRectangle 1 1 799 599\nRestorePen\nRestoreBrush\n");

  // Odd sizes round the wall toward the top left, as integer arithmetic does.
  window.PretendScreen(TSize(1023, 767));
  frame_on = 1;
  RecordingDC odd;
  window.DrawFrame(odd);
  EXPECT_EQ(odd.OfKind(RecordedCall::Kind::Rectangle).at(2).box, TRect(255, 191, 767, 575));
}

std::vector<body> Balls(const sim3d& sim) { return std::vector<body>(sim.bodies + 1, sim.bodies + 1 + sim.n_balls); }

// How far positions and velocities moved: a step moves the balls, or (from rest) accelerates them.
double Change(const std::vector<body>& before, const std::vector<body>& after) {
  double total = 0;
  for (std::size_t i = 0; i < after.size() && i < before.size(); ++i) {
    total += std::fabs(after[i].x - before[i].x) + std::fabs(after[i].y - before[i].y) +
             std::fabs(after[i].z - before[i].z) + std::fabs(after[i].vx - before[i].vx) +
             std::fabs(after[i].vy - before[i].vy) + std::fabs(after[i].vz - before[i].vz);
  }
  return total;
}

TEST_F(SaverWindow, TheFirstFourStepsDrawTheFrameAndEveryStepAdvancesTheEngine) {
  // A fixed start: a ball of a random one may lie over the edge pixels looked at below.
  set_fixed_random_seed(5);
  ProbeWindow window;
  clear_fixed_random_seed();
  const int expectedFirst[] = {2, 3, 4, 0, 0, 0};
  for (int step = 0; step < 6; ++step) {
    const std::vector<body> before = Balls(*window.GetSim());
    window.AnimateScreen();
    EXPECT_EQ(first, expectedFirst[step]) << "step " << step + 1;
    EXPECT_EQ(window.FramesDrawn, step < 4 ? step + 1 : 4) << "step " << step + 1;
    EXPECT_GT(Change(before, Balls(*window.GetSim())), 0.0) << "step " << step + 1;
  }

  // The red front edge and the rear wall's left edge are in the picture.
  const TDib picture(*window.GetBitmap());
  const int middle = picture.Height() / 2;
  const auto pixel = [&](int x, int y) { return picture.Pixels()[static_cast<std::size_t>(y * picture.Width() + x)]; };
  EXPECT_EQ(pixel(1, middle), 0xFF0000u);
  const int cx = window.GetScreenSize().cx;
  const int wallLeft = static_cast<int>((cx - 1 - cx * 1000 / 2000) * 0.5);
  EXPECT_EQ(pixel(wallLeft, middle), 0xFF0000u);
}

TEST_F(SaverWindow, EnterWritesThePictureIntoTheWindowsDirectory) {
  ProbeWindow window;
  for (int step = 0; step < 5; ++step) window.AnimateScreen();
  TMessage enter{WM_KEYDOWN, VK_RETURN, 1, 0};
  window.Dispatch(enter);

  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  ASSERT_TRUE(ReadBmpFile(SaverFolderFile("tmp.bmp"), width, height, pixels));
  EXPECT_EQ(width, window.GetScreenSize().cx - 1);
  EXPECT_EQ(height, window.GetScreenSize().cy - 1);
  EXPECT_EQ(pixels, TDib(*window.GetBitmap()).Pixels());
  EXPECT_TRUE(Boxes.empty());
}

TEST_F(SaverWindow, APictureThatCannotBeWrittenIsReportedAndTheSaverGoesOn) {
  ProbeWindow window;
  const std::string path = SaverFolderFile("tmp.bmp");
  std::filesystem::create_directory(path);
  window.SaveScreen();
  std::filesystem::remove(path);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Disk error saving bitmap!");
  EXPECT_EQ(Boxes[0].Caption, AppName);
  EXPECT_EQ(Boxes[0].Type, MB_OK);
  window.AnimateScreen();
}

#ifndef _WIN32
// The Windows directory once came in a 140-character buffer; a longer one must still get the picture.
TEST_F(SaverWindow, ALongWindowsDirectoryGetsThePictureAtItsFullPath) {
  ProbeWindow window;
  const std::string previous = std::getenv("XDG_CONFIG_HOME");
  const std::string deep = previous + "/" + std::string(120, 'd') + "/" + std::string(60, 'e');
  setenv("XDG_CONFIG_HOME", deep.c_str(), 1);
  const std::string path = SaverFolderFile("tmp.bmp");
  window.SaveScreen();
  setenv("XDG_CONFIG_HOME", previous.c_str(), 1);

  EXPECT_GT(path.size(), 200u);
  EXPECT_EQ(path, deep + "/tes-mar/tmp.bmp");
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  EXPECT_TRUE(ReadBmpFile(path, width, height, pixels));
  EXPECT_TRUE(Boxes.empty());
  std::filesystem::remove_all(previous + "/" + std::string(120, 'd'));
}
#endif

// "Reinit_minutes" arms the framework's timer; its message saves the run, starts a new engine from the
// same choice, and the picture starts black, the box drawn again in the first four frames.
TEST_F(SaverWindow, TheReinitTimerSavesTheRunAndStartsAFreshOneAsAStartWouldLook) {
  WriteSettings({{"Reinit_minutes", "10"}});
  TTraceRecorder recorder;
  ProbeWindow window;
  EXPECT_FLOAT_EQ(window.ReinitMinutes, 10.0f);
  ASSERT_TRUE(window.Create());
  EXPECT_EQ(recorder.Labels(TTraceHook::Framework), std::vector<std::string>{"1 setting timer"});
  for (int step = 0; step < 30; ++step) window.AnimateScreen();
  const sim3d* old = window.GetSim();
  const body ball = old->bodies[1];
  const std::string path = SaverFolderFile("default.tmr");

  TMessage timer{WM_TIMER, window.TimerId, 0, 0};
  window.Dispatch(timer);
  // What the old run ended with went to default.tmr before the new one wrote its start over it.
  const auto labels = recorder.Labels(TTraceHook::Engine);
  const auto finalSave = std::find(labels.begin(), labels.end(), "saving final config");
  ASSERT_NE(finalSave, labels.end());
  EXPECT_NE(std::find(finalSave, labels.end(), "saving init config"), labels.end());
  const body& fresh = window.GetSim()->bodies[1];
  EXPECT_FALSE(fresh.x == ball.x && fresh.y == ball.y && fresh.z == ball.z) << "the old run goes on";
  EXPECT_EQ(first, 1);
  const TDib black(*window.GetBitmap());
  EXPECT_TRUE(std::all_of(black.Pixels().begin(), black.Pixels().end(), [](std::uint32_t p) { return p == 0; }));
  for (int step = 0; step < 5; ++step) window.AnimateScreen();
  EXPECT_EQ(window.FramesDrawn, 8);
  EXPECT_TRUE(ReadWholeFile(path).has_value());
  window.Destroy(0);
}

// The field between "Reinit after" and "min." shows the stored minutes and stores whole ones; what
// has no number, or less than none, is never (0).
TEST_F(SaverWindow, TheDialogShowsAndStoresTheReinitMinutes) {
  WriteSettings({{"Reinit_minutes", "7"}});
  struct Row {
    const char* typed;
    const char* stored;
  };
  for (const Row row : {Row{"15", "15"}, Row{"", "0"}, Row{"abc", "0"}, Row{"-5", "0"}, Row{"3 min", "3"},
                        Row{"99999999", "71582"}}) {
    TScrnSavDlg dialog(nullptr, "IDD_CONFIGURE", &App);
    ASSERT_TRUE(dialog.Create());
    char shown[16] = "";
    dialog.GetDlgItemText(IDC_REINIT_MINUTES, shown, sizeof shown);
    EXPECT_STREQ(shown, Setting("Reinit_minutes").c_str());
    dialog.SetDlgItemText(IDC_REINIT_MINUTES, row.typed);
    TMessage ok{WM_COMMAND, MAKEWPARAM(IDOK, 0), 0, 0};
    dialog.Dispatch(ok);
    App.PumpWaitingMessages();
    EXPECT_EQ(Setting("Reinit_minutes"), row.stored) << "typed \"" << row.typed << "\"";
  }
}

TEST_F(SaverWindow, DestroyingTheWindowSavesTheFinalState) {
  auto window = std::make_unique<ProbeWindow>();
  const auto start = ReadWholeFile(SaverFolderFile("default.tmr"));
  ASSERT_TRUE(start.has_value());
  for (int step = 0; step < 20; ++step) window->AnimateScreen();
  window.reset();
  const auto end = ReadWholeFile(SaverFolderFile("default.tmr"));
  ASSERT_TRUE(end.has_value());
  EXPECT_NE(*end, *start);
  EXPECT_NE(end->find("ball_N9_red_green_blue_0-255="), std::string::npos);
}

// The system may end the process as soon as WM_ENDSESSION returns, so the final state must be on disk
// by then; the window then closes the ordinary way, with nothing more to write.
TEST_F(SaverWindow, TheEndOfTheSessionSavesTheFinalStateBeforeTheMessageReturns) {
  auto window = std::make_unique<ProbeWindow>();
  ASSERT_TRUE(window->Create());
  const std::string path = SaverFolderFile("default.tmr");
  const auto start = ReadWholeFile(path);
  ASSERT_TRUE(start.has_value());
  for (int step = 0; step < 10; ++step) window->AnimateScreen();

  TMessage cancelled{WM_ENDSESSION, FALSE, 0, 0};
  window->Dispatch(cancelled);
  EXPECT_EQ(ReadWholeFile(path), start) << "a cancelled end of session saved";
  ASSERT_NE(window->GetSim(), nullptr);

  TMessage ending{WM_ENDSESSION, TRUE, 0, 0};
  window->Dispatch(ending);
  const auto saved = ReadWholeFile(path);
  ASSERT_TRUE(saved.has_value());
  EXPECT_NE(*saved, *start);
  EXPECT_NE(saved->find("ball_N9_red_green_blue_0-255="), std::string::npos);

  // Steps that come before the close are harmless, and the close comes through the queue.
  window->AnimateScreen();
  App.PumpWaitingMessages();
  EXPECT_EQ(window->GetHandle(), nullptr);
  window.reset();
  EXPECT_EQ(ReadWholeFile(path), saved);
}

// --- Retry and Cancel ----------------------------------------------------------------------------

class RetryBoxes : public SaverFilesTest {
 protected:
  void RunFailing(int failures, int& runs) {
    TWindow owner(nullptr, "owner");
    RetryOrExit<const char*>(
        owner,
        [&] {
          if (runs++ < failures) throw "matherror occured";
        },
        [](const char* text) { return text; });
  }
};

TEST_F(RetryBoxes, RetryRunsTheStepAgainUntilItSucceeds) {
  BoxAnswer = IDRETRY;
  int runs = 0;
  RunFailing(2, runs);
  EXPECT_EQ(runs, 3);
  ASSERT_EQ(Boxes.size(), 2u);
  EXPECT_EQ(Boxes[0].Text, "matherror occured");
  EXPECT_EQ(Boxes[0].Caption, AppName);
  EXPECT_EQ(Boxes[0].Type, MB_RETRYCANCEL);
}

// With the program's hook in place a math error still reaches the step's caller as the text exception
// (a hook that threw from inside the C runtime would end the process instead).
TEST_F(RetryBoxes, MathErrorsArriveAsTheTextException) {
  InstallMathErrorHook();
  for (double argument : {-1.0, -1e-300}) {
    try {
      checked_sqrt(argument);
      ADD_FAILURE() << "no exception for sqrt(" << argument << ")";
    } catch (const char* text) {
      EXPECT_STREQ(text, "matherror occured");
    }
  }
  try {
    checked_acos(2.0);
    ADD_FAILURE() << "no exception for acos(2)";
  } catch (const char* text) {
    EXPECT_STREQ(text, "matherror occured");
  }
}

#ifdef _WIN32
const auto ExitedMinusOne = ::testing::ExitedWithCode(-1);
#else
const auto ExitedMinusOne = ::testing::ExitedWithCode(255);
#endif

TEST_F(RetryBoxes, CancelEndsTheProcessWithMinusOne) {
  BoxAnswer = IDCANCEL;
  int runs = 0;
  EXPECT_EXIT(RunFailing(1, runs), ExitedMinusOne, "");
}

// A bitmap the system has no memory for is the same out-of-memory failure as the engine's. "init run"
// goes to this saver's hook before the engine starts, inside the engine's retry.
TEST_F(RetryBoxes, ABitmapWithoutMemoryOffersRetryAndCancel) {
  BoxAnswer = IDRETRY;
  TTraceRecorder recorder;
  TBitmap::FailNext(2);
  {
    ProbeWindow window;
    ASSERT_NE(window.GetBitmap(), nullptr);
  }
  ASSERT_EQ(Boxes.size(), 2u);
  EXPECT_EQ(Boxes[1].Text, "Can't allocate bitmap!");
  EXPECT_EQ(Boxes[1].Caption, AppName);
  EXPECT_EQ(Boxes[1].Type, MB_RETRYCANCEL);
  ASSERT_GE(recorder.All().size(), 2u);
  EXPECT_EQ(recorder.All()[0], std::make_pair(TTraceHook::Saver, std::string("init run")));
  EXPECT_EQ(recorder.All()[1], std::make_pair(TTraceHook::Engine, std::string("trying init")));

  BoxAnswer = IDCANCEL;
  TBitmap::FailNext(1);
  EXPECT_EXIT(ProbeWindow(), ExitedMinusOne, "");
  TBitmap::FailNext(0);
}

TEST_F(RetryBoxes, ABoxThatCannotBeShownEndsTheProcessRatherThanLooping) {
  BoxAnswer = 0;
  int runs = 0;
  EXPECT_EXIT(RunFailing(1000000, runs), ExitedMinusOne, "");
}

}  // namespace
