// Listens to all three trace hooks while it lives and keeps what each gave, in order.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "trace.h"

class TTraceRecorder {
 public:
  TTraceRecorder() {
    Entries().clear();
    SetTraceListener([](TTraceHook hook, const char* label) { Entries().emplace_back(hook, label ? label : ""); });
  }
  ~TTraceRecorder() { SetTraceListener(nullptr); }
  TTraceRecorder(const TTraceRecorder&) = delete;
  TTraceRecorder& operator=(const TTraceRecorder&) = delete;

  std::vector<std::string> Labels(TTraceHook hook) const {
    std::vector<std::string> labels;
    for (const auto& [from, label] : Entries()) {
      if (from == hook) labels.push_back(label);
    }
    return labels;
  }
  const std::vector<std::pair<TTraceHook, std::string>>& All() const { return Entries(); }
  void Clear() { Entries().clear(); }

 private:
  static std::vector<std::pair<TTraceHook, std::string>>& Entries() {
    static std::vector<std::pair<TTraceHook, std::string>> entries;
    return entries;
  }
};
