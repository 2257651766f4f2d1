// A test fixture that points the environment and the working directory at fresh temporary folders,
// so that no test reads or writes the user's own settings, and a few file helpers.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class ScratchFolders : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Sets or (with nullptr) unsets a variable for this test only.
  void SetEnvironment(const char* name, const char* value);

  static void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
  static std::string ReadBytes(const std::filesystem::path& path);
  static std::vector<std::string> FolderListing(const std::filesystem::path& folder);

  std::filesystem::path Root;     // everything below is removed after the test
  std::filesystem::path Config;   // XDG_CONFIG_HOME
  std::filesystem::path Runtime;  // XDG_RUNTIME_DIR
  std::filesystem::path Work;     // the working directory
  std::filesystem::path Home;     // HOME
  std::filesystem::path SaverFolder() const { return Config / "tes-mar"; }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> SavedEnvironment;
  std::filesystem::path SavedWorkingDirectory;
};
