// Reading the saver's command line: the program path is skipped, the first option selects the mode.
#include "command_line.h"

#include <cstdlib>

namespace {
TCommandLineSource commandLineSource = nullptr;
}  // namespace

void SetCommandLineSource(TCommandLineSource source) { commandLineSource = source; }

const char* CurrentCommandLine() {
  const char* line = commandLineSource ? commandLineSource() : GetCommandLineA();
  return line ? line : "";
}

int ReadScrMode(const char* commandLine, long& parent) {
  const char* p = commandLine ? commandLine : "";
  parent = 0;

  // The program path: a quoted one may hold blanks.
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
  } else {
    while (*p && *p != ' ') ++p;
  }
  if (*p) ++p;
  while (*p == ' ') ++p;

  if (!*p) return ScrModeConfigure;
  if (*p == '-' || *p == '/') ++p;

  switch (*p) {
    case 'p':
    case 'P':
    case 'l':
    case 'L':
      return ScrModePreview;
    case 's':
    case 'S':
      return ScrModeSave;
    case 'c':
    case 'C':
      return ScrModeConfigure;
    case 'a':
    case 'A':
      ++p;
      while (*p == ' ' || *p == ':') ++p;
      // strtol rather than atol: an over-long number must not be undefined behaviour.
      parent = std::strtol(p, nullptr, 10);
      return ScrModePassword;
    default:
      return ScrModeNone;
  }
}
