// Temporary file, flush, rename: the only way the project replaces a file.
#include "atomic_file.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include "system_api.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
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
#else
bool replace(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }
unsigned long currentProcess() { return static_cast<unsigned long>(getpid()); }
bool processAlive(unsigned long pid) {
  if (pid == 0 || pid > 0x7FFFFFFFul) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
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
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path target(path);
  const std::string base = target.filename().string();
  if (base.empty()) return;
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  const unsigned long self = currentProcess();
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
    const unsigned long owner = temporaryOwner(entry->path().filename().string(), base);
    // A writer that still runs may be about to rename its file; only a dead writer's file is left over.
    if (owner == 0 || owner == self || processAlive(owner)) continue;
    std::error_code ignored;
    if (entry->is_regular_file(ignored)) fs::remove(entry->path(), ignored);
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
  if (!ok) std::remove(temporary.c_str());
  if (ok) RemoveStaleTemporaryFiles(path);
  return ok;
}
