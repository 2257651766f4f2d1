// The saver folder on Windows, %APPDATA%\tes-mar from the known-folder call, and what the placing of
// saver files asks of the file system.
#include <shlobj.h>

#include <string>

#include "saver_file_location.h"
#include "system_api.h"

namespace {
// The program speaks the ANSI code page; a folder name it cannot spell there is reached by its short
// form, which is plain ASCII.
std::string Narrow(const wchar_t* wide) {
  BOOL lossy = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr, &lossy);
  if (size > 0 && !lossy) {
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, text.data(), size, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(size) - 1);
    return text;
  }
  wchar_t shortName[MAX_PATH];
  const DWORD length = GetShortPathNameW(wide, shortName, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  lossy = FALSE;
  char text[MAX_PATH * 2];
  if (!WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, shortName, -1, text, sizeof text, nullptr, &lossy) || lossy) {
    return {};
  }
  return text;
}

bool LastWrite(const std::string& path, FILETIME& time) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  time = data.ftLastWriteTime;
  return true;
}

std::string FullPath(const std::string& path) {
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return length > 0 && length < sizeof full ? std::string(full, length) : path;
}
}  // namespace

std::string SaverFolderPath() {
  PWSTR roaming = nullptr;
  std::string folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &roaming))) {
    folder = Narrow(roaming);
  }
  CoTaskMemFree(roaming);
  return folder.empty() ? folder : folder + "\\tes-mar";
}

bool MakeSaverFolder() {
  const std::string folder = SaverFolderPath();
  if (folder.empty()) return false;
  if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FindOnSearchPath(const std::string& name) {
  OFSTRUCT found{};
  found.cBytes = sizeof found;
  return OpenFile(name.c_str(), &found, OF_EXIST) != HFILE_ERROR ? std::string(found.szPathName) : std::string();
}

bool FileExists(const std::string& path) {
  FILETIME ignored;
  return LastWrite(path, ignored);
}

// Opening for writing, without changing a byte, is what tells: the read-only flag, the file's rights
// and a locked or read-only volume all refuse it.
bool CanReplaceFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

bool IsNewerFile(const std::string& path, const std::string& other) {
  FILETIME mine, theirs;
  return LastWrite(path, mine) && LastWrite(other, theirs) && CompareFileTime(&mine, &theirs) > 0;
}

bool SameFileName(const std::string& path, const std::string& other) {
  return lstrcmpiA(FullPath(path).c_str(), FullPath(other).c_str()) == 0;
}
