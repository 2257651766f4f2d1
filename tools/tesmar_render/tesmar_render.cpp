// tesmar-render: runs the saver window's own code (settings, engine, bitmap, animation steps, picture,
// final save) in a hidden window of a chosen size and writes the picture, without a display.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "option_numbers.h"
#include "owlscrn25.h"
#include "program_entry.h"
#include "settings.h"
#include "profile.h"
#include "progress_bar.h"
#include "random.h"
#include "render_system.h"
#include "saver_files.h"

namespace {

constexpr long MaxFrames = 100000000;

struct TOptions {
  int Width = 1024;
  int Height = 768;
  long Frames = 600;
  std::optional<std::string> ParamFile;
  std::optional<unsigned> Seed;
  std::optional<std::string> Out;
  long ReinitFrames = 0;
  long MemoryEvery = 0;
};

void Usage(std::FILE* stream) {
  std::fputs(
      "usage: tesmar-render [--size WxH] [--frames N] [--param FILE] [--seed S] [--out PICTURE]\n"
      "                     [--reinit-frames N] [--memory N]\n"
      "  --size WxH     screen size in pixels (default 1024x768)\n"
      "  --frames N     animation steps to run (default 600)\n"
      "  --param FILE   start from this parameter file instead of the settings' choice\n"
      "  --seed S       seed the random start, for a reproducible picture\n"
      "  --out PICTURE  write the picture here (.bmp or .png); default: tmp.bmp where Enter writes it\n"
      "  --reinit-frames N  start afresh every N frames, as the reinit timer does (default: never)\n"
      "  --memory N     every N frames, print the memory (and on Windows the GDI and USER objects) held\n",
      stream);
}

bool EndsWith(const std::string& text, const char* suffix) {
  const std::size_t length = std::strlen(suffix);
  if (text.size() < length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    const char c = text[text.size() - length + i];
    if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != suffix[i]) return false;
  }
  return true;
}

// Returns 0 to go on, else the exit code.
int ParseArguments(int argc, char* argv[], TOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      Usage(stdout);
      return -1;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "tesmar-render: %s needs a value\n", option.c_str());
      Usage(stderr);
      return 2;
    }
    const char* value = argv[++i];
    if (option == "--size") {
      if (!ParseSize(value, options.Width, options.Height)) {
        std::fprintf(stderr, "tesmar-render: --size takes WxH with each side from %d to %d, not \"%s\"\n", MinSide,
                     MaxSide, value);
        return 2;
      }
    } else if (option == "--frames") {
      if (!ParseLong(value, 0, MaxFrames, options.Frames)) {
        std::fprintf(stderr, "tesmar-render: --frames takes a number from 0 to %ld, not \"%s\"\n", MaxFrames, value);
        return 2;
      }
    } else if (option == "--reinit-frames") {
      if (!ParseLong(value, 1, MaxFrames, options.ReinitFrames)) {
        std::fprintf(stderr, "tesmar-render: --reinit-frames takes a number from 1 to %ld, not \"%s\"\n", MaxFrames,
                     value);
        return 2;
      }
    } else if (option == "--memory") {
      if (!ParseLong(value, 1, MaxFrames, options.MemoryEvery)) {
        std::fprintf(stderr, "tesmar-render: --memory takes a number from 1 to %ld, not \"%s\"\n", MaxFrames, value);
        return 2;
      }
    } else if (option == "--seed") {
      unsigned seed = 0;
      if (!ParseUnsigned32(value, seed)) {
        std::fprintf(stderr, "tesmar-render: --seed takes a number from 0 to 4294967295, not \"%s\"\n", value);
        return 2;
      }
      options.Seed = seed;
    } else if (option == "--param") {
      if (!*value || std::strlen(value) >= ParamFileSize) {
        std::fprintf(stderr, "tesmar-render: --param takes a file name of 1 to %zu characters\n", ParamFileSize - 1);
        return 2;
      }
      options.ParamFile = value;
    } else if (option == "--out") {
      options.Out = value;
      if (!EndsWith(*options.Out, ".bmp") && !EndsWith(*options.Out, ".png")) {
        std::fprintf(stderr, "tesmar-render: --out takes a .bmp or .png file, not \"%s\"\n", value);
        return 2;
      }
    } else {
      std::fprintf(stderr, "tesmar-render: unknown option %s\n", option.c_str());
      Usage(stderr);
      return 2;
    }
  }
  return 0;
}

// Where the engine reads and writes a parameter file of that name: the profile's own resolution.
std::string ResolvedParameterFile(const char* name) {
  TProfile profile(SettingsSection, name);
  return profile.GetFileName();
}

// One line a sample, for scripts: "frame N: memory M KB[, GDI objects G, USER objects U]".
void PrintResourceUse(long frame) {
  const TResourceUse use = CurrentResourceUse();
  std::printf("frame %ld: memory %ld KB", frame, use.MemoryKB);
  if (use.GdiObjects >= 0) std::printf(", GDI objects %ld, USER objects %ld", use.GdiObjects, use.UserObjects);
  std::printf("\n");
  std::fflush(stdout);
}

bool WritePicture(const TBitmap& bitmap, const std::string& path) {
  const TDib dib(bitmap);
  return EndsWith(path, ".bmp") ? dib.WriteFile(path.c_str()) : WritePngFile(dib, path);
}

}  // namespace

int main(int argc, char* argv[]) {
  TOptions options;
  if (const int code = ParseArguments(argc, argv, options)) return code < 0 ? 0 : code;

  const TRenderSystem system(options.Width, options.Height, argv);
  if (!system.Ready()) {
    std::fprintf(stderr, "tesmar-render: %s\n", system.GetError().c_str());
    return 1;
  }

  if (options.ParamFile) {
    const std::string resolved = ResolvedParameterFile(options.ParamFile->c_str());
    if (!std::filesystem::is_regular_file(resolved)) {
      std::fprintf(stderr, "tesmar-render: no parameter file \"%s\"\n", options.ParamFile->c_str());
      return 2;
    }
    SetStartFileOverride(options.ParamFile->c_str());
  }
  if (options.Seed) set_fixed_random_seed(*options.Seed);

  // A box nobody can answer would stall the run: the error goes to standard error, and Retry/Cancel
  // boxes end the run as Cancel does.
  bool boxShown = false;
  SetMessageBoxHook([&boxShown](const char* text, const char* /*caption*/, UINT /*type*/) {
    std::fprintf(stderr, "tesmar-render: %s\n", text ? text : "");
    boxShown = true;
    return IDCANCEL;
  });

  // The application object only receives the speed setting; its command line is never read.
  TMyScrnSavApp application(AppName);
  // The saver runs as inside a host's window, a hidden one of the chosen size: its box takes that
  // size, and it neither covers the screen nor hides the cursor nor claims the system's saver flag.
  TWindow screen(nullptr, "tesmar-render");
  screen.Attr.Style = WS_POPUP;
  screen.Attr.W = options.Width;
  screen.Attr.H = options.Height;
  if (!screen.Create()) {
    std::fprintf(stderr, "tesmar-render: cannot create a hidden window of %dx%d\n", options.Width, options.Height);
    return 1;
  }
  application.SetHostParent(&screen);
  auto* window = new TMyScrnSavWindow(&screen, AppName, nullptr);
  application.SetMainWindow(window);
  if (!window->Create()) {
    std::fprintf(stderr, "tesmar-render: cannot create the saver window\n");
    return 1;
  }

  const auto start = std::chrono::steady_clock::now();
  // The bar only where a person watches: standard error on a terminal.
  TProgressBar progress(options.Frames, StandardErrorIsTerminal());
  for (long frame = 0; frame < options.Frames; ++frame) {
    window->AnimateScreen();
    // The timer's own message, through the window's response table, as the system would send it.
    if (options.ReinitFrames && (frame + 1) % options.ReinitFrames == 0 && frame + 1 < options.Frames) {
      TMessage timer{WM_TIMER, window->TimerId, 0, 0};
      window->Dispatch(timer);
    }
    progress.Update(frame + 1);
    if (options.MemoryEvery && (frame + 1) % options.MemoryEvery == 0) PrintResourceUse(frame + 1);
  }
  progress.Finish(options.Frames);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  int status = 0;
  std::string picture;
  if (options.Out) {
    picture = *options.Out;
    if (!WritePicture(*window->GetBitmap(), picture)) {
      std::fprintf(stderr, "tesmar-render: cannot write %s\n", picture.c_str());
      status = 1;
    }
  } else {
    picture = SaverFolderFile("tmp.bmp");
    window->SaveScreen();
    if (boxShown) status = 1;
  }

  // As when the saver ends: the engine writes its final state, then the window goes.
  const std::string finalState = window->EndRun();
  window->Destroy(0);
  application.SetMainWindow(nullptr);
  delete window;
  screen.Destroy(0);

  std::printf("%ld frames of %dx%d in %.3f s: %.1f frames per second\n", options.Frames, options.Width,
              options.Height, seconds, seconds > 0 ? static_cast<double>(options.Frames) / seconds : 0.0);
  if (status == 0) std::printf("picture: %s\n", std::filesystem::absolute(picture).string().c_str());
  if (finalState.empty()) {
    std::fprintf(stderr, "tesmar-render: cannot write the final state to default.tmr\n");
    return 1;
  }
  std::printf("final state: %s\n", std::filesystem::absolute(finalState).string().c_str());
  return status;
}
