// A fresh folder under the system's temporary directory for one test, removed with what it holds.
#pragma once

#include <string>

#include "system_api.h"

class ScratchFolder {
 public:
  ScratchFolder() {
    char base[MAX_PATH] = "";
    GetTempPathA(sizeof base, base);
    static int counter = 0;
    Path = std::string(base) + "tesmar-test-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter);
    CreateDirectoryA(Path.c_str(), nullptr);
  }
  ~ScratchFolder() {
    WIN32_FIND_DATAA entry;
    const HANDLE search = FindFirstFileA((Path + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        DeleteFileA((Path + "\\" + entry.cFileName).c_str());
      } while (FindNextFileA(search, &entry));
      FindClose(search);
    }
    RemoveDirectoryA(Path.c_str());
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string File(const std::string& name) const { return Path + "\\" + name; }

  std::string Path;
};
