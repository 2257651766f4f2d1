// The clock of the animation pump, which draws the saver's frames from the application's idle time.
#pragma once

#include "system_api.h"

// Where the animation pump reads the millisecond tick count; null restores GetMillisecondTick.
using TTickSource = DWORD (*)();
void SetTickSource(TTickSource source);

// The tick count on the pump's clock.
DWORD PumpTick();
