// Why a new bitmap fails before any back end makes it: a size below a pixel, or a failure a test asked
// for, so that the out-of-memory path runs without exhausting memory.
#include <new>
#include <string>

#include "drawing.h"

namespace {
int forcedFailures = 0;
}

void TBitmap::FailNext(int count) { forcedFailures = count > 0 ? count : 0; }

void TBitmap::CheckRequest(int width, int height) {
  if (width <= 0 || height <= 0) {
    throw TDrawingError("cannot make a bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels");
  }
  if (forcedFailures == 0) return;
  --forcedFailures;
  throw std::bad_alloc();
}
