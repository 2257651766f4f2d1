// What the saver's tests share: the saver's files in the Windows directory kept aside and restored,
// the process-wide settings reset, and an application object for the window to report its speed to.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "owlscrn25.h"
#include "program_entry.h"
#include "settings.h"
#include "settings_dialog.h"
#include "math_errors.h"
#include "profile.h"
#include "saver_files.h"

inline std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

class SaverFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"tes-mar.ini", "default.tmr", "tmp.bmp"}) {
      const std::string path = SaverFolderFile(name);
      ASSERT_FALSE(path.empty());
      Kept.push_back({path, ReadWholeFile(path)});
      std::remove(path.c_str());
    }
    first = 1;
    frame_on = 0;
    what_file = 0;
    param_file[0] = '\0';
    SetMessageBoxHook([this](const char* text, const char* caption, UINT type) {
      Boxes.push_back({text ? text : "", caption ? caption : "", type});
      return BoxAnswer;
    });
  }

  void TearDown() override {
    SetMessageBoxHook({});
    SetFileDialogHook({});
    for (const auto& [path, bytes] : Kept) {
      std::remove(path.c_str());
      if (bytes) std::ofstream(path, std::ios::binary) << *bytes;
    }
  }

  static void WriteSettings(std::initializer_list<std::pair<const char*, const char*>> values) {
    TProfile profile(SettingsSection, SettingsFile);
    for (const auto& [key, value] : values) profile.WriteString(key, value);
  }

  static std::string Setting(const char* key) {
    TProfile profile(SettingsSection, SettingsFile);
    char value[256] = "";
    return profile.GetString(key, value, sizeof value, "<missing>") ? value : "<missing>";
  }

  struct Box {
    std::string Text;
    std::string Caption;
    UINT Type;
  };
  std::vector<Box> Boxes;
  int BoxAnswer = IDOK;

  TMyScrnSavApp App{AppName};

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> Kept;
};
