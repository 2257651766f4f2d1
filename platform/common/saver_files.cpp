// The rule that places a saver file of a bare name: the system's search first, the user's own copy
// when that is the one the user last saved.
#include "saver_files.h"

#include "saver_file_location.h"
#include "system_api.h"

namespace {
// Windows takes either slash and a drive letter; on Linux only '/' separates folders.
bool HasFolder(const std::string& name) {
  return name.find_first_of(PathSeparator == '/' ? "/" : "/\\:") != std::string::npos;
}

std::string InFolder(const std::string& folder, const std::string& name) {
  if (folder.empty()) return {};
  return folder.back() == PathSeparator ? folder + name : folder + PathSeparator + name;
}
}  // namespace

std::string SaverFolder() { return MakeSaverFolder() ? SaverFolderPath() : std::string(); }

std::string SaverFolderFile(const char* name) {
  const std::string folder = SaverFolder();
  return folder.empty() || !name ? std::string() : InFolder(folder, name);
}

bool InSaverFolder(const std::string& path) {
  const std::size_t separator = path.find_last_of(PathSeparator == '/' ? "/" : "/\\");
  const std::string folder = SaverFolderPath();
  return separator != std::string::npos && !folder.empty() && SameFileName(path.substr(0, separator), folder);
}

TSaverFileLocation LocateSaverFile(const std::string& name) {
  if (name.empty() || HasFolder(name)) return {name, {}};
  const std::string own = InFolder(SaverFolderPath(), name);
  const std::string found = FindOnSearchPath(name);
  if (found.empty()) return {own.empty() ? name : own, {}};
  if (own.empty() || SameFileName(found, own)) return {found, {}};
  // A copy of the user's own that a write put there because the found file could not take it, or
  // that was saved since: that is what the user chose last.
  if (FileExists(own) && (!CanReplaceFile(found) || IsNewerFile(own, found))) return {own, {}};
  return {found, own};
}
