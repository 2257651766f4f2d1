// tesmar-idle: starts the saver once the user has left keyboard and pointer alone for a while, for
// desktops that have no idle daemon of their own. It hears of idle time from the compositor's idle
// protocol on Wayland (ext-idle-notify-v1, or KDE's org_kde_kwin_idle) and from the X server's
// screen-saver extension on X11.
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

namespace {

constexpr long DefaultTimeout = 300;
constexpr const char* Usage =
    "usage: tesmar-idle [--timeout SECONDS] [COMMAND [ARGUMENT...]]\n"
    "Runs COMMAND (by default: tesmar /s) each time the user has been idle for SECONDS (default 300).\n";

std::vector<std::string> command;
pid_t saver = 0;
int signals = -1;

void Say(const char* text) { std::fprintf(stderr, "tesmar-idle: %s\n", text); }

// The tesmar beside this program, else the one on PATH.
std::string SaverProgram() {
  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length > 0) {
    std::string path(self, static_cast<std::size_t>(length));
    path = path.substr(0, path.rfind('/') + 1) + "tesmar";
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return "tesmar";
}

void StartSaver() {
  if (saver) return;
  const pid_t child = fork();
  if (child < 0) {
    Say(std::strerror(errno));
    return;
  }
  if (child == 0) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    std::vector<char*> arguments;
    for (std::string& word : command) arguments.push_back(word.data());
    arguments.push_back(nullptr);
    execvp(arguments[0], arguments.data());
    std::fprintf(stderr, "tesmar-idle: cannot run %s: %s\n", arguments[0], std::strerror(errno));
    _exit(127);
  }
  saver = child;
}

// Reaps the saver; on an ending signal, ends a running saver the way a host does (SIGTERM, so that it
// saves its state), waits for it and ends by the same signal.
void HandleSignals() {
  signalfd_siginfo info{};
  while (read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    const int number = static_cast<int>(info.ssi_signo);
    if (number == SIGCHLD) {
      if (saver && waitpid(saver, nullptr, WNOHANG) == saver) saver = 0;
      continue;
    }
    if (saver) {
      kill(saver, SIGTERM);
      waitpid(saver, nullptr, 0);
    }
    signal(number, SIG_DFL);
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, number);
    sigprocmask(SIG_UNBLOCK, &ending, nullptr);
    raise(number);
    _exit(128 + number);
  }
}

// --- Wayland ----------------------------------------------------------------------------------

struct TWaylandGlobals {
  wl_seat* Seat = nullptr;
  ext_idle_notifier_v1* Notifier = nullptr;
  org_kde_kwin_idle* KdeIdle = nullptr;
};

void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
  auto& globals = *static_cast<TWaylandGlobals*>(data);
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && !globals.Seat) {
    globals.Seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
    globals.Notifier =
        static_cast<ext_idle_notifier_v1*>(wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
  } else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
    globals.KdeIdle = static_cast<org_kde_kwin_idle*>(wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
  }
}
void GlobalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener{Global, GlobalRemove};

// Both protocols tell idle and resumed; the compositor tells idle again only after a resume.
void Idled(void*, ext_idle_notification_v1*) { StartSaver(); }
void Resumed(void*, ext_idle_notification_v1*) {}
const ext_idle_notification_v1_listener notificationListener{Idled, Resumed};
void KdeIdled(void*, org_kde_kwin_idle_timeout*) { StartSaver(); }
void KdeResumed(void*, org_kde_kwin_idle_timeout*) {}
const org_kde_kwin_idle_timeout_listener kdeListener{KdeIdled, KdeResumed};

int RunOnWayland(long timeout) {
  wl_display* display = wl_display_connect(nullptr);
  if (!display) {
    Say("cannot connect to the Wayland display");
    return 1;
  }
  TWaylandGlobals globals;
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registryListener, &globals);
  wl_display_roundtrip(display);
  const auto milliseconds = static_cast<uint32_t>(timeout * 1000);
  if (globals.Seat && globals.Notifier) {
    ext_idle_notification_v1* notification =
        ext_idle_notifier_v1_get_idle_notification(globals.Notifier, milliseconds, globals.Seat);
    ext_idle_notification_v1_add_listener(notification, &notificationListener, nullptr);
  } else if (globals.Seat && globals.KdeIdle) {
    org_kde_kwin_idle_timeout* idle = org_kde_kwin_idle_get_idle_timeout(globals.KdeIdle, globals.Seat, milliseconds);
    org_kde_kwin_idle_timeout_add_listener(idle, &kdeListener, nullptr);
  } else {
    Say("this compositor offers no idle protocol (ext-idle-notify-v1 or org_kde_kwin_idle); see the README "
        "for what starts the saver on this desktop");
    return 1;
  }
  pollfd waiting[2] = {{wl_display_get_fd(display), POLLIN, 0}, {signals, POLLIN, 0}};
  for (;;) {
    while (wl_display_prepare_read(display) != 0) wl_display_dispatch_pending(display);
    wl_display_flush(display);
    if (poll(waiting, 2, -1) < 0 && errno != EINTR) break;
    if (waiting[0].revents & POLLIN) {
      wl_display_read_events(display);
    } else {
      wl_display_cancel_read(display);
    }
    if (wl_display_dispatch_pending(display) < 0 || (waiting[0].revents & (POLLERR | POLLHUP))) break;
    if (waiting[1].revents & POLLIN) HandleSignals();
  }
  Say("the Wayland display went away");
  return 1;
}

// --- X11 --------------------------------------------------------------------------------------

int RunOnX11(long timeout) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    Say("cannot open the X display");
    return 1;
  }
  int eventBase = 0, errorBase = 0;
  XScreenSaverInfo* info = XScreenSaverAllocInfo();
  if (!XScreenSaverQueryExtension(display, &eventBase, &errorBase) || !info) {
    Say("this X server has no screen-saver extension (MIT-SCREEN-SAVER)");
    return 1;
  }
  const unsigned long limit = static_cast<unsigned long>(timeout) * 1000;
  // The server counts the time since the last input; one start per idle spell, so that a saver that
  // ends by itself is not started again until the user has come back.
  bool started = false;
  pollfd waiting[2] = {{ConnectionNumber(display), POLLIN, 0}, {signals, POLLIN, 0}};
  for (;;) {
    if (!XScreenSaverQueryInfo(display, DefaultRootWindow(display), info)) break;
    if (info->idle < limit) {
      started = false;
    } else if (!started && !saver) {
      StartSaver();
      started = true;
    }
    // Until the time is up, or once a second while idle, to see the user come back.
    const unsigned long wait = info->idle < limit ? limit - info->idle : 1000;
    if (poll(waiting, 2, static_cast<int>(wait)) < 0 && errno != EINTR) break;
    if (waiting[0].revents & (POLLERR | POLLHUP)) break;
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
    }
    if (waiting[1].revents & POLLIN) HandleSignals();
  }
  Say("the X display went away");
  return 1;
}

bool Named(const char* variable) {
  const char* value = std::getenv(variable);
  return value && *value;
}

}  // namespace

int main(int argc, char** argv) {
  long timeout = DefaultTimeout;
  int first = 1;
  for (; first < argc; ++first) {
    const std::string argument = argv[first];
    if (argument == "--help" || argument == "-h") {
      std::fputs(Usage, stdout);
      return 0;
    }
    if (argument == "--") {
      ++first;
      break;
    }
    if (argument != "--timeout" && argument != "-timeout") break;
    char* end = nullptr;
    errno = 0;
    timeout = first + 1 < argc ? std::strtol(argv[first + 1], &end, 10) : 0;
    // The protocols take milliseconds in 32 bits.
    if (first + 1 >= argc || end == argv[first + 1] || *end || errno || timeout < 1 || timeout > 4000000) {
      Say("--timeout takes a whole number of seconds from 1 to 4000000");
      return 2;
    }
    ++first;
  }
  if (first < argc && argv[first][0] == '-') {
    std::fprintf(stderr, "tesmar-idle: unknown option '%s'\n%s", argv[first], Usage);
    return 2;
  }
  for (int i = first; i < argc; ++i) command.emplace_back(argv[i]);
  if (command.empty()) command = {SaverProgram(), "/s"};

  sigset_t handled;
  sigemptyset(&handled);
  for (int number : {SIGCHLD, SIGTERM, SIGINT, SIGHUP}) sigaddset(&handled, number);
  sigprocmask(SIG_BLOCK, &handled, nullptr);
  signals = signalfd(-1, &handled, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signals < 0) {
    Say(std::strerror(errno));
    return 1;
  }
  if (Named("WAYLAND_DISPLAY")) return RunOnWayland(timeout);
  if (Named("DISPLAY")) return RunOnX11(timeout);
  Say("no display: set WAYLAND_DISPLAY or DISPLAY");
  return 1;
}
