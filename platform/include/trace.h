// The program's three trace hooks: the engine's, this saver's and the framework's. Each takes a
// label and does nothing with it unless something listens, which tests and diagnostics do.
#pragma once

enum class TTraceHook { Engine, Saver, Framework };

// One listener hears all three hooks; null stops listening.
using TTraceListener = void (*)(TTraceHook hook, const char* label);
void SetTraceListener(TTraceListener listener);

void Trace(TTraceHook hook, const char* label);
