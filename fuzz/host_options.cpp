// Fuzzes the hosts' command line and window-id reader: the input, split at NUL bytes, is
// $XSCREENSAVER_WINDOW and then the arguments. Any of them gives a choice within its range or a
// one-line error, and a window id is read only from a whole number that fits 32 bits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "host_options.h"

namespace {
void check(bool condition) {
  if (!condition) std::abort();
}

void checkWindowId(const std::string& text) {
  unsigned long id = 7;
  if (!ReadWindowId(text.c_str(), id)) {
    check(id == 7);
    return;
  }
  check(id != 0 && id <= 0xFFFFFFFFul);
  // Digits, and the "0x" of a hexadecimal id, with nothing around them.
  check(text.find_first_not_of("0123456789abcdefABCDEFxX") == std::string::npos);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> pieces(1);
  for (std::size_t i = 0; i < size && pieces.size() < 64; ++i) {
    if (data[i] == 0) pieces.emplace_back();
    else pieces.back() += static_cast<char>(data[i]);
  }
  for (const std::string& piece : pieces) checkWindowId(piece);

  std::vector<const char*> argv{"tesmar"};
  for (std::size_t i = 1; i < pieces.size(); ++i) argv.push_back(pieces[i].c_str());
  argv.push_back(nullptr);
  const char* environment = pieces[0] == "-" ? nullptr : pieces[0].c_str();

  THostOptions options;
  options.Speed = 99;
  std::string error = "stale";
  const THostCommand command =
      ReadHostCommandLine(static_cast<int>(argv.size() - 1), argv.data(), environment, options, error);
  switch (command) {
    case THostCommand::NotHost:
    case THostCommand::Run:
      check(error.empty());
      check(options.Speed >= -1 && options.Speed <= 2);
      check(options.FrameOn >= -1 && options.FrameOn <= 1);
      check(options.WhatFile >= -1 && options.WhatFile <= 1);
      check(options.WindowId <= 0xFFFFFFFFul);
      if (options.Target == THostOptions::TTarget::WindowId) check(options.WindowId != 0);
      if (options.WhatFile == 0) check(!options.ParamFile.empty() && options.ParamFile.front() == '/');
      break;
    case THostCommand::Error:
      check(!error.empty());
      break;
    default:
      check(false);
  }
  return 0;
}
