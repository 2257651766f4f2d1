// The stand-ins for the Windows kernel and USER calls that need no window: tick count, command line,
// run-time library loading and the screen-saver-running flag.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "linux_services.h"
#include "math_errors.h"
#include "system_api.h"

namespace {

// --- command line ---------------------------------------------------------------------------------

std::mutex commandLineMutex;
std::vector<std::string> programArguments;
bool programArgumentsSet = false;
// Every command line handed out stays valid for the life of the process, as on Windows.
std::deque<std::string> commandLines;

std::vector<std::string> ArgumentsFromProc() {
  std::vector<std::string> arguments;
  const int fd = ::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return arguments;
  std::string bytes;
  char chunk[4096];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n > 0) bytes.append(chunk, static_cast<std::size_t>(n));
    else if (n == 0 || errno != EINTR) break;
  }
  ::close(fd);
  for (std::size_t start = 0; start < bytes.size();) {
    const auto end = bytes.find('\0', start);
    const auto stop = end == std::string::npos ? bytes.size() : end;
    arguments.push_back(bytes.substr(start, stop - start));
    start = stop + 1;
  }
  return arguments;
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i > 0) line += ' ';
    // The saver's parser skips a program path up to the first blank unless it is quoted.
    const bool quote = i == 0 && arguments[i].find_first_of(" \t") != std::string::npos;
    if (quote) line += '"';
    line += arguments[i];
    if (quote) line += '"';
  }
  return line;
}

// --- screen-saver-running flag ----------------------------------------------------------------------

std::mutex saverFlagMutex;
int saverLockHeld = -1;  // the open lock file while this process holds the flag

std::string SaverLockPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') return std::string(runtime) + "/tes-mar-saver.lock";
  // The temporary directory is shared by all users, so the user id keeps the flag per user.
  const char* temporary = std::getenv("TMPDIR");
  const std::string base = (temporary && temporary[0] == '/') ? temporary : "/tmp";
  return base + "/tes-mar-saver-" + std::to_string(getuid()) + ".lock";
}

enum class LockAttempt { Acquired, HeldElsewhere, Failed };

// Tries to take the lock without waiting; on success the descriptor is left in `fd`.
LockAttempt TryLock(bool create, int& fd) {
  fd = ::open(SaverLockPath().c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600);
  if (fd < 0) return LockAttempt::Failed;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return LockAttempt::Acquired;
  const int error = errno;
  ::close(fd);
  fd = -1;
  errno = error;
  return error == EWOULDBLOCK ? LockAttempt::HeldElsewhere : LockAttempt::Failed;
}

// The flag is a lock that the kernel drops with the process, so a crashed saver never leaves it set.
// A lock taken by another process cannot be cleared from here; the call then reports it as previous
// state and returns TRUE, since this process's own part is as asked.
BOOL ScreenSaverRunning(bool running, UINT* previous) {
  std::lock_guard guard(saverFlagMutex);
  bool wasRunning = false;
  BOOL result = TRUE;
  if (saverLockHeld >= 0) {
    wasRunning = true;
    if (!running) {
      ::flock(saverLockHeld, LOCK_UN);
      ::close(saverLockHeld);
      saverLockHeld = -1;
    }
  } else {
    int fd = -1;
    switch (TryLock(running, fd)) {
      case LockAttempt::Acquired:
        if (running) {
          saverLockHeld = fd;
        } else {
          ::flock(fd, LOCK_UN);
          ::close(fd);
        }
        break;
      case LockAttempt::HeldElsewhere:
        wasRunning = true;
        break;
      case LockAttempt::Failed:
        // Without a lock file nobody can have set the flag; clearing it is then done, setting it failed.
        if (running || errno != ENOENT) result = FALSE;
        break;
    }
  }
  if (previous) *previous = wasRunning ? 1u : 0u;
  return result;
}

}  // namespace

void SetProgramArguments(int argc, char** argv) {
  std::lock_guard guard(commandLineMutex);
  programArguments.clear();
  for (int i = 0; i < argc && argv && argv[i]; ++i) programArguments.emplace_back(argv[i]);
  programArgumentsSet = true;
}

LPSTR GetCommandLineA() {
  std::lock_guard guard(commandLineMutex);
  std::string line = JoinCommandLine(programArgumentsSet ? programArguments : ArgumentsFromProc());
  if (commandLines.empty() || commandLines.back() != line) commandLines.push_back(std::move(line));
  return commandLines.back().data();
}

DWORD GetTickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  // Unsigned truncation gives the 32-bit wrap of the Windows counter.
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

// The monotonic clock GetTickCount reads already counts whole milliseconds.
DWORD GetMillisecondTick() { return GetTickCount(); }

HMODULE LoadLibraryA(LPCSTR fileName) {
  // dlopen(nullptr) would hand out the program itself, which LoadLibrary never does.
  if (!fileName || !*fileName) return nullptr;
  return static_cast<HMODULE>(::dlopen(fileName, RTLD_NOW | RTLD_LOCAL));
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  // A null module would make dlsym search every loaded object.
  if (!module || !procName) return nullptr;
  void* symbol = ::dlsym(module, procName);
  FARPROC procedure = nullptr;
  static_assert(sizeof procedure == sizeof symbol);
  std::memcpy(&procedure, &symbol, sizeof procedure);
  return procedure;
}

BOOL FreeLibrary(HMODULE module) { return module && ::dlclose(module) == 0 ? TRUE : FALSE; }

BOOL SystemParametersInfoA(UINT action, UINT param, void* value, UINT /*winIni*/) {
  if (action != SPI_SCREENSAVERRUNNING) return FALSE;
  return ScreenSaverRunning(param != 0, static_cast<UINT*>(value));
}

// Linux's math library has no error hook: the engine's checked math path raises the exception.
void InstallMathErrorHook() {}
