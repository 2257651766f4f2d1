// The progress bar that tesmar-render draws on standard error during long runs.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

// "[#####-----]  50%  500/1000 frames  2.0 s left" in `width` bar cells; done is clamped to total.
inline std::string FormatProgress(long done, long total, int width, double elapsedSeconds) {
  if (total <= 0) total = 1;
  if (done < 0) done = 0;
  if (done > total) done = total;
  if (width < 1) width = 1;
  const double share = static_cast<double>(done) / static_cast<double>(total);
  const int filled = static_cast<int>(share * width);
  std::string text = "[";
  text.append(static_cast<std::size_t>(filled), '#');
  text.append(static_cast<std::size_t>(width - filled), '-');
  text += ']';
  char tail[96];
  const int percent = static_cast<int>(share * 100.0);
  if (done > 0 && done < total) {
    const double left = elapsedSeconds * static_cast<double>(total - done) / static_cast<double>(done);
    std::snprintf(tail, sizeof tail, " %3d%%  %ld/%ld frames  %.1f s left", percent, done, total, left);
  } else {
    std::snprintf(tail, sizeof tail, " %3d%%  %ld/%ld frames", percent, done, total);
  }
  text += tail;
  return text;
}

// Redraws the bar in place at most ten times a second, once the run has lasted half a second, so
// short runs print nothing; Finish ends the line if anything was drawn.
class TProgressBar {
 public:
  TProgressBar(long total, bool enabled) : Total(total), Enabled(enabled), Start(Clock::now()), Last(Start) {}

  void Update(long done) {
    if (!Enabled) return;
    const auto now = Clock::now();
    if (now - Start < std::chrono::milliseconds(500) || now - Last < std::chrono::milliseconds(100)) return;
    Last = now;
    Draw(done, now);
  }

  void Finish(long done) {
    if (!Drawn) return;
    Draw(done, Clock::now());
    std::fputc('\n', stderr);
  }

 private:
  using Clock = std::chrono::steady_clock;
  void Draw(long done, Clock::time_point now) {
    const double elapsed = std::chrono::duration<double>(now - Start).count();
    std::fprintf(stderr, "\r%s", FormatProgress(done, Total, 30, elapsed).c_str());
    std::fflush(stderr);
    Drawn = true;
  }

  long Total;
  bool Enabled;
  bool Drawn = false;
  Clock::time_point Start;
  Clock::time_point Last;
};
