// Settings and parameter files through TProfile: what is written reads back, values and defaults are
// cut to the caller's buffer, a bare name lands in the saver folder unless the search finds it earlier
// and the user's own copy is not the newer, and nothing that would corrupt the file is stored.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "profile.h"
#include "saver_files.h"
#include "scratch_folder.h"
#include "system_api.h"

namespace fs = std::filesystem;

namespace {
constexpr char kSection[] = "tes-mar_ScreenSaver";

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::string Value(TProfile& profile, const char* key, const char* defaultValue = "<missing>") {
  char buffer[200];
  profile.GetString(key, buffer, sizeof buffer, defaultValue);
  return buffer;
}

TEST(Profile, WrittenValuesReadBackReplacedNotAddedAndWithoutRegardToCase) {
  ScratchFolder folder;
  const std::string file = folder.File("tes-mar.ini");
  {
    TProfile profile(kSection, file.c_str());
    EXPECT_TRUE(profile.WriteString("Speed", "0"));
    EXPECT_TRUE(profile.WriteString("Frame_on", "1"));
    EXPECT_TRUE(profile.WriteString("param_file", "C:\\saves\\run.tmr"));
    EXPECT_TRUE(profile.WriteString("ball_N9_red_green_blue_0-255", "255 128 0"));
    EXPECT_TRUE(profile.WriteString("Speed", "2"));
    EXPECT_EQ(Value(profile, "Speed"), "2");
  }
  TProfile profile("TES-MAR_SCREENSAVER", file.c_str());
  EXPECT_EQ(Value(profile, "SPEED"), "2");
  EXPECT_EQ(Value(profile, "Frame_on"), "1");
  EXPECT_EQ(Value(profile, "param_file"), "C:\\saves\\run.tmr");
  EXPECT_EQ(Value(profile, "ball_N9_red_green_blue_0-255"), "255 128 0");
  const std::string bytes = ReadBytes(file);
  EXPECT_EQ(bytes.find("Speed"), bytes.rfind("Speed")) << bytes;
}

TEST(Profile, GetStringCutsToTheBufferAndFallsBackToTheDefault) {
  ScratchFolder folder;
  const std::string file = folder.File("p.tmr");
  WriteBytes(file, "[s]\nname=abcdef\nsum=a=b\nempty=\n[other]\nSpeed=0\n");
  TProfile profile("s", file.c_str());
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_TRUE(profile.GetString("name", buffer, 4, "default"));
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(buffer[4], 'x');
  EXPECT_TRUE(profile.GetString("name", buffer, 1, "default"));
  EXPECT_STREQ(buffer, "");
  std::memset(buffer, 'x', sizeof buffer);
  profile.GetString("name", buffer, 0, "default");  // no room at all: nothing written
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_FALSE(profile.GetString("missing", buffer, 5, "0 0 0 0"));
  EXPECT_STREQ(buffer, "0 0 ");
  EXPECT_FALSE(profile.GetString("missing", buffer, sizeof buffer, nullptr));
  EXPECT_STREQ(buffer, "");
  EXPECT_FALSE(profile.GetString("Speed", buffer, sizeof buffer, "2"));  // only in another section
  EXPECT_STREQ(buffer, "2");
  EXPECT_TRUE(profile.GetString("sum", buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "a=b");
  EXPECT_TRUE(profile.GetString("empty", buffer, sizeof buffer, "default.tmr"));  // present but empty
  EXPECT_STREQ(buffer, "");

  const std::string absent = folder.File("absent.ini");
  TProfile missing(kSection, absent.c_str());
  EXPECT_FALSE(missing.GetString("Speed", buffer, sizeof buffer, "1"));
  EXPECT_STREQ(buffer, "1");
  EXPECT_FALSE(fs::exists(absent));  // reading creates nothing
}

TEST(Profile, BareNameFoundNowhereIsStoredInTheSaverFolder) {
  const std::string name = "tesmar-contract-" + std::to_string(std::random_device()()) + ".ini";
  const std::string folder = SaverFolder();
  ASSERT_FALSE(folder.empty());
  const fs::path expected = fs::path(folder) / name;
  ASSERT_FALSE(fs::exists(expected));
  {
    TProfile profile(kSection, name.c_str());
    EXPECT_EQ(Value(profile, "gravitation_constant"), "<missing>");
    EXPECT_FALSE(fs::exists(expected));  // reading alone creates nothing
    EXPECT_TRUE(profile.WriteString("gravitation_constant", "20.000000"));
  }
  EXPECT_TRUE(fs::exists(expected));
  {
    TProfile again(kSection, name.c_str());
    EXPECT_EQ(Value(again, "gravitation_constant"), "20.000000");
  }
  fs::remove(expected);
}

// A file of the same name in the current folder (on the search path before the saver folder) is the
// one used, unless the user's own copy was saved after it, as a write that the other could not take
// leaves it; writes then go to the copy read.
TEST(Profile, AFileFoundEarlierIsUsedUnlessTheOwnCopyIsNewer) {
  const std::string name = "tesmar-contract-" + std::to_string(std::random_device()()) + ".ini";
  ScratchFolder here;
  const fs::path saved = fs::current_path();
  fs::current_path(here.Path);
  const fs::path found = here.Path / name;
  const fs::path own = fs::path(SaverFolder()) / name;
  for (const bool ownIsNewer : {false, true}) {
    WriteBytes(found.string(), "[tes-mar_ScreenSaver]\nfrom=found\n");
    WriteBytes(own.string(), "[tes-mar_ScreenSaver]\nfrom=own\n");
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(ownIsNewer ? found : own, now - std::chrono::hours(1));
    fs::last_write_time(ownIsNewer ? own : found, now);
    {
      TProfile profile(kSection, name.c_str());
      EXPECT_EQ(Value(profile, "from"), ownIsNewer ? "own" : "found");
      EXPECT_TRUE(profile.WriteString("written", "1"));
    }
    EXPECT_NE(ReadBytes((ownIsNewer ? own : found).string()).find("written=1"), std::string::npos);
    EXPECT_EQ(ReadBytes((ownIsNewer ? found : own).string()).find("written"), std::string::npos);
  }
  fs::remove(own);
  fs::current_path(saved);
}

TEST(Profile, RefusesKeysAndValuesThatWouldCorruptTheFile) {
  ScratchFolder folder;
  const std::string file = folder.File("p.tmr");
  WriteBytes(file, "[s]\nx=1\n");
  {
    TProfile profile("s", file.c_str());
    EXPECT_FALSE(profile.WriteString("x", "1\n[other]"));
    EXPECT_FALSE(profile.WriteString("x", "1\r2"));
    EXPECT_FALSE(profile.WriteString("a=b", "1"));
    EXPECT_FALSE(profile.WriteString("[other]", "1"));
    EXPECT_FALSE(profile.WriteString(";x", "1"));
    EXPECT_FALSE(profile.WriteString("", "1"));
    EXPECT_FALSE(profile.WriteString(nullptr, "1"));
    EXPECT_EQ(Value(profile, "x"), "1");
  }
  EXPECT_EQ(ReadBytes(file), "[s]\nx=1\n");
  TProfile unnamed("s", "");
  EXPECT_FALSE(unnamed.WriteString("x", "1"));
}

}  // namespace
