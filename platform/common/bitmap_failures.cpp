// Bitmaps that tests make fail, so that the out-of-memory path runs without exhausting memory.
#include "drawing.h"

namespace {
int forcedFailures = 0;
}

void TBitmap::FailNext(int count) { forcedFailures = count > 0 ? count : 0; }

bool TBitmap::ForcedToFail() {
  if (forcedFailures == 0) return false;
  --forcedFailures;
  return true;
}
