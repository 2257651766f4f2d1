// A fresh folder under the system's temporary directory for one test, removed with what it holds.
#pragma once

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    do {
      Path = std::filesystem::temp_directory_path() / ("tesmar-contract-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(Path));
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string File(const std::string& name) const { return (Path / name).string(); }

  // The names in the folder, sorted.
  std::vector<std::string> Listing() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Path)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path Path;
};
