// What tesmar-render needs of the system beyond the window framework, one file per back end: a GUI
// that runs without a display, a PNG writer, whether standard error is a terminal and what the process holds.
#pragma once

#include <memory>
#include <string>

#include "drawing.h"

// Makes the window framework usable without a display, for a screen of width x height pixels, for
// as long as the object lives.
class TRenderSystem {
 public:
  TRenderSystem(int width, int height, char* argv[]);
  ~TRenderSystem();
  TRenderSystem(const TRenderSystem&) = delete;
  TRenderSystem& operator=(const TRenderSystem&) = delete;

  // False when the framework cannot run; Error then says why.
  bool Ready() const { return Error.empty(); }
  const std::string& GetError() const { return Error; }

  struct TState;

 private:
  std::unique_ptr<TState> State;
  std::string Error;
};

// Writes the picture as a PNG file; false when it cannot.
bool WritePngFile(const TDib& picture, const std::string& path);

bool StandardErrorIsTerminal();

// What the process holds now, for long runs: its memory in KB (Linux: the resident set from /proc;
// Windows: the working set) and on Windows its GDI and USER objects; -1 where the system cannot say.
struct TResourceUse {
  long MemoryKB = -1;
  long GdiObjects = -1;
  long UserObjects = -1;
};
TResourceUse CurrentResourceUse();
