// tesmar-bench-frame: times one whole animation step of the real saver window (block copy, simulation
// step, painting, and the window's flush up to the display) against one plain copy of a 1920x1080
// frame, and on X against one copy plus one shared-memory put of the screen's frame, all measured in
// the same run; then runs frames unpaced.
#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "owlscrn25.h"
#include "allocation_counter.h"
#include "offscreen_screen.h"
#include "option_numbers.h"
#include "random.h"

// Every allocation through operator new is counted, so a frame's allocations can be shown.
constexpr bool CountsAllocations = allocation_counter::enabled;

constexpr char ToolName[] = "tesmar-bench-frame";

namespace {

using Clock = std::chrono::steady_clock;

constexpr int WarmupFrames = 20;
constexpr unsigned Seed = 1;
// Every size is measured against the copy of one frame of this size, so that sizes compare.
constexpr int ReferenceWidth = 1920;
constexpr int ReferenceHeight = 1080;

struct TSize2 {
  int Width = 0;
  int Height = 0;
};

struct TOptions {
  std::string Platform = "offscreen";
  std::vector<TSize2> Sizes;
  int Iterations = 150;
  double FpsSeconds = 2.0;
  bool Header = true;
  int ReportFd = -1;  // where a run of one size reports its figures to the run of all sizes
};

void Usage(std::FILE* stream) {
  std::fputs(
      "usage: tesmar-bench-frame [--platform offscreen|xcb] [--size WxH[,WxH...]] [--iterations N]\n"
      "                          [--fps-seconds S] [--no-header]\n"
      "  --platform     offscreen (default): Qt's off-screen screen, one process per size;\n"
      "                 xcb: the X display in $DISPLAY, whose screen size is the frame size\n"
      "  --size         frame sizes (default 1024x768,1920x1080,3840x2160 off screen); on xcb it must\n"
      "                 match the display\n"
      "  --iterations N timed frames per size, medians shown (default 150)\n"
      "  --fps-seconds  how long frames run unpaced through the message loop (default 2)\n",
      stream);
}


bool ParseSizes(const std::string& text, std::vector<TSize2>& sizes) {
  sizes.clear();
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string item = text.substr(start, comma - start);
    int width = 0;
    int height = 0;
    if (!ParseSize(item.c_str(), width, height)) return false;
    sizes.push_back({width, height});
    start = comma + 1;
  }
  return !sizes.empty();
}

// Returns 0 to go on, else the exit code (-1: help shown).
int ParseArguments(int argc, char* argv[], TOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      Usage(stdout);
      return -1;
    }
    if (option == "--no-header") {
      options.Header = false;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "tesmar-bench-frame: %s needs a value\n", option.c_str());
      return 2;
    }
    const std::string value = argv[++i];
    long number = 0;
    if (option == "--report-fd") {
      if (!ParseLong(value.c_str(), 3, 1000000, number)) return 2;
      options.ReportFd = static_cast<int>(number);
    } else if (option == "--platform") {
      if (value != "offscreen" && value != "xcb") {
        std::fprintf(stderr, "tesmar-bench-frame: --platform takes offscreen or xcb, not \"%s\"\n", value.c_str());
        return 2;
      }
      options.Platform = value;
    } else if (option == "--size") {
      if (!ParseSizes(value, options.Sizes)) {
        std::fprintf(stderr, "tesmar-bench-frame: --size takes WxH[,WxH...], each side from %d to %d, not \"%s\"\n",
                     MinSide, MaxSide, value.c_str());
        return 2;
      }
    } else if (option == "--iterations") {
      if (!ParseLong(value.c_str(), 5, 100000, number)) {
        std::fprintf(stderr, "tesmar-bench-frame: --iterations takes a number from 5 to 100000\n");
        return 2;
      }
      options.Iterations = static_cast<int>(number);
    } else if (option == "--fps-seconds") {
      if (!ParseLong(value.c_str(), 0, 600, number)) {
        std::fprintf(stderr, "tesmar-bench-frame: --fps-seconds takes a number from 0 to 600\n");
        return 2;
      }
      options.FpsSeconds = static_cast<double>(number);
    } else {
      std::fprintf(stderr, "tesmar-bench-frame: unknown option %s\n", option.c_str());
      Usage(stderr);
      return 2;
    }
  }
  if (options.Sizes.empty() && options.Platform == "offscreen") {
    options.Sizes = {{1024, 768}, {1920, 1080}, {3840, 2160}};
  }
  if (options.Platform == "xcb" && options.Sizes.size() > 1) {
    std::fprintf(stderr, "tesmar-bench-frame: on xcb the frame size is the display's: give one --size at most\n");
    return 2;
  }
  return 0;
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

void PrintHeader() {
  std::printf("%-9s %-9s  %9s %9s %6s  %9s %6s  %7s %8s\n", "platform", "size", "frame us", "copy1080", "f/copy",
              "copy+put", "f/c+p", "allocs", "fps");
}

// --- one size in this process -------------------------------------------------------------------

// The saver's application whose idle action animates at every turn of the real message loop,
// unpaced, until a deadline.
class TUnpacedApp : public TMyScrnSavApp {
 public:
  TUnpacedApp() : TMyScrnSavApp(AppName) {}

  long Run(TMyScrnSavWindow& window, double seconds, const std::function<void()>& settle) {
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

// A shared-memory image of the frame's size on a connection of its own, put to a window.
class TShmPut {
 public:
  TShmPut(unsigned long window, TSize2 size) : Size(size) {
    Connection = XOpenDisplay(nullptr);
    if (!Connection || !XShmQueryExtension(Connection)) return;
    const int screen = DefaultScreen(Connection);
    Image = XShmCreateImage(Connection, DefaultVisual(Connection, screen),
                            static_cast<unsigned>(DefaultDepth(Connection, screen)), ZPixmap, nullptr, &Segment,
                            static_cast<unsigned>(size.Width), static_cast<unsigned>(size.Height));
    if (!Image || Image->bits_per_pixel != 32) return;
    Segment.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(Image->bytes_per_line) * static_cast<std::size_t>(size.Height),
                           IPC_CREAT | 0600);
    if (Segment.shmid < 0) return;
    void* address = shmat(Segment.shmid, nullptr, 0);
    // Marked for removal now, so that nothing is left behind however the run ends.
    shmctl(Segment.shmid, IPC_RMID, nullptr);
    if (address == reinterpret_cast<void*>(-1)) return;
    Segment.shmaddr = Image->data = static_cast<char*>(address);
    Segment.readOnly = False;
    if (!XShmAttach(Connection, &Segment)) return;
    Attached = true;
    XSync(Connection, False);
    Target = window;
    Context = XCreateGC(Connection, Target, 0, nullptr);
    Ready = true;
  }

  ~TShmPut() {
    if (Connection) {
      if (Context) XFreeGC(Connection, Context);
      if (Attached) XShmDetach(Connection, &Segment);
      XSync(Connection, False);
    }
    if (Segment.shmaddr) shmdt(Segment.shmaddr);
    if (Image) {
      Image->data = nullptr;
      XDestroyImage(Image);
    }
    if (Connection) XCloseDisplay(Connection);
  }

  TShmPut(const TShmPut&) = delete;
  TShmPut& operator=(const TShmPut&) = delete;

  bool IsReady() const { return Ready; }

  // One copy of a frame into the image, one put, and a round trip so the server has done it.
  void CopyAndPut(const unsigned char* frame) {
    const std::size_t rowBytes = static_cast<std::size_t>(Size.Width) * 4;
    if (static_cast<std::size_t>(Image->bytes_per_line) == rowBytes) {
      std::memcpy(Image->data, frame, rowBytes * static_cast<std::size_t>(Size.Height));
    } else {
      for (int y = 0; y < Size.Height; ++y) {
        std::memcpy(Image->data + static_cast<std::ptrdiff_t>(y) * Image->bytes_per_line,
                    frame + static_cast<std::size_t>(y) * rowBytes, rowBytes);
      }
    }
    XShmPutImage(Connection, Target, Context, Image, 0, 0, 0, 0, static_cast<unsigned>(Size.Width),
                 static_cast<unsigned>(Size.Height), False);
    XSync(Connection, False);
  }

 private:
  TSize2 Size;
  Display* Connection = nullptr;
  XImage* Image = nullptr;
  XShmSegmentInfo Segment{};
  bool Attached = false;
  bool Ready = false;
  unsigned long Target = 0;
  GC Context = nullptr;
};

// The top-level window that shows the saver: the largest visible one.
QWindow* SaverQWindow() {
  QWindow* best = nullptr;
  for (QWindow* window : QGuiApplication::topLevelWindows()) {
    if (!window->isVisible()) continue;
    if (!best || window->width() * window->height() > best->width() * best->height()) best = window;
  }
  return best;
}

// True when what the display shows of the window is the bitmap as it was before the last frame:
// the step's block copy reached the screen whole.
bool ShownIs(QWindow& window, const std::vector<std::uint32_t>& bitmap, int bitmapWidth, int bitmapHeight) {
  QScreen* screen = window.screen();
  if (!screen) return false;
  const QImage shown = screen->grabWindow(window.winId(), 0, 0, bitmapWidth, bitmapHeight)
                           .toImage()
                           .convertToFormat(QImage::Format_RGB32);
  if (shown.width() < bitmapWidth || shown.height() < bitmapHeight) return false;
  for (int y = 0; y < bitmapHeight; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(shown.constScanLine(y));
    const std::uint32_t* expected = bitmap.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmapWidth);
    for (int x = 0; x < bitmapWidth; ++x) {
      if ((row[x] & 0xFFFFFFu) != expected[x]) return false;
    }
  }
  return true;
}

int MeasureHere(const TOptions& options, int argc, char* argv[]) {
  const bool x11 = options.Platform == "xcb";
  const QTemporaryDir work;
  if (!work.isValid()) {
    std::fprintf(stderr, "tesmar-bench-frame: cannot make a scratch folder\n");
    return 1;
  }
  // The saver's settings and final state go to a scratch folder, never the user's.
  const std::string config = work.filePath("config").toStdString();
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  if (x11) {
    if (!std::getenv("DISPLAY")) {
      std::fprintf(stderr, "tesmar-bench-frame: --platform xcb needs DISPLAY\n");
      return 1;
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);
  } else if (!PrepareOffscreenScreen(work, options.Sizes.front().Width, options.Sizes.front().Height, "bench")) {
    std::fprintf(stderr, "tesmar-bench-frame: cannot prepare the off-screen screen\n");
    return 1;
  }

  int qtArgc = std::min(argc, 1);
  qInstallMessageHandler(QuietWarnings<ToolName>);
  QApplication qt(qtArgc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) {
    std::fprintf(stderr, "tesmar-bench-frame: no screen\n");
    return 1;
  }
  const TSize2 size{screen->size().width(), screen->size().height()};
  if (!options.Sizes.empty() &&
      (options.Sizes.front().Width != size.Width || options.Sizes.front().Height != size.Height)) {
    std::fprintf(stderr, "tesmar-bench-frame: the screen is %dx%d, not the %dx%d asked for\n", size.Width, size.Height,
                 options.Sizes.front().Width, options.Sizes.front().Height);
    return 1;
  }
  Display* display = nullptr;
  if (x11) {
    auto* native = qt.nativeInterface<QNativeInterface::QX11Application>();
    display = native ? native->display() : nullptr;
    if (!display) {
      std::fprintf(stderr, "tesmar-bench-frame: Qt's X connection is not available\n");
      return 1;
    }
  }

  bool boxShown = false;
  SetMessageBoxHook([&boxShown](const char* text, const char* /*caption*/, UINT /*type*/) {
    std::fprintf(stderr, "tesmar-bench-frame: %s\n", text ? text : "");
    boxShown = true;
    return IDCANCEL;
  });
  set_fixed_random_seed(Seed);

  TUnpacedApp application;
  auto* window = new TMyScrnSavWindow(nullptr, AppName, nullptr);
  application.SetMainWindow(window);
  if (!window->Create()) {
    std::fprintf(stderr, "tesmar-bench-frame: cannot create the saver window\n");
    return 1;
  }
  window->ShowWindow(SW_SHOW);

  // The window must be on the screen before a frame counts.
  const auto showLimit = Clock::now() + std::chrono::seconds(10);
  QWindow* shown = nullptr;
  while (Clock::now() < showLimit) {
    application.PumpWaitingMessages();
    shown = SaverQWindow();
    if (shown && shown->isExposed() && shown->width() == size.Width && shown->height() == size.Height) break;
    shown = nullptr;
  }
  if (!shown) {
    std::fprintf(stderr, "tesmar-bench-frame: the saver window did not come up full screen\n");
    return 1;
  }

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

  const std::size_t frameBytes = static_cast<std::size_t>(ReferenceWidth) * ReferenceHeight * 4;
  std::vector<unsigned char> copySource(frameBytes, 0);
  std::vector<unsigned char> copyTarget(frameBytes, 0);
  std::vector<unsigned char> putSource;
  std::optional<TShmPut> put;
  if (x11) {
    putSource.assign(static_cast<std::size_t>(size.Width) * static_cast<std::size_t>(size.Height) * 4, 0);
    put.emplace(shown->winId(), size);
    if (!put->IsReady()) {
      std::fprintf(stderr, "tesmar-bench-frame: no shared-memory put on this display\n");
      return 1;
    }
    for (int i = 0; i < 3; ++i) put->CopyAndPut(putSource.data());
  }
  for (int i = 0; i < 3; ++i) std::memcpy(copyTarget.data(), copySource.data(), frameBytes);

  // In alternating blocks, so that all three see the same machine over the run, while frames follow
  // one another as in the saver: a copy between every two frames would leave each frame to start
  // on caches emptied by a picture's worth of bytes, which the saver's frames never do.
  std::vector<double> frames, copies, puts;
  std::size_t frameAllocations = 0;
  const int block = std::max(1, options.Iterations / 10);
  for (int done = 0; done < options.Iterations && !closed;) {
    const int count = std::min(block, options.Iterations - done);
    for (int i = 0; i < count; ++i) {
      const auto start = Clock::now();
      std::memcpy(copyTarget.data(), copySource.data(), frameBytes);
      Touch(copyTarget.data());
      copies.push_back(Microseconds(Clock::now() - start));
    }
    const std::size_t allocationsBefore = allocation_counter::count;
    for (int i = 0; i < count && !closed; ++i) {
      const auto start = Clock::now();
      frame();
      frames.push_back(Microseconds(Clock::now() - start));
    }
    frameAllocations += allocation_counter::count - allocationsBefore;
    for (int i = 0; put && i < count; ++i) {
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
    done += count;
  }
  const double allocations = frames.empty() || !CountsAllocations
                                 ? -1
                                 : static_cast<double>(frameAllocations) / static_cast<double>(frames.size());
  put.reset();

  // What the display shows after one more frame must be the bitmap as it was before that frame.
  bool pictureChecked = false;
  if (!closed) {
    const TDib before(*window->GetBitmap());
    frame();
    pictureChecked = ShownIs(*shown, before.Pixels(), before.Width(), before.Height());
  }

  double fps = 0;
  if (!closed && options.FpsSeconds > 0) {
    const auto start = Clock::now();
    const long count = application.Run(*window, options.FpsSeconds, [&] {
      if (display) XSync(display, False);
    });
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    fps = seconds > 0 ? static_cast<double>(count) / seconds : 0;
    if (!window->GetHandle()) closed = true;
  }

  window->Destroy(0);
  application.SetMainWindow(nullptr);
  delete window;
  SetMessageBoxHook({});

  if (closed || boxShown) {
    std::fprintf(stderr, "tesmar-bench-frame: the saver window %s during the run\n",
                 closed ? "closed (input on the display?)" : "reported an error");
    return 1;
  }
  const double frameUs = Median(frames);
  const double copyUs = Median(copies);
  const std::string sizeText = std::to_string(size.Width) + "x" + std::to_string(size.Height);
  char putText[16] = "-";
  char putRatio[16] = "-";
  if (x11) {
    const double putUs = Median(puts);
    std::snprintf(putText, sizeof putText, "%.0f", putUs);
    std::snprintf(putRatio, sizeof putRatio, "%.2f", frameUs / putUs);
  }
  char allocationText[16] = "-";
  if (allocations >= 0) std::snprintf(allocationText, sizeof allocationText, "%.1f", allocations);
  if (options.Header) PrintHeader();
  std::printf("%-9s %-9s  %9.0f %9.0f %6.2f  %9s %6s  %7s %8.1f\n", x11 ? "xcb" : "offscreen", sizeText.c_str(), frameUs,
              copyUs, frameUs / copyUs, putText, putRatio, allocationText, fps);
  std::fflush(stdout);
  if (options.ReportFd >= 0) {
    const std::string report = std::to_string(size.Width) + " " + std::to_string(size.Height) + " " +
                               std::to_string(frameUs) + " " + std::to_string(copyUs) + "\n";
    if (write(options.ReportFd, report.data(), report.size()) < 0) std::perror("tesmar-bench-frame: report");
  }
  if (!pictureChecked) {
    std::fprintf(stderr, "tesmar-bench-frame: the display does not show the frame the saver drew\n");
    return 1;
  }
  return 0;
}

struct TReport {
  int Width = 0;
  int Height = 0;
  double FrameUs = 0;
  double CopyUs = 0;
};

// The two figures the frame is held to: a 1920x1080 frame against one copy of it, and a 3840x2160
// frame against a 1920x1080 one.
void PrintGoals(const std::vector<TReport>& reports) {
  const auto find = [&](int width, int height) -> const TReport* {
    for (const TReport& report : reports) {
      if (report.Width == width && report.Height == height && report.FrameUs > 0) return &report;
    }
    return nullptr;
  };
  const TReport* full = find(ReferenceWidth, ReferenceHeight);
  const TReport* large = find(2 * ReferenceWidth, 2 * ReferenceHeight);
  if (full && full->CopyUs > 0) {
    std::printf("1920x1080 frame / one 1920x1080 copy: %.2f (goal 0.5 at most)\n", full->FrameUs / full->CopyUs);
  }
  if (full && large) {
    std::printf("3840x2160 frame / 1920x1080 frame:    %.2f (goal 1.5 at most)\n", large->FrameUs / full->FrameUs);
  }
}

// Qt reads the off-screen screen's size once, at start: every size gets a process of its own.
int MeasureEachSize(const TOptions& options, char* program) {
  if (options.Header) PrintHeader();
  std::fflush(stdout);
  const std::string iterations = std::to_string(options.Iterations);
  const std::string seconds = std::to_string(static_cast<long>(options.FpsSeconds));
  int status = 0;
  std::vector<TReport> reports;
  for (const TSize2& size : options.Sizes) {
    const std::string sizeText = std::to_string(size.Width) + "x" + std::to_string(size.Height);
    int channel[2];
    if (pipe(channel) != 0) {
      std::perror("tesmar-bench-frame: pipe");
      return 1;
    }
    const std::string reportFd = std::to_string(channel[1]);
    const pid_t child = fork();
    if (child < 0) {
      std::perror("tesmar-bench-frame: fork");
      return 1;
    }
    if (child == 0) {
      close(channel[0]);
      const char* arguments[] = {program,         "--platform",    options.Platform.c_str(), "--size",
                                 sizeText.c_str(), "--iterations", iterations.c_str(),     "--fps-seconds",
                                 seconds.c_str(),  "--report-fd",  reportFd.c_str(),       "--no-header",
                                 nullptr};
      execv("/proc/self/exe", const_cast<char* const*>(arguments));
      std::perror("tesmar-bench-frame: exec");
      _exit(127);
    }
    close(channel[1]);
    std::string received;
    char buffer[256];
    for (;;) {
      const ssize_t got = read(channel[0], buffer, sizeof buffer);
      if (got > 0) {
        received.append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        break;
      }
    }
    close(channel[0]);
    int childStatus = 0;
    while (waitpid(child, &childStatus, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(childStatus) || WEXITSTATUS(childStatus) != 0) {
      std::fprintf(stderr, "tesmar-bench-frame: the run at %s failed\n", sizeText.c_str());
      status = 1;
      continue;
    }
    TReport report;
    if (std::sscanf(received.c_str(), "%d %d %lf %lf", &report.Width, &report.Height, &report.FrameUs,
                    &report.CopyUs) == 4) {
      reports.push_back(report);
    }
  }
  PrintGoals(reports);
  return status;
}

}  // namespace

int main(int argc, char* argv[]) {
  TOptions options;
  if (const int code = ParseArguments(argc, argv, options)) return code < 0 ? 0 : code;
  if (options.Platform == "offscreen" && options.Sizes.size() > 1) return MeasureEachSize(options, argv[0]);
  return MeasureHere(options, argc, argv);
}
