// The application's message pump over USER: dispatching what waits, and the waits between frames, with
// the millisecond clock and the fine timer resolution they need.
#include "framework.h"
#include "win32_internal.h"

#include <mmsystem.h>

int TApplication::PumpWaitingMessages() {
  int count = 0;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    ++count;
    if (message.message == WM_QUIT) {
      ReceiveQuit(static_cast<int>(message.wParam));
      break;
    }
    if (!win32::TranslateModelessDialogMessage(message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    win32::RaiseKeptException();
  }
  return count;
}

void TApplication::WaitForMessage() { WaitMessage(); }

namespace {
// Whether this process asked for the 1 ms timer resolution, which it must give back.
bool fineTimerResolution = false;
}  // namespace

// The performance counter, whatever the timer resolution: timeGetTime has millisecond steps only while
// some process holds the 1 ms resolution.
DWORD GetMillisecondTick() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER value{};
    return QueryPerformanceFrequency(&value) && value.QuadPart > 0 ? value.QuadPart : 0;
  }();
  if (frequency == 0) return GetTickCount();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  // In two parts, so that the product never overflows however long the system has run.
  const LONGLONG seconds = now.QuadPart / frequency;
  const LONGLONG rest = now.QuadPart % frequency;
  return static_cast<DWORD>(seconds * 1000 + rest * 1000 / frequency);
}

void TApplication::WaitForMessageUntil(DWORD tick) {
  // At the default resolution (10 to 16 ms) a wait of a few milliseconds oversleeps by a whole
  // period and fast animations would lose frames; keep the finer one while timed waits go on.
  if (!fineTimerResolution) fineTimerResolution = timeBeginPeriod(1) == TIMERR_NOERROR;
  LARGE_INTEGER frequency{}, watchStart{};
  bool watching = false;
  for (;;) {
    const auto left = static_cast<LONG>(tick - GetMillisecondTick());
    if (left <= 0) return;
    // A sleep may end a millisecond late, which would cost the fastest speed a quarter of its frames
    // and the others several per cent: the sleep ends a millisecond early, and the rest is spent
    // watching the clock and yielding the processor, for at most 2 ms.
    if (left == 1 && QueryPerformanceFrequency(&frequency)) {
      LARGE_INTEGER now{};
      QueryPerformanceCounter(&now);
      if (!watching) {
        watching = true;
        watchStart = now;
      }
      if ((now.QuadPart - watchStart.QuadPart) * 500 < frequency.QuadPart) {
        MSG waiting;
        if (PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE)) return;
        SwitchToThread();
        continue;
      }
    }
    const DWORD sleep = left > 1 ? static_cast<DWORD>(left - 1) : 1;
    // MWMO_INPUTAVAILABLE: messages already seen by an earlier peek end the wait too.
    const DWORD woken = MsgWaitForMultipleObjectsEx(0, nullptr, sleep, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    // Woken early (the wait's own granularity is the clock interrupt): wait the rest.
    if (woken == WAIT_TIMEOUT) continue;
    if (woken == WAIT_FAILED) Sleep(sleep);  // no message wait: at least do not spin
    return;
  }
}

void TApplication::EndTimedWaits() {
  if (fineTimerResolution) timeEndPeriod(1);
  fineTimerResolution = false;
}
