// Private-profile (INI) files: one section of one file, read and written by key.
#pragma once

#include <memory>
#include <string>
#include <string_view>

class TProfile {
 public:
  // The file name is looked up on the system's file search; a name not found there is placed
  // in the Windows directory (on Linux its stand-in).
  TProfile(const char* section, const char* fileName);
  // The Linux back end's profile over text in memory, for tests and fuzz targets: no file is read or
  // written; WriteString edits the text, which Text() returns.
  struct TInMemory {
    std::string_view Text;
  };
  TProfile(const char* section, TInMemory source);
  std::string Text() const;

  ~TProfile();  // commits what WriteString stored
  TProfile(const TProfile&) = delete;
  TProfile& operator=(const TProfile&) = delete;

  // Copies the stored value, or defaultValue when the key is missing, cut to size - 1 characters.
  // Returns true when the key was found.
  bool GetString(const char* key, char* buffer, unsigned size, const char* defaultValue = "");

  // Replaces the key's value, appending the key (and the section, and the file) when new.
  bool WriteString(const char* key, const char* value);

  // Writes pending changes now; false when the file could not be written.
  bool Flush();

  const std::string& GetFileName() const;

  struct TState;  // defined by the back end

 private:
  std::unique_ptr<TState> State;
};
