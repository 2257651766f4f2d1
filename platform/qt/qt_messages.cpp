// The window registry, the posted-message queue, timers and the application's message pump on Qt.
#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QTimerEvent>

#include <sys/prctl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <thread>
#include <unordered_map>

#include "qt_backend.h"

namespace qt_backend {
namespace {

struct TRegistration {
  TWindow* Owner = nullptr;
  TWindowWidget* Widget = nullptr;
};

// Id 1 is the desktop; real windows count up from 2.
constexpr std::uintptr_t DesktopId = 1;
std::uintptr_t nextWindowId = DesktopId + 1;
std::unordered_map<std::uintptr_t, TRegistration>& Registry() {
  static std::unordered_map<std::uintptr_t, TRegistration> registry;
  return registry;
}

std::uintptr_t IdOf(HWND handle) { return reinterpret_cast<std::uintptr_t>(handle); }

struct TPosted {
  HWND Window;
  UINT Message;
  WPARAM WParam;
  LPARAM LParam;
};
std::deque<TPosted>& Queue() {
  static std::deque<TPosted> queue;
  return queue;
}

// Qt timers, each standing for one (window, id) timer of the system's kind.
class TTimerHost : public QObject {
 public:
  using QObject::QObject;
  std::map<std::pair<std::uintptr_t, UINT_PTR>, int> QtTimers;

 protected:
  void timerEvent(QTimerEvent* event) override {
    for (const auto& [key, qtId] : QtTimers) {
      if (qtId != event->timerId()) continue;
      const HWND window = reinterpret_cast<HWND>(key.first);
      // Like the system, keep at most one WM_TIMER of a timer waiting.
      for (const TPosted& posted : Queue()) {
        if (posted.Window == window && posted.Message == WM_TIMER && posted.WParam == key.second) return;
      }
      Post(window, WM_TIMER, key.second, 0);
      return;
    }
  }
};

TTimerHost* TimerHost(bool create) {
  static QPointer<TTimerHost> host;
  if (!host && create && QCoreApplication::instance()) host = new TTimerHost(QCoreApplication::instance());
  return host;
}

}  // namespace

bool HasGui() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

HWND RegisterWindow(TWindow* owner, TWindowWidget* widget) {
  const std::uintptr_t id = nextWindowId++;
  Registry()[id] = TRegistration{owner, widget};
  return reinterpret_cast<HWND>(id);
}

void UnregisterWindow(HWND handle) {
  KillTimersOf(handle);
  Registry().erase(IdOf(handle));
}

TWindowWidget* WidgetOf(HWND handle) {
  const auto found = Registry().find(IdOf(handle));
  return found == Registry().end() ? nullptr : found->second.Widget;
}

TWindow* WindowOf(HWND handle) {
  const auto found = Registry().find(IdOf(handle));
  return found == Registry().end() ? nullptr : found->second.Owner;
}

std::vector<HWND> RegisteredWindows() {
  std::vector<HWND> handles;
  handles.reserve(Registry().size());
  for (const auto& entry : Registry()) handles.push_back(reinterpret_cast<HWND>(entry.first));
  return handles;
}

HWND DesktopHandle() { return reinterpret_cast<HWND>(DesktopId); }

double ScreenScale() {
  const QScreen* screen = HasGui() ? QGuiApplication::primaryScreen() : nullptr;
  return screen ? screen->devicePixelRatio() : 1.0;
}

QRect ScreenRect() {
  const QScreen* screen = HasGui() ? QGuiApplication::primaryScreen() : nullptr;
  if (!screen) return {};
  return DeviceRect(screen->geometry());
}

bool Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Queue().push_back(TPosted{window, message, wParam, lParam});
  return true;
}

bool QueueEmpty() { return Queue().empty(); }

TPumpResult PumpMessages() {
  TPumpResult result;
  if (QCoreApplication::instance()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Outside a running event loop Qt leaves deleteLater() to whoever pumps.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  // Messages posted by a handler are handled in this same pass, after the one that posted them.
  while (!Queue().empty()) {
    const TPosted posted = Queue().front();
    Queue().pop_front();
    ++result.Dispatched;
    if (posted.Message == WM_QUIT) {
      result.Quit = true;
      result.QuitCode = static_cast<int>(posted.WParam);
      break;
    }
    if (TWindow* window = WindowOf(posted.Window)) {
      TMessage message{posted.Message, posted.WParam, posted.LParam, 0};
      window->Dispatch(message);
    }
  }
  return result;
}

void WaitForMessage() {
  if (!QCoreApplication::instance()) return;
  while (Queue().empty()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

namespace {
using Clock = std::chrono::steady_clock;

// The moment the tick count reaches `tick`: GetTickCount counts this clock's whole milliseconds, so
// that is the start of a millisecond; a tick already reached gives a moment already past.
Clock::time_point TickStart(DWORD tick) {
  const auto now = Clock::now().time_since_epoch();
  const auto wholeMilliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(now);
  const auto ahead = static_cast<std::int32_t>(tick - static_cast<DWORD>(wholeMilliseconds.count()));
  return Clock::time_point(wholeMilliseconds + std::chrono::milliseconds(ahead));
}

// Sleeps until `moment`. A thread woken from sleep starts running 0.1 to 0.2 ms late, and a frame that
// starts that late more often ends in the next millisecond, which costs the fast speed (a frame once
// 2 ms have passed) a tenth of its frames. So a short wait, where one millisecond is half the pause,
// wakes `early` before the moment and watches the clock for the rest: the one busy part of a wait.
void SleepUntil(Clock::time_point moment, Clock::duration early = Clock::duration::zero()) {
  if (moment - Clock::now() > early) std::this_thread::sleep_until(moment - early);
  while (Clock::now() < moment) {
  }
}

// Only its timer events matter: they end the wait for events.
class TWakeTimer : public QObject {
 protected:
  void timerEvent(QTimerEvent* /*event*/) override {}
};
}  // namespace

void WaitForMessageUntil(DWORD tick) {
  // The kernel may wake a sleeper up to its timer slack (50 µs by default) late.
  static const bool preciseSleeps = ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
  (void)preciseSleeps;
  const Clock::time_point wake = TickStart(tick);
  // Qt's timers count whole milliseconds and may fire up to one late: they cover all but the last
  // two, a plain sleep covers those.
  constexpr auto sleepPart = std::chrono::milliseconds(2);
  const Clock::duration early =
      wake - Clock::now() <= sleepPart ? std::chrono::microseconds(250) : Clock::duration::zero();
  if (!QCoreApplication::instance()) {
    // Nothing can arrive without an application; sleep rather than let the caller spin.
    SleepUntil(wake, early);
    return;
  }
  TWakeTimer timer;
  while (Queue().empty()) {
    const auto left = wake - Clock::now();
    if (left <= Clock::duration::zero()) return;
    const auto timerPart = std::chrono::duration_cast<std::chrono::milliseconds>(left - sleepPart);
    const int timerId = timerPart.count() > 0 ? timer.startTimer(timerPart, Qt::PreciseTimer) : 0;
    if (timerId == 0) {
      SleepUntil(wake, early);
      return;
    }
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    timer.killTimer(timerId);
  }
}

namespace {
int modalDialogs = 0;
}  // namespace

int ExecModal(QDialog& dialog) {
  ++modalDialogs;
  const int result = dialog.exec();
  --modalDialogs;
  return result;
}

bool InModalDialog() { return modalDialogs > 0; }

void KillTimersOf(HWND window) {
  TTimerHost* host = TimerHost(false);
  if (!host) return;
  for (auto it = host->QtTimers.begin(); it != host->QtTimers.end();) {
    if (it->first.first == IdOf(window)) {
      host->killTimer(it->second);
      it = host->QtTimers.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace qt_backend

using namespace qt_backend;

// --- the application's pump ---------------------------------------------------------------------

int TApplication::PumpWaitingMessages() {
  const TPumpResult result = PumpMessages();
  if (result.Quit) ReceiveQuit(result.QuitCode);
  return result.Dispatched;
}

void TApplication::WaitForMessage() { qt_backend::WaitForMessage(); }

void TApplication::WaitForMessageUntil(DWORD tick) { qt_backend::WaitForMessageUntil(tick); }

// Linux timers need no setting up for fine waits.
void TApplication::EndTimedWaits() {}

// --- the stand-ins for the system's queue and timers -------------------------------------------

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!WindowOf(window)) return FALSE;
  return Post(window, message, wParam, lParam) ? TRUE : FALSE;
}

void PostQuitMessage(int exitCode) { Post(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0); }

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMilliseconds, void* timerProc) {
  if (timerProc) {
    FrameworkTrace("SetTimer: timer callbacks are not supported on Linux; use WM_TIMER");
    return 0;
  }
  if (!WindowOf(window)) {
    FrameworkTrace("SetTimer: a timer needs a window of this program");
    return 0;
  }
  TTimerHost* host = TimerHost(true);
  if (!host) return 0;
  const std::uintptr_t windowId = reinterpret_cast<std::uintptr_t>(window);
  // Id 0 gets a free id of its own, so that the id returned is the one WM_TIMER carries.
  if (id == 0) {
    id = 1;
    while (host->QtTimers.count({windowId, id})) ++id;
  }
  const auto key = std::make_pair(windowId, id);
  if (const auto found = host->QtTimers.find(key); found != host->QtTimers.end()) {
    host->killTimer(found->second);
    host->QtTimers.erase(found);
  }
  const int qtId = host->startTimer(static_cast<int>(std::min<UINT>(elapseMilliseconds, 0x7FFFFFFF)));
  if (qtId == 0) return 0;
  host->QtTimers[key] = qtId;
  return id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  TTimerHost* host = TimerHost(false);
  if (!host) return FALSE;
  const auto found = host->QtTimers.find({reinterpret_cast<std::uintptr_t>(window), id});
  if (found == host->QtTimers.end()) return FALSE;
  host->killTimer(found->second);
  host->QtTimers.erase(found);
  return TRUE;
}
