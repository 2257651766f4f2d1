// The saver's claim on Linux is the screen-saver-running flag itself, a lock that the kernel drops with
// the process: taking it and asking for it are the flag's own set and set-and-restore.
#include "saver_instance.h"

#include "system_api.h"

namespace {
bool claimed = false;
}

bool SaverFlagBelongsToSystem() { return false; }

bool SaverClaimedElsewhere(const char* /*name*/) {
  if (claimed) return false;
  UINT previous = 0;
  SystemParametersInfoA(SPI_SCREENSAVERRUNNING, FALSE, &previous, 0);
  UINT ignored = 0;
  SystemParametersInfoA(SPI_SCREENSAVERRUNNING, previous, &ignored, 0);
  return previous != 0;
}

bool ClaimSaver(const char* /*name*/) {
  if (claimed) return true;
  UINT previous = 0;
  // Without a place for the lock nobody can hold it.
  if (!SystemParametersInfoA(SPI_SCREENSAVERRUNNING, TRUE, &previous, 0)) return true;
  claimed = previous == 0;
  return claimed;
}
