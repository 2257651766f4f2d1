// The saver's claim on Windows: a named mutex owned by the saver's thread for the life of the process.
// Ownership, not mere existence, is the claim, so a process that only looks never blocks a start,
// and a saver that dies leaves the mutex abandoned, which the next saver takes over.
#include "saver_instance.h"

#include <string>

#include "framework.h"

namespace {
HANDLE claimed = nullptr;

std::string MutexName(const char* name) { return std::string(name ? name : "") + ".saver"; }

// True when this thread now owns the mutex (freshly, again, or from a saver that died).
bool Acquire(HANDLE mutex) {
  const DWORD result = WaitForSingleObject(mutex, 0);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}
}  // namespace

bool SaverFlagBelongsToSystem() {
  // The high bit of GetVersion is clear on the NT family.
  return (GetVersion() & 0x80000000u) == 0;
}

bool SaverClaimedElsewhere(const char* name) {
  if (claimed) return false;
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, MutexName(name).c_str());
  if (!mutex) return GetLastError() == ERROR_ACCESS_DENIED;
  const bool free = Acquire(mutex);
  if (free) ReleaseMutex(mutex);
  CloseHandle(mutex);
  return !free;
}

bool ClaimSaver(const char* name) {
  if (claimed) return true;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, MutexName(name).c_str());
  if (!mutex) {
    if (GetLastError() == ERROR_ACCESS_DENIED) return false;  // another user's saver holds it
    FrameworkTrace("cannot make the saver's claim; starting without it");
    return true;
  }
  if (!Acquire(mutex)) {
    CloseHandle(mutex);
    return false;
  }
  claimed = mutex;
  return true;
}
