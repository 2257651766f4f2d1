// tesmar-bench-engine: times sim3d::run on a null and on a recording drawing context, as nanoseconds
// per step and as a multiple of one detection pass (geometrie) timed in the same run, and counts the
// heap allocations per step, which must be 0 on the null context.
// Usage: tesmar-bench-engine [STEPS]   (default 20000 steps per round, 5 rounds, the median shown)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "allocation_counter.h"
#include "phys52.h"
#include "random.h"
#include "recording_dc.h"
#include "system_api.h"

// Every allocation of the program goes through these, so a step's allocations can be counted.

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr unsigned seed = 1;
constexpr int rounds = 5;
constexpr int warmupSteps = 200;
constexpr int detectionSamples = 50;    // states at which the detection pass is timed
constexpr int detectionRepeats = 1000;  // passes per state

std::unique_ptr<sim3d> MakeEngine() {
  set_fixed_random_seed(seed);
  return std::make_unique<sim3d>(0, 1023, 0, 767, 0, 1000, "");
}

double Nanoseconds(Clock::duration span) { return std::chrono::duration<double, std::nano>(span).count(); }

struct StepFigures {
  double nanoseconds = 0;
  double allocations = 0;
};

// A step on the recording context also clears the log, so that its memory stays bounded.
template <typename Context>
StepFigures TimeSteps(sim3d& engine, Context& dc, int steps) {
  const std::size_t allocationsBefore = allocation_counter::count;
  const auto start = Clock::now();
  for (int k = 0; k < steps; ++k) {
    engine.run(dc);
    if constexpr (std::is_same_v<Context, RecordingDC>) dc.Calls.clear();
  }
  const auto span = Clock::now() - start;
  return {Nanoseconds(span) / steps, static_cast<double>(allocation_counter::count - allocationsBefore) / steps};
}

// One pass at a spread of states along the run; the pass itself moves nothing.
double TimeDetection(sim3d& engine, int steps) {
  NullDC dc;
  double total = 0;
  volatile int found = 0;
  for (int sample = 0; sample < detectionSamples; ++sample) {
    for (int k = 0; k < steps / detectionSamples; ++k) engine.run(dc);
    const auto start = Clock::now();
    for (int k = 0; k < detectionRepeats; ++k) found = found + engine.geometrie();
    total += Nanoseconds(Clock::now() - start);
  }
  return total / (detectionSamples * detectionRepeats);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The engine writes "default.tmr" when it is made and destroyed. On Linux the Windows directory is
// pointed at a scratch folder; on Windows the user's file is kept aside and put back.
class ScratchSettings {
 public:
  ScratchSettings() {
    Folder = fs::temp_directory_path() / ("tesmar-bench-engine-" + std::to_string(Clock::now().time_since_epoch().count()));
    fs::create_directories(Folder / "config");
    Previous = fs::current_path();
    fs::current_path(Folder);
#ifdef _WIN32
    char windows[1024] = "";
    GetWindowsDirectoryA(windows, sizeof windows);
    DefaultFile = fs::path(windows) / "default.tmr";
    if (std::ifstream in{DefaultFile, std::ios::binary}) {
      std::ostringstream bytes;
      bytes << in.rdbuf();
      Saved = bytes.str();
    }
#else
    setenv("XDG_CONFIG_HOME", (Folder / "config").c_str(), 1);
#endif
  }
  ~ScratchSettings() {
#ifdef _WIN32
    std::error_code ignored;
    if (Saved) {
      std::ofstream(DefaultFile, std::ios::binary) << *Saved;
    } else {
      fs::remove(DefaultFile, ignored);
    }
#endif
    fs::current_path(Previous);
    std::error_code ignoredToo;
    fs::remove_all(Folder, ignoredToo);
  }
  ScratchSettings(const ScratchSettings&) = delete;
  ScratchSettings& operator=(const ScratchSettings&) = delete;

 private:
  fs::path Folder;
  fs::path Previous;
  fs::path DefaultFile;
  std::optional<std::string> Saved;
};

}  // namespace

int main(int argc, char** argv) {
  int steps = 20000;
  if (argc > 1) steps = std::max(detectionSamples, std::atoi(argv[1]));

  std::vector<double> nullTimes, recordingTimes, detectionTimes, nullAllocations, recordingAllocations;
  {
    ScratchSettings scratch;
    for (int round = 0; round < rounds; ++round) {
      // The same start for every context, so each times the same trajectory.
      NullDC nullContext;
      auto onNull = MakeEngine();
      TimeSteps(*onNull, nullContext, warmupSteps);
      const StepFigures nullFigures = TimeSteps(*onNull, nullContext, steps);

      RecordingDC recording;
      auto onRecording = MakeEngine();
      TimeSteps(*onRecording, recording, warmupSteps);
      const StepFigures recordingFigures = TimeSteps(*onRecording, recording, steps);

      auto forDetection = MakeEngine();
      detectionTimes.push_back(TimeDetection(*forDetection, warmupSteps + steps));
      nullTimes.push_back(nullFigures.nanoseconds);
      recordingTimes.push_back(recordingFigures.nanoseconds);
      nullAllocations.push_back(nullFigures.allocations);
      recordingAllocations.push_back(recordingFigures.allocations);
    }
  }

  const double detection = Median(detectionTimes);
  const double onNull = Median(nullTimes);
  const double onRecording = Median(recordingTimes);
  const double allocationsOnNull = *std::max_element(nullAllocations.begin(), nullAllocations.end());
  std::printf("tesmar-bench-engine: 1024 x 768 x 1000 box, %d steps per round, %d rounds, medians\n", steps, rounds);
  std::printf("  detection pass (geometrie)   %10.1f ns\n", detection);
  std::printf("  run, null context            %10.1f ns/step  %7.1f x detection pass  %6.2f allocations/step\n", onNull,
              onNull / detection, allocationsOnNull);
  std::printf("  run, recording context       %10.1f ns/step  %7.1f x detection pass  %6.2f allocations/step\n",
              onRecording, onRecording / detection, Median(recordingAllocations));
  if (allocationsOnNull != 0) {
    std::printf("  FAIL: a step on the null context allocates\n");
    return 1;
  }
  return 0;
}
