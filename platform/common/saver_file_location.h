// Where a profile of a bare file name is read and written, for both back ends' profile services, and
// what each back end provides for it.
#pragma once

#include <string>

struct TSaverFileLocation {
  std::string Path;      // read from, and written first
  std::string Fallback;  // where a write goes when Path cannot be written; empty when there is no other place
};

// The file the system's search finds, unless the user's own copy in the saver folder is the one to
// read: it exists and the found one cannot be written, or it was saved after the found one. With
// nothing found, the own copy. A name with a folder in it is taken as it is.
TSaverFileLocation LocateSaverFile(const std::string& name);

// Whether `path` names a file directly inside the saver folder, which may still have to be made.
bool InSaverFolder(const std::string& path);

// Back end: the saver folder's path, not made; empty when the system names none.
std::string SaverFolderPath();
// Back end: makes the saver folder with what it needs; true when it exists afterwards.
bool MakeSaverFolder();
// Back end: OpenFile(OF_EXIST) for a bare name: the full path of the first file found on the system's
// search path, or empty.
std::string FindOnSearchPath(const std::string& name);
// Back end: whether the file and its folder may be written, so that the file can be replaced.
bool CanReplaceFile(const std::string& path);
// Back end: whether a file (not a folder) of that path exists.
bool FileExists(const std::string& path);
// Back end: whether `path` is a file last written after `other`; false when either is missing.
bool IsNewerFile(const std::string& path, const std::string& other);
// Back end: whether two paths name the same file, as the file system compares names.
bool SameFileName(const std::string& path, const std::string& other);
