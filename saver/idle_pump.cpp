// The animation pump: TScrnSavApp draws a frame from idle time once the speed's pause has passed since
// the previous frame ended, and tells the message loop when the next one is due.
#include "idle_pump.h"

#include "tscrnsav.h"

namespace {
TTickSource tickSource = nullptr;

// The pause after a frame at each speed, in ms: the next frame comes once more than that has passed.
// Any other speed draws nothing (-1).
long FramePause(int speed) {
  switch (speed) {
    case 0:
      return 100;
    case 1:
      return 10;
    case 2:
      return 1;
    default:
      return -1;
  }
}
}  // namespace

void SetTickSource(TTickSource source) { tickSource = source; }

DWORD PumpTick() { return tickSource ? tickSource() : GetMillisecondTick(); }

// Polls the tick count: the pause is measured from the end of the previous frame, in unsigned
// arithmetic so that the wrap of the counter does no harm.
bool TScrnSavApp::IdleAction(long /*idleCount*/) {
  if (ConfigMode) return false;
  PacedIdle = true;
  const DWORD elapsed = PumpTick() - LastTick;
  const long pause = FramePause(Speed);
  if (pause >= 0 && elapsed > static_cast<DWORD>(pause) && ScrnSavWindow) {
    ScrnSavWindow->AnimateScreen();
    LastTick = PumpTick();
  }
  return true;
}

std::optional<DWORD> TScrnSavApp::NextFrameTick() const {
  const long pause = FramePause(Speed);
  if (ConfigMode || !ScrnSavWindow || pause < 0) return std::nullopt;
  return LastTick + static_cast<DWORD>(pause) + 1;
}

TIdleWake TScrnSavApp::NextIdleWake() {
  if (!PacedIdle) return {};
  PacedIdle = false;
  const std::optional<DWORD> due = NextFrameTick();
  if (!due) return {TIdleWake::OnMessage, 0};
  // Measured like IdleAction measures it, so a clock that went back means a frame now, as there.
  const DWORD now = PumpTick();
  const DWORD elapsed = now - LastTick;
  if (elapsed >= *due - LastTick) return {TIdleWake::Now, 0};
  // The loop waits on GetMillisecondTick; another pump clock (a test's) is carried over by the
  // distance, which is never more than one pause.
  return {TIdleWake::AtTick, tickSource ? GetMillisecondTick() + (*due - now) : *due};
}
