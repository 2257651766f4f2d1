// The saver's command line: the modes it selects ("/s", "/c", "/p", "/a") and where it is read from.
#pragma once

#include "system_api.h"

// The saver modes that the command line selects.
enum : int {
  ScrModeNone = 0,
  ScrModeConfigure = 1,
  ScrModePassword = 2,
  ScrModePreview = 3,
  ScrModeSave = 4,
};

// The mode a saver command line (program path included) asks for; for the password change the
// parent window's handle is stored in `parent`.
int ReadScrMode(const char* commandLine, long& parent);

// Where TScrnSavApp::Run reads the command line; null restores GetCommandLineA.
using TCommandLineSource = const char* (*)();
void SetCommandLineSource(TCommandLineSource source);

// The command line Run reads, never null.
const char* CurrentCommandLine();
