// The per-user folder of the saver's own files, which takes the part of the Windows directory: users of
// today's systems cannot write that one.
#pragma once

#include <string>

// %APPDATA%\tes-mar on Windows, $XDG_CONFIG_HOME/tes-mar on Linux; made when missing. Empty when the
// system names no such folder or it cannot be made.
std::string SaverFolder();

// `name` in that folder; empty when there is none.
std::string SaverFolderFile(const char* name);
