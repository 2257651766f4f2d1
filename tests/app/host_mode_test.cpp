// The hosts' command line beside the saver's own, and the saver window a host runs: its box follows
// the window's size, input does not end it, and it leaves the saver-running flag alone.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app_test_support.h"
#include "headless_saver.h"
#include "host_options.h"
#include "phys52.h"
#include "program_start.h"
#include "trace_recorder.h"

namespace {

struct TRead {
  THostCommand Command;
  THostOptions Options;
  std::string Error;
};

TRead Read(std::vector<const char*> arguments, const char* environmentWindow = nullptr) {
  arguments.insert(arguments.begin(), "tesmar");
  TRead read;
  read.Command = ReadHostCommandLine(static_cast<int>(arguments.size()), arguments.data(), environmentWindow,
                                     read.Options, read.Error);
  return read;
}

TEST(HostCommandLine, LeavesTheSaversOwnSwitchesAlone) {
  for (const char* line : {"/s", "-s", "s", "/save", "/c", "-c", "/p", "-p", "/a:12", "-x", "/root"}) {
    EXPECT_EQ(Read({line}).Command, THostCommand::NotHost) << line;
  }
  EXPECT_EQ(Read({}).Command, THostCommand::NotHost);
  // The environment alone does not turn the saver's own command line into a host's.
  EXPECT_EQ(Read({"/s"}, "0x400001").Command, THostCommand::NotHost);
}

TEST(HostCommandLine, NamesTheWindowToDrawInto) {
  TRead read = Read({"-root"}, "0x4a00007");
  ASSERT_EQ(read.Command, THostCommand::Run) << read.Error;
  EXPECT_EQ(read.Options.Target, THostOptions::TTarget::Root);
  EXPECT_EQ(read.Options.WindowId, 0x4a00007ul);

  // Decimal, as xsecurelock exports it.
  read = Read({"--root"}, "77594631");
  EXPECT_EQ(read.Options.WindowId, 77594631ul);

  read = Read({"--root"});
  EXPECT_EQ(read.Options.Target, THostOptions::TTarget::Root);
  EXPECT_EQ(read.Options.WindowId, 0ul);

  read = Read({"-window-id", "0X60000a"}, "0x4a00007");
  EXPECT_EQ(read.Options.Target, THostOptions::TTarget::WindowId);
  EXPECT_EQ(read.Options.WindowId, 0x60000aul);
  EXPECT_EQ(Read({"--window-id=1234"}).Options.WindowId, 1234ul);

  // xscreensaver-settings appends its preview window to the hack's own options: the last one counts.
  read = Read({"--root", "--speed", "slow", "--window-id", "0x2e00003"});
  EXPECT_EQ(read.Options.Target, THostOptions::TTarget::WindowId);
  EXPECT_EQ(read.Options.WindowId, 0x2e00003ul);

  EXPECT_EQ(Read({"-window"}, "0x4a00007").Options.Target, THostOptions::TTarget::Window);
  EXPECT_EQ(Read({"--speed", "fast"}).Options.Target, THostOptions::TTarget::Window);
  // No window named: the one the host exports.
  read = Read({"--speed", "fast"}, "0x4a00007");
  EXPECT_EQ(read.Options.Target, THostOptions::TTarget::Root);
  EXPECT_EQ(read.Options.WindowId, 0x4a00007ul);
}

TEST(HostCommandLine, TakesOneRunsChoicesAndIgnoresTheHostsUsualOptions) {
  TRead read = Read({"-fps", "-install", "-visual", "TrueColor", "-mono", "--root", "--speed", "medium", "--no-frame"});
  ASSERT_EQ(read.Command, THostCommand::Run) << read.Error;
  EXPECT_EQ(read.Options.Speed, 1);
  EXPECT_EQ(read.Options.FrameOn, 0);
  EXPECT_EQ(read.Options.WhatFile, -1);
  EXPECT_FALSE(read.Options.AddToXscreensaver);

  EXPECT_EQ(Read({"--speed=slow"}).Options.Speed, 0);
  EXPECT_EQ(Read({"--no-frame", "--frame"}).Options.FrameOn, 1);
  EXPECT_EQ(Read({"--random"}).Options.WhatFile, 1);
  EXPECT_TRUE(Read({"--add-to-xscreensaver"}).Options.AddToXscreensaver);

  const std::string name = "host_mode_test_start.tmr";
  std::ofstream(name) << "[tes-mar_ScreenSaver]\n";
  read = Read({"--param", name.c_str()});
  ASSERT_EQ(read.Command, THostCommand::Run) << read.Error;
  EXPECT_EQ(read.Options.WhatFile, 0);
  // Absolute, so that the settings' file search cannot find another file of that name first.
  EXPECT_EQ(read.Options.ParamFile, std::filesystem::absolute(name).string());
  read = Read({"--param", name.c_str(), "--random"});
  EXPECT_EQ(read.Options.WhatFile, 1);
  EXPECT_TRUE(read.Options.ParamFile.empty());
  std::remove(name.c_str());
}

TEST(HostCommandLine, RefusesBadInputWithOneLine) {
  const std::vector<std::vector<const char*>> bad = {
      {"--bogus"},          {"-root", "-bogus"},        {"--root", "stray"},  {"-window-id"},
      {"-window-id", "zz"}, {"-window-id", "0"},        {"-window-id", "-5"}, {"-window-id", "0x1ffffffff"},
      {"--speed", "warp"},  {"--speed"},                {"--frame=1"},        {"--param", "/no/such/file.tmr"},
      {"--param", "/"},     {"--param", ""},
  };
  for (const auto& arguments : bad) {
    const TRead read = Read(arguments);
    EXPECT_EQ(read.Command, THostCommand::Error) << arguments[0];
    EXPECT_FALSE(read.Error.empty());
    EXPECT_EQ(read.Error.find('\n'), std::string::npos);
  }
  EXPECT_EQ(Read({"--root"}, "junk").Command, THostCommand::Error);
  EXPECT_EQ(Read({"--root"}, "0x12junk").Command, THostCommand::Error);
  unsigned long id = 0;
  for (const char* text :
       {"", " 12", "\t12", "\n12", "12 ", "+12", "0x", "4294967296", "99999999999999999999999", "1e3"}) {
    EXPECT_FALSE(ReadWindowId(text, id)) << text;
  }
  EXPECT_TRUE(ReadWindowId("4294967295", id));
  // A window named on the command line does not need the environment's.
  EXPECT_EQ(Read({"--window-id", "0x10"}, "junk").Command, THostCommand::Run);
}

// What the back end's entry does with a command line before the window system starts.
TEST(ProgramStart, SaysWhatTheEntryDoesBeforeTheWindowSystemStarts) {
  using TAction = TProgramStart::TAction;
  struct Row {
    std::vector<const char*> Arguments;
    TAction Action;
    int ExitCode;
    bool FromHost;
    const char* Message;
  };
  const Row rows[] = {
      {{"tesmar", "/s"}, TAction::Run, 0, false, ""},
      {{"tesmar", "--root", "--speed", "slow"}, TAction::Run, 0, true, ""},
      {{"tesmar", "-window"}, TAction::Run, 0, true, ""},
      {{"tesmar", "--root", "--bogus"}, TAction::End, 2, false, "unknown option '--bogus' (see tesmar(6))"},
      {{"tesmar", "--add-to-xscreensaver"}, TAction::AddToHostList, 0, false, ""},
  };
  for (const Row& row : rows) {
    const TProgramStart start = ReadProgramStart(static_cast<int>(row.Arguments.size()), row.Arguments.data(), false);
    EXPECT_EQ(start.Action, row.Action) << row.Arguments[1];
    EXPECT_EQ(start.ExitCode, row.ExitCode) << row.Arguments[1];
    EXPECT_EQ(start.FromHost, row.FromHost) << row.Arguments[1];
    EXPECT_EQ(start.Message, row.Message) << row.Arguments[1];
    EXPECT_EQ(static_cast<bool>(start.Run), row.Action == TAction::Run) << row.Arguments[1];
  }
  EXPECT_EQ(ReadProgramStart(2, std::vector<const char*>{"tesmar", "-add-to-xscreensaver"}.data(), false).HostListEntry,
            "tesmar --root");
}

class HostedWindow : public SaverFilesTest {
 protected:
  void SetUp() override {
    SaverFilesTest::SetUp();
    App.SetHostParent(nullptr);
  }
  void TearDown() override {
    SetRunChoices({});
    SetStartFileOverride(nullptr);
    SaverFilesTest::TearDown();
  }
};

TEST_F(HostedWindow, IsAnOrdinaryWindowThatInputDoesNotEnd) {
  WriteSettings({{"Speed", "0"}, {"Frame_on", "1"}});
  SetRunChoices(TRunChoices{2, 0, 1});
  App.InitMainWindow();
  auto* window = dynamic_cast<TMyScrnSavWindow*>(App.GetMainWindow());
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(IsSaverRunning());
  EXPECT_EQ(App.GetSpeed(), 2);
  EXPECT_EQ(frame_on, 0);
  EXPECT_EQ(what_file, 1);
  EXPECT_EQ(window->Attr.Style & WS_POPUP, 0u);
  ASSERT_TRUE(window->Create());

  for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_KEYDOWN, WM_SYSKEYDOWN, WM_ACTIVATEAPP, WM_ACTIVATE}) {
    TMessage input{message, message == WM_KEYDOWN ? static_cast<WPARAM>('A') : 0, MAKELPARAM(7, 9), 0};
    window->Dispatch(input);
  }
  App.PumpWaitingMessages();
  EXPECT_FALSE(App.QuitReceived());
  EXPECT_NE(window->GetHandle(), nullptr);
}

TEST_F(HostedWindow, StartsANewBoxOfTheNewSizeAfterSavingTheOld) {
  WriteSettings({{"what_file", "1"}});
  App.InitMainWindow();
  auto* window = dynamic_cast<TMyScrnSavWindow*>(App.GetMainWindow());
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(window->Create());
  const TSize before = window->GetScreenSize();
  for (int step = 0; step < 6; ++step) window->AnimateScreen();
  EXPECT_EQ(first, 0);

  TTraceRecorder recorder;
  TMessage size{WM_SIZE, 0, MAKELPARAM(320, 200), 0};
  window->Dispatch(size);

  EXPECT_NE(before.cx, 320);
  EXPECT_EQ(window->GetScreenSize().cx, 320);
  EXPECT_EQ(window->GetScreenSize().cy, 200);
  EXPECT_EQ(rightframe, 319);
  EXPECT_EQ(bottomframe, 199);
  ASSERT_NE(window->GetBitmap(), nullptr);
  EXPECT_EQ(window->GetBitmap()->Width(), 319);
  EXPECT_EQ(window->GetBitmap()->Height(), 199);
  EXPECT_EQ(recorder.Labels(TTraceHook::Saver), std::vector<std::string>{"init run"});
  // The new box's edges are drawn before anything of it is shown.
  EXPECT_EQ(first, 1);
  EXPECT_TRUE(ReadWholeFile(SaverFolderFile("default.tmr")).has_value());

  // The same size again, or a size with nothing inside, keeps the box.
  recorder.Clear();
  for (LPARAM packed : {MAKELPARAM(320, 200), MAKELPARAM(1, 1), MAKELPARAM(0, 50)}) {
    TMessage again{WM_SIZE, 0, packed, 0};
    window->Dispatch(again);
  }
  EXPECT_TRUE(recorder.All().empty());
  EXPECT_EQ(window->GetScreenSize().cx, 320);
}

// What tesmar-render runs: a box of the hidden host's size, a fresh start on the reinit timer, and the
// end a lost display brings, which says where the final state went, once.
TEST_F(SaverFilesTest, AHeadlessSaverRunsInAHiddenHostOfTheSizeAskedFor) {
  WriteSettings({{"what_file", "1"}});
  {
    THeadlessSaver saver(App, TSize(320, 200));
    ASSERT_EQ(saver.GetError(), "");
    EXPECT_EQ(App.GetMainWindow(), &saver.GetWindow());
    EXPECT_EQ(saver.GetWindow().GetBitmap()->Width(), 319);
    EXPECT_EQ(saver.GetWindow().GetBitmap()->Height(), 199);
    EXPECT_FALSE(IsSaverRunning());
    for (int step = 0; step < 6; ++step) saver.Step();
    EXPECT_EQ(first, 0);
    saver.SendReinitTimer();
    EXPECT_EQ(first, 1) << "the reinit timer did not start a new run";

    const TRunEnd end = EndRunNow();
    EXPECT_TRUE(end.WasRunning);
    const auto saved = ReadWholeFile(end.SavedTo);
    ASSERT_TRUE(saved.has_value()) << end.SavedTo;
    EXPECT_NE(saved->find("ball_N9_red_green_blue_0-255="), std::string::npos);
    EXPECT_FALSE(EndRunNow().WasRunning);
    EXPECT_EQ(saver.EndRun(), "");
  }
  EXPECT_EQ(App.GetMainWindow(), nullptr);
}

// The full-screen saver keeps its box whatever size messages come.
TEST_F(SaverFilesTest, FullScreenSaverKeepsItsBoxOnASizeMessage) {
  TMyScrnSavWindow window(nullptr, AppName, nullptr);
  ASSERT_TRUE(window.Create());
  const TSize screen = window.GetScreenSize();
  TMessage size{WM_SIZE, 0, MAKELPARAM(320, 200), 0};
  window.Dispatch(size);
  EXPECT_EQ(window.GetScreenSize().cx, screen.cx);
  EXPECT_EQ(window.GetBitmap()->Width(), screen.cx - 1);
}

}  // namespace
