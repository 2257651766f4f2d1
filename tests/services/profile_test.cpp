// TProfile over real files: reading, committing, the file search, and writes that fail.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "profile.h"
#include "scratch_folders.h"

namespace fs = std::filesystem;

namespace {

using Profile = ScratchFolders;

std::string Value(TProfile& profile, const char* key, const char* defaultValue = "<missing>") {
  char buffer[200];
  profile.GetString(key, buffer, sizeof buffer, defaultValue);
  return buffer;
}

TEST_F(Profile, ReadsTheFileAndCommitsWritesOnceAtTheEnd) {
  const fs::path file = Work / "settings.ini";
  const std::string before = "; mine\r\n[Other]\r\nSpeed=5\r\n[tes-mar_ScreenSaver]\r\nspeed = 1\r\n";
  WriteBytes(file, before);
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  {
    TProfile profile("TES-MAR_SCREENSAVER", file.c_str());
    EXPECT_EQ(Value(profile, "Speed"), "1");
    EXPECT_TRUE(profile.WriteString("Speed", "2"));
    EXPECT_TRUE(profile.WriteString("what_file", "0"));
    EXPECT_EQ(Value(profile, "SPEED"), "2");
    EXPECT_EQ(Value(profile, "what_file"), "0");
    EXPECT_EQ(ReadBytes(file), before);  // nothing written before the commit
  }
  EXPECT_EQ(ReadBytes(file), "; mine\r\n[Other]\r\nSpeed=5\r\n[tes-mar_ScreenSaver]\r\nspeed = 2\r\nwhat_file=0\r\n");
  EXPECT_EQ(FolderListing(Work), std::vector<std::string>{"settings.ini"});
  EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(Profile, AProfileInMemoryEditsItsTextAndTouchesNoFile) {
  {
    TProfile profile("s", TProfile::TInMemory{"[s]\r\nk = 'v'\r\n"});
    EXPECT_EQ(Value(profile, "K"), "v");
    EXPECT_TRUE(profile.WriteString("n", "1"));
    EXPECT_TRUE(profile.Flush());
    EXPECT_EQ(profile.Text(), "[s]\r\nk = 'v'\r\nn=1\r\n");
    EXPECT_EQ(profile.GetFileName(), "");
  }
  EXPECT_TRUE(FolderListing(Work).empty());
  EXPECT_FALSE(fs::exists(SaverFolder()));
}

// Found is found, even where the buffer has no room for any of it.
TEST_F(Profile, AKeyFoundWithNoRoomInTheBufferStillCountsAsFound) {
  WriteBytes(Work / "p.tmr", "[s]\nname=abcdef\n");
  TProfile profile("s", (Work / "p.tmr").c_str());
  char buffer[1] = {'x'};
  EXPECT_TRUE(profile.GetString("name", buffer, 0, "default"));
  EXPECT_EQ(buffer[0], 'x');
}

// The name of a file placed in the Windows directory is its full path there; reading does not make
// that folder, and a new file holds just the section and the key.
TEST_F(Profile, ABareNameFoundNowhereIsNamedByItsPathInTheWindowsDirectory) {
  {
    TProfile profile("tes-mar_ScreenSaver", "default.tmr");
    EXPECT_EQ(profile.GetFileName(), (SaverFolder() / "default.tmr").string());
    EXPECT_EQ(Value(profile, "ball_density"), "<missing>");
    EXPECT_FALSE(fs::exists(SaverFolder()));
    EXPECT_TRUE(profile.WriteString("gravitation_constant", "20.000000"));
  }
  EXPECT_EQ(ReadBytes(SaverFolder() / "default.tmr"), "[tes-mar_ScreenSaver]\ngravitation_constant=20.000000\n");
}

TEST_F(Profile, SearchesProgramFolderThenWorkingFolderThenWindowsDirectoryThenPath) {
  const fs::path programFolder = fs::read_symlink("/proc/self/exe").parent_path();
  const std::string name = "search-" + std::to_string(::getpid()) + ".ini";
  const fs::path inPath = Root / "bin";
  fs::create_directories(inPath);
  fs::create_directories(SaverFolder());
  SetEnvironment("PATH", ("/nonexistent::" + inPath.string()).c_str());
  auto resolved = [&] { return TProfile("s", name.c_str()).GetFileName(); };

  WriteBytes(inPath / name, "");
  EXPECT_EQ(resolved(), (inPath / name).string());
  WriteBytes(SaverFolder() / name, "");
  EXPECT_EQ(resolved(), (SaverFolder() / name).string());
  fs::create_directory(Work / name);  // a folder of that name is not a file
  EXPECT_EQ(resolved(), (SaverFolder() / name).string());
  fs::remove(Work / name);
  WriteBytes(Work / name, "");
  EXPECT_EQ(resolved(), (Work / name).string());
  // A name with a folder part is taken as it is, without a search.
  EXPECT_EQ(TProfile("s", ("sub/" + name).c_str()).GetFileName(), "sub/" + name);

  // The program's folder is the build tree, not the user's; the file is removed at once.
  if (::access(programFolder.c_str(), W_OK) != 0) GTEST_SKIP() << "the program's folder is read-only";
  WriteBytes(programFolder / name, "");
  const std::string fromProgramFolder = resolved();
  fs::remove(programFolder / name);
  EXPECT_EQ(fromProgramFolder, (programFolder / name).string());
}

TEST_F(Profile, WritesMergeWithChangesMadeMeanwhileAndKeepSymbolicLinks) {
  const fs::path target = Root / "real.ini";
  WriteBytes(target, "[s]\nkept=1\n");
  fs::create_symlink(target, Work / "link.ini");
  TProfile first("s", "link.ini");
  {
    TProfile second("s", "link.ini");
    EXPECT_TRUE(second.WriteString("b", "2"));
  }
  EXPECT_TRUE(first.WriteString("a", "1"));
  EXPECT_TRUE(first.WriteString("kept", nullptr));  // no value removes the key
  EXPECT_TRUE(first.Flush());
  EXPECT_TRUE(fs::is_symlink(Work / "link.ini"));
  EXPECT_EQ(ReadBytes(target), "[s]\nb=2\na=1\n");
}

// A write cut short (here by a file-size limit, as on a full disk) must leave the old file whole.
TEST_F(Profile, AFailedWriteLeavesTheOldFileWholeAndNoTemporaryFile) {
  const fs::path file = Work / "default.tmr";
  const std::string before = "[tes-mar_ScreenSaver]\nball_density=0.001000\n";
  WriteBytes(file, before);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64, 64};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    TProfile profile("tes-mar_ScreenSaver", file.c_str());
    profile.WriteString("ball_N1_radius", std::string(4096, '7').c_str());
    ::_exit(profile.Flush() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "Flush reported success";
  EXPECT_EQ(ReadBytes(file), before);
  EXPECT_EQ(FolderListing(Work), std::vector<std::string>{"default.tmr"});
}

TEST_F(Profile, AFileThatCannotBeReadIsNeitherTrustedNorOverwritten) {
  // A folder and a FIFO under the file's name: reading must not hang, and a write must not replace them.
  fs::create_directory(Work / "folder.ini");
  WriteBytes(Work / "folder.ini" / "inside", "x");
  ASSERT_EQ(::mkfifo((Work / "fifo.ini").c_str(), 0600), 0);
  for (const char* name : {"folder.ini", "fifo.ini"}) {
    TProfile profile("s", (Work / name).c_str());
    EXPECT_EQ(Value(profile, "k", "dflt"), "dflt");
    EXPECT_TRUE(profile.WriteString("k", "v"));
    EXPECT_FALSE(profile.Flush());
  }
  EXPECT_TRUE(fs::is_directory(Work / "folder.ini"));
  EXPECT_EQ(fs::status(Work / "fifo.ini").type(), fs::file_type::fifo);
  EXPECT_EQ(FolderListing(Work), (std::vector<std::string>{"fifo.ini", "folder.ini"}));
}

TEST_F(Profile, AReadOnlyFolderFailsTheWriteAndKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  const fs::path folder = Work / "locked";
  fs::create_directory(folder);
  WriteBytes(folder / "p.ini", "[s]\nk=old\n");
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
  TProfile profile("s", (folder / "p.ini").c_str());
  EXPECT_TRUE(profile.WriteString("k", "new"));
  EXPECT_FALSE(profile.Flush());
  EXPECT_EQ(ReadBytes(folder / "p.ini"), "[s]\nk=old\n");
  EXPECT_EQ(FolderListing(folder), std::vector<std::string>{"p.ini"});
}

}  // namespace
