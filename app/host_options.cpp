// Reading the hosts' command line: which window to draw into and the one-run choices.
#include "host_options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string_view>

#include "option_table.h"

namespace {

// A first argument that names a host option (or starts with two dashes) makes the command line a
// host's. Everything else stays the saver's own, so "-s", "/c" and "/a:12" behave as they always did.
bool IsHostCommandLine(std::span<const TOption> table, int argc, const char* const argv[]) {
  if (argc < 2 || !argv[1]) return false;
  std::string_view name, value;
  bool hasValue = false;
  const std::string_view first(argv[1]);
  return SplitOption(first, name, value, hasValue) && (first.substr(0, 2) == "--" || FindOption(table, name));
}

bool ReadableFile(const std::string& path) {
  std::error_code failure;
  if (!std::filesystem::is_regular_file(path, failure)) return false;
  std::ifstream file(path, std::ios::binary);
  return file.is_open();
}

bool TakeSpeed(const std::string& value, int& speed) {
  constexpr std::string_view speeds[] = {"slow", "medium", "fast"};
  for (int i = 0; i < 3; ++i) {
    if (value == speeds[i]) {
      speed = i;
      return true;
    }
  }
  return false;
}

// Made absolute here: the settings' file search would otherwise prefer a file of the same name
// beside the program or in the configuration folder.
bool TakeParameterFile(const std::string& value, THostOptions& options) {
  std::error_code failure;
  const std::filesystem::path absolute = std::filesystem::absolute(value, failure);
  if (value.empty() || failure || !ReadableFile(absolute.string())) return false;
  options.WhatFile = 0;
  options.ParamFile = absolute.string();
  return true;
}

}  // namespace

bool ReadWindowId(const char* text, unsigned long& id) {
  // strtoull would skip any leading white space and take a sign; an id is the number alone.
  if (!text || !*text || *text == '-' || *text == '+' || std::isspace(static_cast<unsigned char>(*text))) return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, 0);
  if (errno == ERANGE || *end != '\0' || value == 0 || value > 0xFFFFFFFFull) return false;
  id = static_cast<unsigned long>(value);
  return true;
}

THostCommand ReadHostCommandLine(int argc, const char* const argv[], const char* environmentWindow,
                                 THostOptions& options, std::string& error) {
  options = THostOptions{};
  error.clear();
  // With no window named at all the host's window is still used when the environment names one.
  bool rootAsked = true;
  bool targetNamed = false;
  const auto target = [&](THostOptions::TTarget chosen) {
    options.Target = chosen;
    rootAsked = chosen == THostOptions::TTarget::Root;
    targetNamed = true;
    return true;
  };
  // An option that sets one field to one value.
  const auto set = [](auto& field, auto value) {
    return [&field, value](const std::string&) {
      field = value;
      return true;
    };
  };
  const auto ignored = [](const std::string&) { return true; };
  const TOption table[] = {
      {"root", false, [&](const std::string&) { return target(THostOptions::TTarget::Root); }},
      {"window-id", true,
       [&](const std::string& value) {
         return ReadWindowId(value.c_str(), options.WindowId) && target(THostOptions::TTarget::WindowId);
       },
       "not a window id: '{}'"},
      {"window", false, [&](const std::string&) { return target(THostOptions::TTarget::Window); }},
      {"speed", true, [&](const std::string& value) { return TakeSpeed(value, options.Speed); },
       "--speed takes slow, medium or fast, not '{}'"},
      {"frame", false, set(options.FrameOn, 1)},
      {"no-frame", false, set(options.FrameOn, 0)},
      {"param", true, [&](const std::string& value) { return TakeParameterFile(value, options); },
       "cannot read the parameter file '{}'"},
      {"random", false,
       [&](const std::string&) {
         options.WhatFile = 1;
         options.ParamFile.clear();
         return true;
       }},
      {"add-to-xscreensaver", false, set(options.AddToXscreensaver, true)},
      // The hosts' usual options; this saver has no use for them.
      {"fps", false, ignored},
      {"install", false, ignored},
      {"visual", true, ignored},
      {"mono", false, ignored},
  };
  if (!IsHostCommandLine(table, argc, argv)) return THostCommand::NotHost;
  constexpr TOptionTexts texts{"unknown option '{}' (see tesmar(6))", "option '{}' needs a value",
                               "option '{}' takes no value"};
  if (ReadOptions(table, texts, argc, argv, error) != TOptionError::NoError) return THostCommand::Error;

  const bool fromEnvironment = environmentWindow && *environmentWindow;
  if (!targetNamed && fromEnvironment) options.Target = THostOptions::TTarget::Root;
  if (rootAsked && fromEnvironment) {
    if (!ReadWindowId(environmentWindow, options.WindowId)) {
      error = "XSCREENSAVER_WINDOW is not a window id: '" + std::string(environmentWindow) + "'";
      return THostCommand::Error;
    }
  }
  return THostCommand::Run;
}
