// The monitors of the virtual screen, as the system's display-monitor functions list them.
#include "monitors.h"

namespace {
BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  auto& monitors = *reinterpret_cast<std::vector<TRect>*>(data);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) return TRUE;
  const TRect area(info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom);
  if (info.dwFlags & MONITORINFOF_PRIMARY) {
    monitors.insert(monitors.begin(), area);
  } else {
    monitors.push_back(area);
  }
  return TRUE;
}
}  // namespace

std::vector<TRect> GetMonitorRects() {
  std::vector<TRect> monitors;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}
