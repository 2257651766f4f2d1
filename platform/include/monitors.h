// The monitors of the desktop, for windows that must cover all of them.
#pragma once

#include <vector>

#include "geometry.h"
#include "system_api.h"

// Each monitor's rectangle in screen coordinates (device pixels), the primary monitor first;
// empty when there is no display.
std::vector<TRect> GetMonitorRects();
