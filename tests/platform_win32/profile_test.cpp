// Settings and parameter files through TProfile, checked against the system's own profile functions,
// and the system's file search and path limits.
#include <gtest/gtest.h>

#include <string>

#include "profile.h"
#include "scratch.h"

namespace {
constexpr char kSection[] = "tes-mar_ScreenSaver";

std::string systemRead(const std::string& file, const char* key) {
  char value[256] = "";
  GetPrivateProfileStringA(kSection, key, "<missing>", value, sizeof value, file.c_str());
  return value;
}

TEST(Profile, SettingsAndParametersAreWrittenWhereTheSystemReadsThem) {
  ScratchFolder folder;
  const std::string file = folder.File("tes-mar.ini");
  {
    TProfile profile(kSection, file.c_str());
    EXPECT_EQ(profile.GetFileName(), file);
    EXPECT_TRUE(profile.WriteString("Speed", "0"));
    EXPECT_TRUE(profile.WriteString("Frame_on", "1"));
    EXPECT_TRUE(profile.WriteString("what_file", "0"));
    EXPECT_TRUE(profile.WriteString("param_file", "C:\\saves\\run.tmr"));
    EXPECT_TRUE(profile.WriteString("gravitation_constant", "20.000000"));
    EXPECT_TRUE(profile.WriteString("ball_N9_red_green_blue_0-255", "255 128 0"));
    EXPECT_TRUE(profile.WriteString("Speed", "2"));  // replaced, not added
  }
  EXPECT_EQ(systemRead(file, "Speed"), "2");
  EXPECT_EQ(systemRead(file, "Frame_on"), "1");
  EXPECT_EQ(systemRead(file, "what_file"), "0");
  EXPECT_EQ(systemRead(file, "param_file"), "C:\\saves\\run.tmr");
  EXPECT_EQ(systemRead(file, "gravitation_constant"), "20.000000");
  EXPECT_EQ(systemRead(file, "ball_N9_red_green_blue_0-255"), "255 128 0");

  WritePrivateProfileStringA(kSection, "ball_N1_speed_x_y_z", "1.500000 -2.000000 0.250000", file.c_str());
  TProfile profile(kSection, file.c_str());
  char value[200];
  EXPECT_TRUE(profile.GetString("ball_N1_speed_x_y_z", value, sizeof value, "0 0 0"));
  EXPECT_STREQ(value, "1.500000 -2.000000 0.250000");
  EXPECT_TRUE(profile.GetString("SPEED", value, sizeof value, "1"));  // the system matches without case
  EXPECT_STREQ(value, "2");
}

// The system's reader gives nothing back without room for its terminator; neither does TProfile.
TEST(Profile, NoRoomInTheBufferGivesFalseAndWritesNothing) {
  ScratchFolder folder;
  const std::string file = folder.File("tes-mar.ini");
  WritePrivateProfileStringA(kSection, "param_file", "", file.c_str());
  TProfile profile(kSection, file.c_str());
  char value[4] = "abc";
  EXPECT_FALSE(profile.GetString("param_file", value, 0, "x"));
  EXPECT_STREQ(value, "abc");
}

TEST(Profile, FileFoundInTheCurrentDirectoryIsUsedByItsFullPath) {
  ScratchFolder folder;
  const std::string name = "tesmar-found-" + std::to_string(GetCurrentProcessId()) + ".tmr";
  WritePrivateProfileStringA(kSection, "ball_density", "0.001000", folder.File(name).c_str());
  char previous[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof previous, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(folder.Path.c_str()));
  TProfile profile(kSection, name.c_str());
  SetCurrentDirectoryA(previous);

  EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, profile.GetFileName().c_str(), -1,
                           folder.File(name).c_str(), -1),
            CSTR_EQUAL)
      << profile.GetFileName();
  char value[200];
  EXPECT_TRUE(profile.GetString("ball_density", value, sizeof value, "0"));  // found again after the cd
  EXPECT_STREQ(value, "0.001000");
}

// The system's file search holds 128 characters; a longer path is still used as it is.
TEST(Profile, PathLongerThanTheSearchBufferIsUsedUnchanged) {
  ScratchFolder folder;
  std::string deep = folder.Path;
  while (deep.size() < 150) {
    deep += "\\" + std::string(30, 'd');
    CreateDirectoryA(deep.c_str(), nullptr);
  }
  const std::string file = deep + "\\tes-mar.ini";
  {
    TProfile profile(kSection, file.c_str());
    EXPECT_EQ(profile.GetFileName(), file);
    EXPECT_TRUE(profile.WriteString("Speed", "1"));
  }
  TProfile again(kSection, file.c_str());
  char value[32];
  EXPECT_TRUE(again.GetString("Speed", value, sizeof value, "2"));
  EXPECT_STREQ(value, "1");
  DeleteFileA(file.c_str());
  while (deep != folder.Path) {
    RemoveDirectoryA(deep.c_str());
    deep.erase(deep.rfind('\\'));
  }
}
// Names the system cannot hold as a path give the defaults and store nothing, rather than reach it.
TEST(Profile, NameTooLongForTheSystemGivesDefaultsAndStoresNothing) {
  for (const std::string& name : {std::string(5000, 'n'), std::string(MAX_PATH - 5, 'n') + ".tmr"}) {
    TProfile profile(kSection, name.c_str());
    char value[200] = "junk";
    EXPECT_FALSE(profile.GetString("gravitation_constant", value, sizeof value, "0"));
    EXPECT_STREQ(value, "0");
    EXPECT_FALSE(profile.WriteString("gravitation_constant", "20.000000"));
    EXPECT_FALSE(profile.Flush());
  }
}
}  // namespace
