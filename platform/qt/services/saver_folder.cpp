// The saver folder (a per-user config folder, which also stands in for the Windows directory), the
// OpenFile(OF_EXIST) file search and what the placing of saver files asks of the file system.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "linux_services.h"
#include "saver_file_location.h"
#include "system_api.h"

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string Join(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}

std::string HomeDirectory() {
  std::string home = Environment("HOME");
  if (!home.empty()) return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result && result->pw_dir) {
    return result->pw_dir;
  }
  return {};
}

std::string ProgramDirectory() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      std::string path(buffer.data(), static_cast<std::size_t>(length));
      const auto slash = path.rfind('/');
      return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string CurrentDirectory() {
  std::vector<char> buffer(4096);
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

// What OpenFile(OF_EXIST) accepts: something that can be opened as a file, so not a directory.
bool IsExistingFile(const std::string& path) {
  struct stat status{};
  return !path.empty() && ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

std::string Absolute(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  const std::string current = CurrentDirectory();
  return current.empty() ? path : Join(current, path);
}

}  // namespace

std::string SaverFolderPath() {
  const std::string config = Environment("XDG_CONFIG_HOME");
  // Relative values are invalid for XDG base directories and are ignored.
  if (!config.empty() && config.front() == '/') return Join(WithoutTrailingSlashes(config), "tes-mar");
  const std::string home = HomeDirectory();
  if (!home.empty()) return Join(WithoutTrailingSlashes(home), ".config/tes-mar");
  // No home at all (a stripped-down service account): a per-user folder in the temporary directory.
  const std::string temporary = Environment("TMPDIR");
  const std::string base = (!temporary.empty() && temporary.front() == '/') ? temporary : "/tmp";
  return Join(WithoutTrailingSlashes(base), "tes-mar-" + std::to_string(getuid()));
}

bool MakeSaverFolder() {
  const std::string path = SaverFolderPath();
  int error = 0;
  for (std::size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
      error = errno;
      break;
    }
    if (slash == std::string::npos) break;
  }
  struct stat status{};
  if (::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return true;
  errno = error != 0 ? error : ENOTDIR;  // the reason the caller reports
  return false;
}

std::string SearchFile(const std::string& fileName) {
  if (fileName.empty()) return {};
  if (fileName.find('/') != std::string::npos) return IsExistingFile(fileName) ? Absolute(fileName) : std::string();

  std::vector<std::string> folders{ProgramDirectory(), CurrentDirectory(), SaverFolderPath()};
  const std::string path = Environment("PATH");
  for (std::size_t start = 0; start <= path.size();) {
    const auto colon = path.find(':', start);
    const auto end = colon == std::string::npos ? path.size() : colon;
    if (end > start) folders.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    const std::string candidate = Join(folder, fileName);
    if (IsExistingFile(candidate)) return Absolute(candidate);
  }
  return {};
}

std::string FindOnSearchPath(const std::string& name) { return SearchFile(name); }

bool FileExists(const std::string& path) { return IsExistingFile(path); }

bool CanReplaceFile(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  // access() also answers for root, whom modes do not stop but a read-only mount does.
  return ::access(path.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool IsNewerFile(const std::string& path, const std::string& other) {
  struct stat mine{}, theirs{};
  if (::stat(path.c_str(), &mine) != 0 || ::stat(other.c_str(), &theirs) != 0) return false;
  if (mine.st_mtim.tv_sec != theirs.st_mtim.tv_sec) return mine.st_mtim.tv_sec > theirs.st_mtim.tv_sec;
  return mine.st_mtim.tv_nsec > theirs.st_mtim.tv_nsec;
}

bool SameFileName(const std::string& path, const std::string& other) {
  struct stat mine{}, theirs{};
  if (::stat(path.c_str(), &mine) == 0 && ::stat(other.c_str(), &theirs) == 0) {
    return mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
  }
  return path == other;
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  if (!MakeSaverFolder()) {
    std::fprintf(stderr, "tesmar: cannot create the settings folder %s: %s\n", SaverFolderPath().c_str(),
                 std::strerror(errno));
  }
  const std::string path = SaverFolderPath();
  const auto length = static_cast<UINT>(path.size());
  // Like Windows: a buffer too small for path and terminator gets nothing, the result is the size needed.
  if (buffer == nullptr || size <= length) return length + 1;
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return length;
}
