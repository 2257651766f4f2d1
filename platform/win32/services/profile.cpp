// Private-profile files over the kernel's own services, in the file that the placing of saver files
// chooses: the one OpenFile's search finds, or the user's own copy in the saver folder.
#include "profile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "saver_file_location.h"
#include "system_api.h"

struct TProfile::TState {
  std::string Section;
  std::string FileName;
  std::string Fallback;  // the user's own copy, for a write that FileName cannot take
  bool Usable = false;
};

namespace {
// Stands for a missing key: the system gives the default back, and no stored value reads like this.
constexpr char kMissing[] = "\x01\x02missing\x03";

// The system's profile functions build the file's path in MAX_PATH characters, for a bare name with
// the Windows directory in front, and not every implementation checks that it fits.
bool fitsTheSystem(const std::string& name) {
  std::size_t length = name.size();
  if (name.find_first_of("\\/:") == std::string::npos) {
    char directory[MAX_PATH];
    length += GetWindowsDirectoryA(directory, sizeof directory) + 1;
  }
  return length < MAX_PATH;
}

// The system writes key and value as given: a line break or a key that reads as a section, a comment
// or a key with a value in it would change other entries or lose this one.
bool storable(const std::string& key, const char* value) {
  const auto lineBreak = [](const std::string& text) { return text.find_first_of("\r\n") != std::string::npos; };
  const std::size_t first = key.find_first_not_of(" \t");
  if (first == std::string::npos || lineBreak(key) || key.find('=') != std::string::npos) return false;
  if (key[first] == '[' || key[first] == ';' || key[first] == '#') return false;
  return !value || !lineBreak(value);
}

void copyCut(const char* text, char* buffer, unsigned size) {
  const std::size_t length = std::min<std::size_t>(std::strlen(text), size - 1);
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
}
}  // namespace

TProfile::TProfile(const char* section, const char* fileName) : State(std::make_unique<TState>()) {
  State->Section = section ? section : "";
  const std::string name = fileName ? fileName : "";
  if (name.empty()) return;
  if (!fitsTheSystem(name)) {
    // The services stand without the window framework, so they trace on their own.
    std::fprintf(stderr, "tesmar: the profile file name is too long for the system: %.60s...\n", name.c_str());
    return;
  }
  TSaverFileLocation location = LocateSaverFile(name);
  State->FileName = std::move(location.Path);
  State->Fallback = fitsTheSystem(location.Fallback) ? std::move(location.Fallback) : std::string();
  State->Usable = fitsTheSystem(State->FileName);
}

TProfile::~TProfile() { Flush(); }

bool TProfile::GetString(const char* key, char* buffer, unsigned size, const char* defaultValue) {
  if (!buffer || size == 0) return false;
  if (!defaultValue) defaultValue = "";
  if (!key || !State->Usable) {
    copyCut(defaultValue, buffer, size);
    return false;
  }
  // Read in full first so that the missing-key marker is never cut by a small buffer.
  std::vector<char> value(std::max<std::size_t>(size, sizeof kMissing));
  GetPrivateProfileStringA(State->Section.c_str(), key, kMissing, value.data(), static_cast<DWORD>(value.size()),
                           State->FileName.c_str());
  const bool found = std::strcmp(value.data(), kMissing) != 0;
  copyCut(found ? value.data() : defaultValue, buffer, size);
  return found;
}

bool TProfile::WriteString(const char* key, const char* value) {
  if (!key || !State->Usable || !storable(key, value)) return false;
  // A null value would delete the key; storing means storing, so it is written empty.
  const auto write = [&] {
    return WritePrivateProfileStringA(State->Section.c_str(), key, value ? value : "", State->FileName.c_str()) != 0;
  };
  if (write()) return true;
  if (InSaverFolder(State->FileName)) return MakeSaverFolder() && write();
  if (State->Fallback.empty() || !MakeSaverFolder()) return false;
  // The file found cannot take the write (a Windows directory that users may not write): the user's own
  // copy, made from it so that no other value is lost, takes it and is the one read from now on.
  if (FileExists(State->FileName)) {
    if (!CopyFileA(State->FileName.c_str(), State->Fallback.c_str(), FALSE)) return false;
    SetFileAttributesA(State->Fallback.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  State->FileName = State->Fallback;
  State->Fallback.clear();
  return write();
}

// The system keeps a cache of profile files; a call with no section and no key writes it out.
bool TProfile::Flush() {
  if (!State->Usable) return false;
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, State->FileName.c_str());
  return true;
}

const std::string& TProfile::GetFileName() const { return State->FileName; }
