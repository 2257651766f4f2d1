#include "trace.h"

namespace {
TTraceListener listener = nullptr;
}

void SetTraceListener(TTraceListener newListener) { listener = newListener; }

void Trace(TTraceHook hook, const char* label) {
  if (listener) listener(hook, label);
}
