// The scratch-folder fixture: temporary folders, the environment saved and restored around each test.
#include "scratch_folders.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

void ScratchFolders::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "tesmar-services-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  Root = pattern;
  Config = Root / "config";
  Runtime = Root / "run";
  Work = Root / "work";
  Home = Root / "home";
  for (const auto& folder : {Config, Runtime, Work, Home}) fs::create_directories(folder);
  SavedWorkingDirectory = fs::current_path();
  fs::current_path(Work);
  SetEnvironment("XDG_CONFIG_HOME", Config.c_str());
  SetEnvironment("XDG_RUNTIME_DIR", Runtime.c_str());
  SetEnvironment("HOME", Home.c_str());
  SetEnvironment("PATH", (Root / "nowhere").c_str());
}

void ScratchFolders::TearDown() {
  for (auto it = SavedEnvironment.rbegin(); it != SavedEnvironment.rend(); ++it) {
    if (it->second) ::setenv(it->first.c_str(), it->second->c_str(), 1);
    else ::unsetenv(it->first.c_str());
  }
  SavedEnvironment.clear();
  if (!SavedWorkingDirectory.empty()) fs::current_path(SavedWorkingDirectory);
  std::error_code ignored;
  // Tests may leave read-only folders behind.
  for (auto& entry : fs::recursive_directory_iterator(Root, ignored)) {
    if (entry.is_directory(ignored)) fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(Root, ignored);
}

void ScratchFolders::SetEnvironment(const char* name, const char* value) {
  const char* old = std::getenv(name);
  SavedEnvironment.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
  if (value) ::setenv(name, value, 1);
  else ::unsetenv(name);
}

void ScratchFolders::WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
  ASSERT_TRUE(file.good()) << path;
}

std::string ScratchFolders::ReadBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::vector<std::string> ScratchFolders::FolderListing(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}
