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
#include "headless_saver.h"
#include "offscreen_screen.h"
#include "option_numbers.h"
#include "option_table.h"
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
  const TOption table[] = {
      {"platform", true,
       [&](const std::string& value) {
         options.X11 = value == "xcb";
         return options.X11 || value == "offscreen";
       }},
      {"size", true,
       [&](const std::string& value) { return ParseSize(value.c_str(), options.Size.cx, options.Size.cy); }},
      {"iterations", true,
       [&](const std::string& value) { return ParseLong(value.c_str(), 5, 100000, options.Iterations); }},
      {"fps-seconds", true,
       [&](const std::string& value) { return ParseLong(value.c_str(), 0, 600, options.FpsSeconds); }},
  };
  // The usage says what each option takes.
  std::string error;
  return ReadOptions(table, TOptionTexts{}, argc, argv, error) == TOptionError::NoError;
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

// The display, made ready before Qt starts: Qt's off-screen screen of the size asked for, or the X
// display. The saver's settings and final state go to a scratch folder, never the user's. Empty, or
// why it cannot be.
std::string PrepareDisplay(const TOptions& options, const QTemporaryDir& work) {
  if (!work.isValid()) return "cannot make a scratch folder";
  setenv("XDG_CONFIG_HOME", work.filePath("config").toStdString().c_str(), 1);
  if (options.X11) {
    if (!std::getenv("DISPLAY")) return "--platform xcb needs DISPLAY";
    setenv("QT_QPA_PLATFORM", "xcb", 1);
  } else if (!PrepareOffscreenScreen(work, options.Size.cx, options.Size.cy, "bench")) {
    return "cannot prepare the off-screen screen";
  }
  return {};
}

// The window must be on the screen, at its full size, before a frame counts; null when it never is.
QWindow* ShowSaver(TUnpacedApp& application, TMyScrnSavWindow& window, TSize size) {
  window.ShowWindow(SW_SHOW);
  const auto showLimit = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < showLimit) {
    application.PumpWaitingMessages();
    QWindow* shown = SaverQWindow();
    if (shown && shown->isExposed() && TSize(shown->width(), shown->height()) == size) return shown;
  }
  return nullptr;
}

// The saver window's frames timed against the plain copy and, on X, the shared-memory put.
class TBench {
 public:
  TBench(const TOptions& options, TUnpacedApp& application, Display* display)
      : Options(options), Application(application), Connection(display) {}

  // Makes the saver window, measures and ends it. Empty, or why the run could not be measured.
  std::string Run() {
    const std::string problem = MeasureWindow();
    Saver.reset();
    if (problem.empty() && Closed) return "the saver window closed during the run (input on the display?)";
    return problem;
  }

  void PrintRow() const {
    const double frameUs = Median(Frames), copyUs = Median(Copies);
    std::string putText = "-", putRatio = "-", allocationText = "-";
    char number[16];
    if (Options.X11) {
      const double putUs = Median(Puts);
      putText = std::to_string(static_cast<long>(putUs + 0.5));
      std::snprintf(number, sizeof number, "%.2f", frameUs / putUs);
      putRatio = number;
    }
    if (allocation_counter::enabled && !Frames.empty()) {
      std::snprintf(number, sizeof number, "%.1f",
                    static_cast<double>(FrameAllocations) / static_cast<double>(Frames.size()));
      allocationText = number;
    }
    const std::string sizeText = std::to_string(Options.Size.cx) + "x" + std::to_string(Options.Size.cy);
    std::printf("%-9s %-9s  %9.0f %9.0f %6.2f  %9s %6s  %7s %8.1f\n", Options.X11 ? "xcb" : "offscreen",
                sizeText.c_str(), frameUs, copyUs, frameUs / copyUs, putText.c_str(), putRatio.c_str(),
                allocationText.c_str(), Fps);
  }

 private:
  std::string MeasureWindow() {
    Saver.emplace(Application, std::nullopt);
    if (!Saver->GetError().empty()) return Saver->GetError();
    QWindow* shown = ShowSaver(Application, Saver->GetWindow(), Options.Size);
    if (!shown) return "the saver window did not come up full screen";
    if (std::string problem = MeasureBlocks(*shown); !problem.empty()) return problem;
    MeasureUnpaced();
    return {};
  }

  // One frame as the message loop makes it: the step, then the pump that delivers what it flushed;
  // on X a round trip, so the server has put the picture, not just queued it.
  void Frame() {
    Saver->Step();
    Application.PumpWaitingMessages();
    if (Connection) XSync(Connection, False);
    if (!Saver->GetWindow().GetHandle()) Closed = true;
  }

  std::string MeasureBlocks(QWindow& shown) {
    for (int i = 0; i < 4 + WarmupFrames && !Closed; ++i) Frame();
    std::vector<unsigned char> copySource(ReferenceBytes, 0), copyTarget(ReferenceBytes, 0), putSource;
    std::optional<TShmPut> put;
    if (Options.X11) {
      putSource.assign(static_cast<std::size_t>(Options.Size.cx) * static_cast<std::size_t>(Options.Size.cy) * 4, 0);
      put.emplace(shown.winId(), Options.Size);
      if (!put->IsReady()) return "no shared-memory put on this display";
      for (int i = 0; i < 3; ++i) put->CopyAndPut(putSource.data());
    }
    for (int i = 0; i < 3; ++i) std::memcpy(copyTarget.data(), copySource.data(), ReferenceBytes);

    // In alternating blocks, so that all three see the same machine over the run, while frames follow
    // one another as in the saver: a copy between every two frames would leave each frame to start
    // on caches emptied by a picture's worth of bytes, which the saver's frames never do.
    const long block = std::max(1L, Options.Iterations / 10);
    for (long done = 0; done < Options.Iterations && !Closed; done += block) {
      const long count = std::min(block, Options.Iterations - done);
      Time(count, Copies, [&] {
        std::memcpy(copyTarget.data(), copySource.data(), ReferenceBytes);
        Touch(copyTarget.data());
      });
      const std::size_t allocationsBefore = allocation_counter::count;
      Time(count, Frames, [&] { Frame(); });
      FrameAllocations += allocation_counter::count - allocationsBefore;
      if (!put) continue;
      Time(count, Puts, [&] { put->CopyAndPut(putSource.data()); });
      // The puts drew over the saver's window behind Qt's back; the window hears of it as of anything
      // else that covers it, and the next frame copies it whole.
      Saver->GetWindow().Invalidate(false);
      Application.PumpWaitingMessages();
    }
    return {};
  }

  void MeasureUnpaced() {
    if (Closed || Options.FpsSeconds <= 0) return;
    const auto start = Clock::now();
    const long count = Application.RunFor(Saver->GetWindow(), static_cast<double>(Options.FpsSeconds), [&] {
      if (Connection) XSync(Connection, False);
    });
    Fps = static_cast<double>(count) / std::chrono::duration<double>(Clock::now() - start).count();
    if (!Saver->GetWindow().GetHandle()) Closed = true;
  }

  // Runs `work` `count` times while the window stands, adding each run's microseconds to `times`.
  template <class Work>
  void Time(long count, std::vector<double>& times, Work&& work) {
    for (long i = 0; i < count && !Closed; ++i) {
      const auto start = Clock::now();
      work();
      times.push_back(Microseconds(Clock::now() - start));
    }
  }

  const TOptions& Options;
  TUnpacedApp& Application;
  Display* Connection;
  std::optional<THeadlessSaver> Saver;
  bool Closed = false;
  std::vector<double> Frames, Copies, Puts;
  std::size_t FrameAllocations = 0;
  double Fps = 0;
};

int Measure(const TOptions& options, char* program) {
  const QTemporaryDir work;
  if (const std::string problem = PrepareDisplay(options, work); !problem.empty()) return Fail(problem.c_str());

  int qtArgc = 1;
  qInstallMessageHandler(QuietWarnings<ToolName>);
  QApplication qt(qtArgc, &program);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen || TSize(screen->size().width(), screen->size().height()) != options.Size) {
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
  TBench bench(options, application, display);
  const std::string problem = bench.Run();
  SetMessageBoxHook({});
  if (!problem.empty()) return Fail(problem.c_str());
  if (boxShown) return Fail("the saver window reported an error during the run");
  bench.PrintRow();
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
