// tesmar-bench-frame: times one whole animation step of the real saver window (block copy, simulation
// step, painting, and the window's flush up to the display) at one screen size against one plain copy
// of a 1920x1080 frame, and on X against one copy plus one shared-memory put of the screen's frame,
// all measured in the same run; then runs frames unpaced. scripts/bench-frame.sh runs it per size.
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "allocation_counter.h"
#include "offscreen_screen.h"
#include "option_numbers.h"
#include "owlscrn25.h"
#include "program_entry.h"
#include "random.h"
#include "shm_put.h"

constexpr char ToolName[] = "tesmar-bench-frame";

namespace {

using Clock = std::chrono::steady_clock;

constexpr int WarmupFrames = 20;
constexpr unsigned Seed = 1;
// Every size is measured against the copy of one frame of this size, so that sizes compare.
constexpr std::size_t ReferenceBytes = std::size_t{1920} * 1080 * 4;

struct TOptions {
  bool X11 = false;
  TSize Size{1920, 1080};
  long Iterations = 150;
  long FpsSeconds = 2;
};

bool ParseArguments(int argc, char* argv[], TOptions& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    const char* value = argv[i + 1];
    int width = 0, height = 0;
    if (option == "--platform" && (!std::strcmp(value, "offscreen") || !std::strcmp(value, "xcb"))) {
      options.X11 = value[0] == 'x';
    } else if (option == "--size" && ParseSize(value, width, height)) {
      options.Size = TSize(width, height);
    } else if (!(option == "--iterations" && ParseLong(value, 5, 100000, options.Iterations)) &&
               !(option == "--fps-seconds" && ParseLong(value, 0, 600, options.FpsSeconds))) {
      return false;
    }
  }
  return argc % 2 == 1;
}

double Microseconds(Clock::duration span) { return std::chrono::duration<double, std::micro>(span).count(); }

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// Keeps the compiler from dropping a copy whose result nobody reads.
void Touch(const void* memory) { asm volatile("" : : "r"(memory) : "memory"); }

// The saver's application whose idle action animates at every turn of the real message loop,
// unpaced, until a deadline.
class TUnpacedApp : public TMyScrnSavApp {
 public:
  TUnpacedApp() : TMyScrnSavApp(AppName) {}

  long RunFor(TMyScrnSavWindow& window, double seconds, const std::function<void()>& settle) {
    ScrnSavWindow = &window;
    Frames = 0;
    Deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    MessageLoop();
    settle();
    ScrnSavWindow = nullptr;
    return Frames;
  }

  bool IdleAction(long /*idleCount*/) override {
    if (!ScrnSavWindow || !ScrnSavWindow->GetHandle() || Clock::now() >= Deadline) {
      if (!QuitPosted) PostQuitMessage(0);
      QuitPosted = true;
      return true;
    }
    ScrnSavWindow->AnimateScreen();
    ++Frames;
    return true;
  }

 private:
  long Frames = 0;
  bool QuitPosted = false;
  Clock::time_point Deadline;
};

// The top-level window that shows the saver: the largest visible one.
QWindow* SaverQWindow() {
  QWindow* best = nullptr;
  for (QWindow* window : QGuiApplication::topLevelWindows()) {
    if (window->isVisible() && (!best || window->width() * window->height() > best->width() * best->height())) {
      best = window;
    }
  }
  return best;
}

int Fail(const char* why) {
  std::fprintf(stderr, "%s: %s\n", ToolName, why);
  return 1;
}

int Measure(const TOptions& options, char* program) {
  const TSize size = options.Size;
  const QTemporaryDir work;
  if (!work.isValid()) return Fail("cannot make a scratch folder");
  // The saver's settings and final state go to a scratch folder, never the user's.
  setenv("XDG_CONFIG_HOME", work.filePath("config").toStdString().c_str(), 1);
  if (options.X11) {
    if (!std::getenv("DISPLAY")) return Fail("--platform xcb needs DISPLAY");
    setenv("QT_QPA_PLATFORM", "xcb", 1);
  } else if (!PrepareOffscreenScreen(work, size.cx, size.cy, "bench")) {
    return Fail("cannot prepare the off-screen screen");
  }

  int qtArgc = 1;
  qInstallMessageHandler(QuietWarnings<ToolName>);
  QApplication qt(qtArgc, &program);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen || TSize(screen->size().width(), screen->size().height()) != size) {
    return Fail("the screen is not of the size asked for");
  }
  Display* display = nullptr;
  if (options.X11) {
    auto* native = qt.nativeInterface<QNativeInterface::QX11Application>();
    display = native ? native->display() : nullptr;
    if (!display) return Fail("Qt's X connection is not available");
  }

  bool boxShown = false;
  SetMessageBoxHook([&boxShown](const char* text, const char* /*caption*/, UINT /*type*/) {
    std::fprintf(stderr, "%s: %s\n", ToolName, text ? text : "");
    boxShown = true;
    return IDCANCEL;
  });
  set_fixed_random_seed(Seed);

  TUnpacedApp application;
  auto* window = new TMyScrnSavWindow(nullptr, AppName, nullptr);
  application.SetMainWindow(window);
  if (!window->Create()) return Fail("cannot create the saver window");
  window->ShowWindow(SW_SHOW);

  // The window must be on the screen before a frame counts.
  const auto showLimit = Clock::now() + std::chrono::seconds(10);
  QWindow* shown = nullptr;
  while (Clock::now() < showLimit) {
    application.PumpWaitingMessages();
    shown = SaverQWindow();
    if (shown && shown->isExposed() && TSize(shown->width(), shown->height()) == size) break;
    shown = nullptr;
  }
  if (!shown) return Fail("the saver window did not come up full screen");

  // One frame as the message loop makes it: the step, then the pump that delivers what it flushed;
  // on X a round trip, so the server has put the picture, not just queued it.
  bool closed = false;
  const auto frame = [&] {
    window->AnimateScreen();
    application.PumpWaitingMessages();
    if (display) XSync(display, False);
    if (!window->GetHandle()) closed = true;
  };
  for (int i = 0; i < 4 + WarmupFrames && !closed; ++i) frame();

  std::vector<unsigned char> copySource(ReferenceBytes, 0), copyTarget(ReferenceBytes, 0), putSource;
  std::optional<TShmPut> put;
  if (options.X11) {
    putSource.assign(static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy) * 4, 0);
    put.emplace(shown->winId(), size);
    if (!put->IsReady()) return Fail("no shared-memory put on this display");
    for (int i = 0; i < 3; ++i) put->CopyAndPut(putSource.data());
  }
  for (int i = 0; i < 3; ++i) std::memcpy(copyTarget.data(), copySource.data(), ReferenceBytes);

  // In alternating blocks, so that all three see the same machine over the run, while frames follow
  // one another as in the saver: a copy between every two frames would leave each frame to start
  // on caches emptied by a picture's worth of bytes, which the saver's frames never do.
  std::vector<double> frames, copies, puts;
  std::size_t frameAllocations = 0;
  const long block = std::max(1L, options.Iterations / 10);
  for (long done = 0; done < options.Iterations && !closed; done += block) {
    const long count = std::min(block, options.Iterations - done);
    for (long i = 0; i < count; ++i) {
      const auto start = Clock::now();
      std::memcpy(copyTarget.data(), copySource.data(), ReferenceBytes);
      Touch(copyTarget.data());
      copies.push_back(Microseconds(Clock::now() - start));
    }
    const std::size_t allocationsBefore = allocation_counter::count;
    for (long i = 0; i < count && !closed; ++i) {
      const auto start = Clock::now();
      frame();
      frames.push_back(Microseconds(Clock::now() - start));
    }
    frameAllocations += allocation_counter::count - allocationsBefore;
    for (long i = 0; put && i < count; ++i) {
      const auto start = Clock::now();
      put->CopyAndPut(putSource.data());
      puts.push_back(Microseconds(Clock::now() - start));
    }
    if (put) {
      // The puts drew over the saver's window behind Qt's back; the window hears of it as of anything
      // else that covers it, and the next frame copies it whole.
      window->Invalidate(false);
      application.PumpWaitingMessages();
    }
  }
  put.reset();

  double fps = 0;
  if (!closed && options.FpsSeconds > 0) {
    const auto start = Clock::now();
    const long count = application.RunFor(*window, static_cast<double>(options.FpsSeconds), [&] {
      if (display) XSync(display, False);
    });
    fps = static_cast<double>(count) / std::chrono::duration<double>(Clock::now() - start).count();
    if (!window->GetHandle()) closed = true;
  }
  window->Destroy(0);
  application.SetMainWindow(nullptr);
  delete window;
  SetMessageBoxHook({});
  if (closed) return Fail("the saver window closed during the run (input on the display?)");
  if (boxShown) return Fail("the saver window reported an error during the run");

  const double frameUs = Median(frames), copyUs = Median(copies);
  std::string putText = "-", putRatio = "-", allocationText = "-";
  if (options.X11) {
    const double putUs = Median(puts);
    putText = std::to_string(static_cast<long>(putUs + 0.5));
    char ratio[16];
    std::snprintf(ratio, sizeof ratio, "%.2f", frameUs / putUs);
    putRatio = ratio;
  }
  if (allocation_counter::enabled && !frames.empty()) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(frameAllocations) / static_cast<double>(frames.size()));
    allocationText = text;
  }
  const std::string sizeText = std::to_string(size.cx) + "x" + std::to_string(size.cy);
  std::printf("%-9s %-9s  %9.0f %9.0f %6.2f  %9s %6s  %7s %8.1f\n", options.X11 ? "xcb" : "offscreen",
              sizeText.c_str(), frameUs, copyUs, frameUs / copyUs, putText.c_str(), putRatio.c_str(),
              allocationText.c_str(), fps);
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  TOptions options;
  if (!ParseArguments(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: %s [--platform offscreen|xcb] [--size WxH] [--iterations N] [--fps-seconds S]\n"
                 "  offscreen (default): Qt's off-screen screen of that size; xcb: the display in $DISPLAY,\n"
                 "  whose screen must have that size. Sizes from %d to %d a side, 5 to 100000 iterations,\n"
                 "  0 to 600 seconds.\n",
                 ToolName, MinSide, MaxSide);
    return 2;
  }
  return Measure(options, argv[0]);
}
