// tesmar-render over Qt: the off-screen platform with one screen of the chosen size, Qt's PNG writer and
// the resident set from /proc.
#include <QApplication>
#include <QImage>
#include <QTemporaryDir>

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "offscreen_screen.h"
#include "render_system.h"

namespace {
constexpr char ToolName[] = "tesmar-render";
}

struct TRenderSystem::TState {
  QTemporaryDir ScreenDirectory;
  int Argc = 1;  // Qt keeps only what it needs of the arguments; ours are read already
  std::unique_ptr<QApplication> Application;
};

TRenderSystem::TRenderSystem(int width, int height, char* argv[]) : State(std::make_unique<TState>()) {
  if (!PrepareOffscreenScreen(State->ScreenDirectory, width, height, ToolName)) {
    Error = "cannot prepare the off-screen screen";
    return;
  }
  qInstallMessageHandler(QuietWarnings<ToolName>);
  State->Application = std::make_unique<QApplication>(State->Argc, argv);
}

TRenderSystem::~TRenderSystem() = default;

bool WritePngFile(const TDib& picture, const std::string& path) {
  QImage image(picture.Width(), picture.Height(), QImage::Format_RGB32);
  if (image.isNull()) return false;
  const std::size_t width = static_cast<std::size_t>(picture.Width());
  for (int y = 0; y < picture.Height(); ++y) {
    std::memcpy(image.scanLine(y), picture.Pixels().data() + static_cast<std::size_t>(y) * width,
                width * sizeof(std::uint32_t));
  }
  return image.save(QString::fromStdString(path), "PNG");
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

TResourceUse CurrentResourceUse() {
  TResourceUse use;
  // The second number of statm is the resident set in pages.
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    long size = 0, resident = 0;
    if (std::fscanf(statm, "%ld %ld", &size, &resident) == 2) use.MemoryKB = resident * (sysconf(_SC_PAGESIZE) / 1024);
    std::fclose(statm);
  }
  return use;
}
