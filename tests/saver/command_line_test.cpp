// The saver's command line: which mode each form selects, and what Run does in each mode.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "trace_recorder.h"
#include "tscrnsav.h"

namespace {

struct CommandLineCase {
  const char* line;
  int mode;
  long parent;
};

TEST(CommandLine, SelectsTheModeOfEachForm) {
  const CommandLineCase cases[] = {
      {"tesmar", ScrModeConfigure, 0},
      {"tesmar ", ScrModeConfigure, 0},
      {"tesmar    ", ScrModeConfigure, 0},
      {"", ScrModeConfigure, 0},
      {"tesmar /s", ScrModeSave, 0},
      {"tesmar -s", ScrModeSave, 0},
      {"tesmar s", ScrModeSave, 0},
      {"tesmar /S", ScrModeSave, 0},
      {"tesmar /save", ScrModeSave, 0},
      {"tesmar    /s", ScrModeSave, 0},
      {"tesmar / s", ScrModeNone, 0},
      {"tesmar --s", ScrModeNone, 0},
      {"tesmar /p 1234", ScrModePreview, 0},
      {"tesmar /P", ScrModePreview, 0},
      {"tesmar /l:1234", ScrModePreview, 0},
      {"tesmar /c:1234", ScrModeConfigure, 0},
      {"tesmar /c 1234", ScrModeConfigure, 0},
      {"tesmar /c", ScrModeConfigure, 0},
      {"tesmar -C", ScrModeConfigure, 0},
      {"tesmar /a:1234", ScrModePassword, 1234},
      {"tesmar /a 1234", ScrModePassword, 1234},
      {"tesmar /a1234", ScrModePassword, 1234},
      {"tesmar /A: : 77x", ScrModePassword, 77},
      {"tesmar /a", ScrModePassword, 0},
      {"tesmar /a:", ScrModePassword, 0},
      {"tesmar /a:zz", ScrModePassword, 0},
      {"tesmar /a99999999999999999999999", ScrModePassword, LONG_MAX},
      {"tesmar /x", ScrModeNone, 0},
      {"tesmar /", ScrModeNone, 0},
      // A quoted program path is skipped whole, blanks and slashes included.
      {"\"C:\\Program Files\\tes mar.scr\" /s", ScrModeSave, 0},
      {"\"/opt/my saver/tesmar\" /p 1234", ScrModePreview, 0},
      {"\"/opt/my saver/tesmar\"", ScrModeConfigure, 0},
      {"\"/opt/my saver/tesmar\"   /a 5", ScrModePassword, 5},
      {"\"/opt/s /s", ScrModeConfigure, 0},
      // Only the space separates.
      {"tesmar\t/s", ScrModeConfigure, 0},
  };
  for (const CommandLineCase& c : cases) {
    long parent = -1;
    EXPECT_EQ(ReadScrMode(c.line, parent), c.mode) << c.line;
    EXPECT_EQ(parent, c.parent) << c.line;
  }
}

// --- Run in each mode ---------------------------------------------------------------------------

std::string commandLine;
const char* TestCommandLine() { return commandLine.c_str(); }

class ProbeDialog : public TDialog {
 public:
  ProbeDialog(std::vector<std::string>& log) : TDialog(nullptr, "IDD_CONFIGURE"), Log(log) {}
  ~ProbeDialog() override { Log.push_back("deleted"); }
  int Execute() override {
    Log.push_back("executed");
    return IDOK;
  }
  std::vector<std::string>& Log;
};

class ProbeApp : public TScrnSavApp {
 public:
  ProbeApp() : TScrnSavApp("probe") {}
  void InitScrnSavWindow() override { Log.push_back("window"); }
  void InitConfigDialog() override {
    Log.push_back("dialog");
    if (MakeDialog) ConfigDialog = new ProbeDialog(Log);
  }
  void ChangePassword(HWND parent) override {
    Log.push_back("password " + std::to_string(reinterpret_cast<std::intptr_t>(parent)));
  }
  bool InConfigMode() const { return ConfigMode; }

  std::vector<std::string> Log;
  bool MakeDialog = false;
};

class RunModes : public ::testing::Test {
 protected:
  void SetUp() override { SetCommandLineSource(&TestCommandLine); }
  void TearDown() override {
    SetCommandLineSource(nullptr);
    ScrMode = ScrModeNone;
  }
  int Run(const char* line, ProbeApp& app) {
    commandLine = line;
    return app.Run();
  }
};

TEST_F(RunModes, PreviewAndUnknownSwitchesEndAtOnceWithNothingMade) {
  for (const char* line : {"tesmar /p 1234", "tesmar /l:1234", "tesmar /x", "tesmar / s"}) {
    ProbeApp app;
    EXPECT_EQ(Run(line, app), 0) << line;
    EXPECT_TRUE(app.Log.empty()) << line;
    EXPECT_EQ(app.GetMainWindow(), nullptr);
  }
  ProbeApp app;
  Run("tesmar /p 1234", app);
  EXPECT_EQ(ScrMode, ScrModePreview);
  Run("tesmar /x", app);
  EXPECT_EQ(ScrMode, ScrModeNone);
}

TEST_F(RunModes, PasswordChangeGetsTheParentFromTheCommandLine) {
  ProbeApp app;
  EXPECT_EQ(Run("tesmar /a:1234", app), 0);
  EXPECT_EQ(ScrMode, ScrModePassword);
  ProbeApp bare;
  Run("tesmar /a", bare);
  EXPECT_EQ(app.Log, std::vector<std::string>{"password 1234"});
  EXPECT_EQ(bare.Log, std::vector<std::string>{"password 0"});
}

TEST_F(RunModes, ConfigureRunsTheDialogModallyThenDeletesIt) {
  ProbeApp app;
  app.MakeDialog = true;
  EXPECT_EQ(Run("tesmar /c:1234", app), 0);
  EXPECT_EQ(ScrMode, ScrModeConfigure);
  EXPECT_EQ(app.Log, (std::vector<std::string>{"dialog", "executed", "deleted"}));
  // No animation while configuring.
  EXPECT_TRUE(app.InConfigMode());
  EXPECT_FALSE(app.IdleAction(0));
}

TEST_F(RunModes, ConfigureWithoutADialogEndsAtOnce) {
  ProbeApp app;
  EXPECT_EQ(Run("tesmar", app), 0);
  EXPECT_EQ(app.Log, std::vector<std::string>{"dialog"});
}

// A saver window that ends itself after three frames, as input would.
class SelfClosingWindow : public TScrnSavWindow {
 public:
  explicit SelfClosingWindow(int& frames) : TScrnSavWindow(nullptr, "self-closing"), Frames(frames) {}
  void AnimateScreen() override {
    if (++Frames == 3) PostMessage(WM_CLOSE);
  }
  int& Frames;
};

class SavingApp : public TScrnSavApp {
 public:
  SavingApp() : TScrnSavApp("saving") {}
  void InitScrnSavWindow() override { ScrnSavWindow = new SelfClosingWindow(Frames); }
  int Frames = 0;
};

TEST_F(RunModes, SaveRunsTheMessageLoopWithTheSaverWindowUntilItCloses) {
  SavingApp app;
  app.SetSpeed(2);
  commandLine = "\"/opt/my saver/tesmar\" /s";
  EXPECT_EQ(app.Run(), 0);
  EXPECT_EQ(ScrMode, ScrModeSave);
  EXPECT_EQ(app.Frames, 3);
  ASSERT_NE(app.GetMainWindow(), nullptr);
  EXPECT_EQ(app.GetMainWindow()->GetHandle(), nullptr);
}

#ifndef _WIN32
// Linux has no password provider: the trace says so and nothing else happens.
TEST(ChangePassword, ReportsAMissingProviderOnlyToTheTrace) {
  const TTraceRecorder recorder;
  TScrnSavApp app("probe");
  app.ChangePassword(nullptr);
  EXPECT_EQ(recorder.Labels(TTraceHook::Framework),
            std::vector<std::string>{"MPR.DLL not found: cannot change password."});
}
#endif

}  // namespace
