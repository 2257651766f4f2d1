// The system stand-ins: the Windows directory, the screen-saver-running flag across processes, the
// command line and run-time library loading.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "linux_services.h"
#include "scratch_folders.h"
#include "system_api.h"

namespace fs = std::filesystem;

namespace {

using WindowsFolder = ScratchFolders;

TEST_F(WindowsFolder, IsTheConfigFolderAndIsCreated) {
  char buffer[512];
  const UINT length = GetWindowsDirectoryA(buffer, sizeof buffer);
  const std::string expected = (Config / "tes-mar").string();
  EXPECT_EQ(length, expected.size());
  EXPECT_EQ(std::string(buffer), expected);
  EXPECT_TRUE(fs::is_directory(expected));

  // Without XDG_CONFIG_HOME, or with a relative one (not valid for it), the folder is under HOME.
  for (const char* config : {static_cast<const char*>(nullptr), "relative/config"}) {
    SetEnvironment("XDG_CONFIG_HOME", config);
    ASSERT_GT(GetWindowsDirectoryA(buffer, sizeof buffer), 0u);
    EXPECT_EQ(std::string(buffer), (Home / ".config" / "tes-mar").string());
    EXPECT_TRUE(fs::is_directory(Home / ".config" / "tes-mar"));
  }
}

TEST_F(WindowsFolder, ASmallBufferGetsNothingAndTheNeededSize) {
  const std::string expected = (Config / "tes-mar").string();
  char buffer[512];
  std::memset(buffer, '#', sizeof buffer);
  // Room for the text but not the terminator: like Windows, nothing is written.
  EXPECT_EQ(GetWindowsDirectoryA(buffer, static_cast<UINT>(expected.size())), expected.size() + 1);
  EXPECT_EQ(buffer[0], '#');
  EXPECT_EQ(GetWindowsDirectoryA(nullptr, 0), expected.size() + 1);
  EXPECT_EQ(GetWindowsDirectoryA(buffer, static_cast<UINT>(expected.size() + 1)), expected.size());
  EXPECT_EQ(buffer[expected.size()], '\0');
  EXPECT_EQ(buffer[expected.size() + 1], '#');
}

// --- the screen-saver-running flag ------------------------------------------------------------------

using SaverFlag = ScratchFolders;

UINT SetSaverRunning(UINT running) {
  UINT previous = 99;
  EXPECT_TRUE(SystemParametersInfoA(SPI_SCREENSAVERRUNNING, running, &previous, 0));
  return previous;
}

// The program entry's question: clear the flag, then put back what was there.
bool IsSaverRunning() {
  const UINT previous = SetSaverRunning(FALSE);
  SetSaverRunning(previous);
  return previous != 0;
}

// A second process that sets the flag and then does what the pipe tells it: 'c' clear, 'q' quit.
struct FlagHolder {
  pid_t Pid = -1;
  int Commands = -1;

  void Start() {
    int toChild[2];
    int fromChild[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(fromChild), 0);
    Pid = ::fork();
    ASSERT_GE(Pid, 0);
    if (Pid == 0) {
      UINT previous = 0;
      SystemParametersInfoA(SPI_SCREENSAVERRUNNING, TRUE, &previous, 0);
      char ready = 'r';
      if (::write(fromChild[1], &ready, 1) != 1) ::_exit(2);
      char command = 0;
      while (::read(toChild[0], &command, 1) == 1) {
        if (command == 'c') SystemParametersInfoA(SPI_SCREENSAVERRUNNING, FALSE, &previous, 0);
        if (::write(fromChild[1], &command, 1) != 1 || command == 'q') break;
      }
      ::_exit(0);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    Commands = toChild[1];
    Replies = fromChild[0];
    char ready = 0;
    ASSERT_EQ(::read(Replies, &ready, 1), 1);
  }

  void Send(char command) {
    ASSERT_EQ(::write(Commands, &command, 1), 1);
    char reply = 0;
    ASSERT_EQ(::read(Replies, &reply, 1), 1);
  }

  void Kill() {
    ::kill(Pid, SIGKILL);
    int status = 0;
    ::waitpid(Pid, &status, 0);
    Pid = -1;
  }

  ~FlagHolder() {
    if (Pid > 0) Kill();
    if (Commands >= 0) ::close(Commands);
    if (Replies >= 0) ::close(Replies);
  }

  int Replies = -1;
};

TEST_F(SaverFlag, IsSetAndClearedByThisProcess) {
  EXPECT_FALSE(IsSaverRunning());
  EXPECT_EQ(SetSaverRunning(TRUE), 0u);
  EXPECT_EQ(SetSaverRunning(TRUE), 1u);
  EXPECT_TRUE(IsSaverRunning());
  EXPECT_TRUE(IsSaverRunning());  // asking put the flag back
  EXPECT_EQ(SetSaverRunning(FALSE), 1u);
  EXPECT_EQ(SetSaverRunning(FALSE), 0u);
  EXPECT_FALSE(IsSaverRunning());
  EXPECT_FALSE(SystemParametersInfoA(0x0072, TRUE, nullptr, 0));  // other actions are not provided
}

TEST_F(SaverFlag, IsSeenFromASecondProcessAndReleasedWhenItsHolderDies) {
  FlagHolder holder;
  ASSERT_NO_FATAL_FAILURE(holder.Start());
  EXPECT_TRUE(IsSaverRunning());
  EXPECT_TRUE(IsSaverRunning());  // asking from here did not take it away
  holder.Send('c');
  EXPECT_FALSE(IsSaverRunning());

  FlagHolder crashing;
  ASSERT_NO_FATAL_FAILURE(crashing.Start());
  EXPECT_TRUE(IsSaverRunning());
  crashing.Kill();
  EXPECT_FALSE(IsSaverRunning());
}

TEST_F(SaverFlag, LivesInTheUsersRuntimeFolder) {
  FlagHolder holder;
  ASSERT_NO_FATAL_FAILURE(holder.Start());
  EXPECT_EQ(FolderListing(Runtime), std::vector<std::string>{"tes-mar-saver.lock"});
  // Another runtime folder is another user's session: the flag set here is not seen there.
  const fs::path otherRuntime = Root / "other-run";
  fs::create_directory(otherRuntime);
  SetEnvironment("XDG_RUNTIME_DIR", otherRuntime.c_str());
  EXPECT_FALSE(IsSaverRunning());
  SetEnvironment("XDG_RUNTIME_DIR", Runtime.c_str());
  EXPECT_TRUE(IsSaverRunning());
}

// --- command line and libraries -----------------------------------------------------------------------

TEST(CommandLine, QuotesAProgramPathWithABlankAndJoinsTheArguments) {
  char program[] = "/opt/my savers/tesmar";
  char plainProgram[] = "tesmar";
  char save[] = "/s";
  char handle[] = "/a:1234";
  char* withBlank[] = {program, save};
  SetProgramArguments(2, withBlank);
  const char* first = GetCommandLineA();
  EXPECT_STREQ(first, "\"/opt/my savers/tesmar\" /s");
  char* plain[] = {plainProgram, handle};
  SetProgramArguments(2, plain);
  EXPECT_STREQ(GetCommandLineA(), "tesmar /a:1234");
  EXPECT_STREQ(first, "\"/opt/my savers/tesmar\" /s");  // an earlier result stays valid
  SetProgramArguments(1, plain);
  EXPECT_STREQ(GetCommandLineA(), "tesmar");
}

TEST(Libraries, LoadThroughTheDynamicLoaderAndThePasswordProviderIsAbsent) {
  EXPECT_EQ(LoadLibraryA("MPR.DLL"), nullptr);
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "strlen"), nullptr);  // never a search of every loaded object
  HMODULE c = LoadLibraryA("libc.so.6");
  ASSERT_NE(c, nullptr);
  EXPECT_NE(GetProcAddress(c, "strlen"), nullptr);
  EXPECT_EQ(GetProcAddress(c, "PwdChangePasswordA"), nullptr);
  EXPECT_TRUE(FreeLibrary(c));
  EXPECT_FALSE(FreeLibrary(nullptr));
}

}  // namespace
