// tesmar-render: runs the saver window's own code (settings, engine, bitmap, animation steps, picture,
// final save) in a hidden window of a chosen size and writes the picture, without a display.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "headless_saver.h"
#include "option_numbers.h"
#include "option_table.h"
#include "profile.h"
#include "progress_bar.h"
#include "random.h"
#include "render_system.h"
#include "saver_files.h"
#include "settings.h"

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
      "  --memory N     every N frames, print the memory (and on Windows the GDI and USER objects) held\n"
      "Each option may also be written with one dash, and with its value after '=' (--frames=600).\n",
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

// A whole number from `lowest` to MaxFrames into `field`.
auto Count(long lowest, long& field) {
  return [lowest, &field](const std::string& value) { return ParseLong(value.c_str(), lowest, MaxFrames, field); };
}

// Returns 0 to go on, else the exit code; -1 when the usage was asked for.
int ParseArguments(int argc, char* argv[], TOptions& options) {
  bool help = false;
  const auto askHelp = [&help](const std::string&) { return help = true; };
  const std::string frames = std::to_string(MaxFrames);
  const TOption table[] = {
      {"help", false, askHelp},
      {"h", false, askHelp},
      {"size", true, [&](const std::string& value) { return ParseSize(value.c_str(), options.Width, options.Height); },
       "--size takes WxH with each side from " + std::to_string(MinSide) + " to " + std::to_string(MaxSide) +
           ", not \"{}\""},
      {"frames", true, Count(0, options.Frames), "--frames takes a number from 0 to " + frames + ", not \"{}\""},
      {"reinit-frames", true, Count(1, options.ReinitFrames),
       "--reinit-frames takes a number from 1 to " + frames + ", not \"{}\""},
      {"memory", true, Count(1, options.MemoryEvery), "--memory takes a number from 1 to " + frames + ", not \"{}\""},
      {"seed", true,
       [&](const std::string& value) {
         unsigned seed = 0;
         if (!ParseUnsigned32(value.c_str(), seed)) return false;
         options.Seed = seed;
         return true;
       },
       "--seed takes a number from 0 to 4294967295, not \"{}\""},
      {"param", true,
       [&](const std::string& value) {
         if (value.empty() || value.size() >= ParamFileSize) return false;
         options.ParamFile = value;
         return true;
       },
       "--param takes a file name of 1 to " + std::to_string(ParamFileSize - 1) + " characters"},
      {"out", true,
       [&](const std::string& value) {
         options.Out = value;
         return EndsWith(value, ".bmp") || EndsWith(value, ".png");
       },
       "--out takes a .bmp or .png file, not \"{}\""},
  };
  constexpr TOptionTexts texts{"unknown option {}", "{} needs a value", "--{} takes no value"};
  std::string error;
  const TOptionError read = ReadOptions(table, texts, argc, argv, error);
  if (read != TOptionError::NoError) {
    std::fprintf(stderr, "tesmar-render: %s\n", error.c_str());
    if (read != TOptionError::Refused) Usage(stderr);
    return 2;
  }
  if (help) Usage(stdout);
  return help ? -1 : 0;
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

// Starts from the parameter file asked for and seeds the random start; 0 to go on, else the exit code.
int PrepareStart(const TOptions& options) {
  if (options.ParamFile) {
    const std::string resolved = ResolvedParameterFile(options.ParamFile->c_str());
    if (!std::filesystem::is_regular_file(resolved)) {
      std::fprintf(stderr, "tesmar-render: no parameter file \"%s\"\n", options.ParamFile->c_str());
      return 2;
    }
    SetStartFileOverride(options.ParamFile->c_str());
  }
  if (options.Seed) set_fixed_random_seed(*options.Seed);
  return 0;
}

// Runs the frames, with the reinit timer and the memory samples the options ask for; returns the
// seconds they took.
double RunFrames(THeadlessSaver& saver, const TOptions& options) {
  const auto start = std::chrono::steady_clock::now();
  // The bar only where a person watches: standard error on a terminal.
  TProgressBar progress(options.Frames, StandardErrorIsTerminal());
  for (long frame = 1; frame <= options.Frames; ++frame) {
    saver.Step();
    if (options.ReinitFrames && frame % options.ReinitFrames == 0 && frame < options.Frames) saver.SendReinitTimer();
    progress.Update(frame);
    if (options.MemoryEvery && frame % options.MemoryEvery == 0) PrintResourceUse(frame);
  }
  progress.Finish(options.Frames);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct TRunOutcome {
  double Seconds = 0;
  std::string Picture;
  bool PictureWritten = false;
  std::string FinalState;  // empty when it could not be written
};

// The picture where --out says, else where Enter writes it (whose failure shows a box).
bool SavePicture(TMyScrnSavWindow& window, const TOptions& options, const bool& boxShown, std::string& picture) {
  if (!options.Out) {
    picture = SaverFolderFile("tmp.bmp");
    window.SaveScreen();
    return !boxShown;
  }
  picture = *options.Out;
  if (WritePicture(*window.GetBitmap(), picture)) return true;
  std::fprintf(stderr, "tesmar-render: cannot write %s\n", picture.c_str());
  return false;
}

// The run's figures and files on standard output; returns the exit code.
int Report(const TOptions& options, const TRunOutcome& outcome) {
  const double seconds = outcome.Seconds;
  std::printf("%ld frames of %dx%d in %.3f s: %.1f frames per second\n", options.Frames, options.Width, options.Height,
              seconds, seconds > 0 ? static_cast<double>(options.Frames) / seconds : 0.0);
  if (outcome.PictureWritten) {
    std::printf("picture: %s\n", std::filesystem::absolute(outcome.Picture).string().c_str());
  }
  if (outcome.FinalState.empty()) {
    std::fprintf(stderr, "tesmar-render: cannot write the final state to default.tmr\n");
    return 1;
  }
  std::printf("final state: %s\n", std::filesystem::absolute(outcome.FinalState).string().c_str());
  return outcome.PictureWritten ? 0 : 1;
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
  if (const int code = PrepareStart(options)) return code;

  // A box nobody can answer would stall the run: the error goes to standard error, and Retry/Cancel
  // boxes end the run as Cancel does.
  bool boxShown = false;
  SetMessageBoxHook([&boxShown](const char* text, const char* /*caption*/, UINT /*type*/) {
    std::fprintf(stderr, "tesmar-render: %s\n", text ? text : "");
    boxShown = true;
    return IDCANCEL;
  });

  TRunOutcome outcome;
  {
    // The application object only receives the speed setting; its command line is never read.
    TMyScrnSavApp application(AppName);
    THeadlessSaver saver(application, TSize(options.Width, options.Height));
    if (!saver.GetError().empty()) {
      std::fprintf(stderr, "tesmar-render: %s\n", saver.GetError().c_str());
      return 1;
    }
    outcome.Seconds = RunFrames(saver, options);
    outcome.PictureWritten = SavePicture(saver.GetWindow(), options, boxShown, outcome.Picture);
    outcome.FinalState = saver.EndRun();
  }
  return Report(options, outcome);
}
