// Temporary file, flush, rename: the only way the project replaces a file.
#include "atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#ifdef _WIN32
#include "system_api.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace {
#ifdef _WIN32
bool replace(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
unsigned long currentProcess() { return GetCurrentProcessId(); }
bool processAlive(unsigned long pid) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  // A process we may not open is still a process.
  if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}
// The names of the folder's files (std::filesystem would triple the size of the Windows program).
std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}
#else
bool replace(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }
unsigned long currentProcess() { return static_cast<unsigned long>(getpid()); }
bool processAlive(unsigned long pid) {
  if (pid == 0 || pid > 0x7FFFFFFFul) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}
std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  DIR* directory = ::opendir(folder.c_str());
  if (!directory) return names;
  while (const dirent* entry = ::readdir(directory)) {
    if (entry->d_type == DT_REG || entry->d_type == DT_UNKNOWN) names.emplace_back(entry->d_name);
  }
  ::closedir(directory);
  return names;
}
#endif

std::string temporaryName(const std::string& path, unsigned long pid) { return path + ".tmp" + std::to_string(pid); }

// The writer's process id when `name` is `base` + ".tmp" + digits, else 0.
unsigned long temporaryOwner(const std::string& name, const std::string& base) {
  const std::string prefix = base + ".tmp";
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return 0;
  unsigned long pid = 0;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    const char c = name[i];
    if (c < '0' || c > '9' || pid > 0xFFFFFFFul) return 0;
    pid = pid * 10 + static_cast<unsigned long>(c - '0');
  }
  return pid;
}
}  // namespace

void RemoveStaleTemporaryFiles(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (base.empty()) return;
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const std::string prefix = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const unsigned long self = currentProcess();
  for (const std::string& name : filesIn(folder)) {
    const unsigned long owner = temporaryOwner(name, base);
    // A writer that still runs may be about to rename its file; only a dead writer's file is left over.
    if (owner == 0 || owner == self || processAlive(owner)) continue;
    std::remove((prefix + name).c_str());
  }
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  const std::string temporary = temporaryName(path, currentProcess());
#ifdef _WIN32
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = (std::fflush(file) == 0) && ok;
  ok = (std::fclose(file) == 0) && ok;
#else
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  std::size_t written = 0;
  while (ok && written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n > 0) written += static_cast<std::size_t>(n);
    else if (n < 0 && errno == EINTR) continue;  // a signal arrived; the write goes on
    else ok = false;
  }
  ok = (::fsync(fd) == 0) && ok;
  ok = (::close(fd) == 0) && ok;
#endif
  if (ok) ok = replace(temporary, path);
  if (!ok) {
    // The caller reports why the write failed, not how the clean-up went.
    const int error = errno;
    std::remove(temporary.c_str());
    errno = error;
  }
  if (ok) RemoveStaleTemporaryFiles(path);
  return ok;
}
