// Reading the hosts' command line: which window to draw into and the one-run choices.
#include "host_options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace {

// Host option names; a first argument that is one of these (or starts with two dashes) makes the
// command line a host's. Everything else stays the saver's own, so "-s", "/c" and "/a:12" behave as
// they always did.
constexpr std::string_view HostNames[] = {"root",  "window-id", "window", "speed",  "frame",
                                          "no-frame", "param", "random", "fps",    "install",
                                          "visual", "mono",     "add-to-xscreensaver"};

bool IsHostName(std::string_view name) {
  for (std::string_view known : HostNames) {
    if (name == known) return true;
  }
  return false;
}

// "-name", "--name" or "--name=value" split into name and value; false for anything else.
bool SplitOption(std::string_view argument, std::string_view& name, std::string_view& value, bool& hasValue) {
  if (argument.size() < 2 || argument[0] != '-') return false;
  argument.remove_prefix(argument[1] == '-' ? 2 : 1);
  const std::size_t equals = argument.find('=');
  hasValue = equals != std::string_view::npos;
  name = argument.substr(0, equals);
  value = hasValue ? argument.substr(equals + 1) : std::string_view();
  return !name.empty();
}

bool ReadableFile(const std::string& path) {
  std::error_code failure;
  if (!std::filesystem::is_regular_file(path, failure)) return false;
  std::ifstream file(path, std::ios::binary);
  return file.is_open();
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
  if (argc < 2 || !argv[1]) return THostCommand::NotHost;
  {
    std::string_view name, value;
    bool hasValue = false;
    const std::string_view first(argv[1]);
    if (!SplitOption(first, name, value, hasValue)) return THostCommand::NotHost;
    if (first.substr(0, 2) != "--" && !IsHostName(name)) return THostCommand::NotHost;
  }

  // With no window named at all the host's window is still used when the environment names one.
  bool rootAsked = true;
  bool targetNamed = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument(argv[i] ? argv[i] : "");
    std::string_view name, inlineValue;
    bool hasValue = false;
    if (!SplitOption(argument, name, inlineValue, hasValue) || !IsHostName(name)) {
      error = "unknown option '" + std::string(argument) + "' (see tesmar(6))";
      return THostCommand::Error;
    }
    const bool takesValue = name == "window-id" || name == "speed" || name == "param" || name == "visual";
    if (hasValue && !takesValue) {
      error = "option '" + std::string(name) + "' takes no value";
      return THostCommand::Error;
    }
    std::string value(inlineValue);
    if (takesValue && !hasValue) {
      if (i + 1 >= argc || !argv[i + 1]) {
        error = "option '" + std::string(argument) + "' needs a value";
        return THostCommand::Error;
      }
      value = argv[++i];
    }

    if (name == "root") {
      options.Target = THostOptions::TTarget::Root;
      rootAsked = targetNamed = true;
    } else if (name == "window-id") {
      if (!ReadWindowId(value.c_str(), options.WindowId)) {
        error = "not a window id: '" + value + "'";
        return THostCommand::Error;
      }
      options.Target = THostOptions::TTarget::WindowId;
      rootAsked = false;
      targetNamed = true;
    } else if (name == "window") {
      options.Target = THostOptions::TTarget::Window;
      rootAsked = false;
      targetNamed = true;
    } else if (name == "speed") {
      if (value == "slow") {
        options.Speed = 0;
      } else if (value == "medium") {
        options.Speed = 1;
      } else if (value == "fast") {
        options.Speed = 2;
      } else {
        error = "--speed takes slow, medium or fast, not '" + value + "'";
        return THostCommand::Error;
      }
    } else if (name == "frame" || name == "no-frame") {
      options.FrameOn = name == "frame" ? 1 : 0;
    } else if (name == "param") {
      // Made absolute here: the settings' file search would otherwise prefer a file of the same name
      // beside the program or in the configuration folder.
      std::error_code failure;
      const std::filesystem::path absolute = std::filesystem::absolute(value, failure);
      if (value.empty() || failure || !ReadableFile(absolute.string())) {
        error = "cannot read the parameter file '" + value + "'";
        return THostCommand::Error;
      }
      options.WhatFile = 0;
      options.ParamFile = absolute.string();
    } else if (name == "random") {
      options.WhatFile = 1;
      options.ParamFile.clear();
    } else if (name == "add-to-xscreensaver") {
      options.AddToXscreensaver = true;
    }
    // -fps, -install, -visual and -mono are the hosts' usual options; this saver has no use for them.
  }

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
