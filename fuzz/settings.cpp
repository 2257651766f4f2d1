// Fuzzes the settings readers of the saver window and of the settings dialog with any "tes-mar.ini":
// both read it without a crash or an overrun, and what the dialog's OK stores over that file reads
// back as what the dialog showed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "settings.h"
#include "profile.h"

namespace {
void check(bool condition) {
  if (!condition) std::abort();
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

void checkFileName() {
  const std::size_t length = strnlen(param_file, ParamFileSize);
  check(length < ParamFileSize);
  for (std::size_t i = 0; i < length; ++i) check(!isBlank(param_file[i]));
}

void writeInt(TProfile& profile, const char* key, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  check(profile.WriteString(key, text));
}

// The reader's one pair of quotes taken off a value: a name stored as 'x' reads back as x, as the
// platform's reader does it.
bool quoted(const std::string& name) {
  return name.size() >= 2 && name.front() == name.back() && (name.front() == '"' || name.front() == '\'');
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TProfile profile(SettingsSection,
                   TProfile::TInMemory{std::string_view(reinterpret_cast<const char*>(data), size)});
  frame_on = what_file = 0;

  // The window's reading.
  (void)ReadStoredSettings(profile, 2, "");
  checkFileName();

  // The dialog's, and what its controls then show.
  const int speed = ReadStoredSettings(profile, 1, "default.tmr");
  checkFileName();
  const int shownSpeed = speed >= 0 && speed <= 2 ? speed : 2;  // no button checked stores fast
  const int shownFrame = frame_on ? 1 : 0;
  const int shownWhatFile = what_file == 1 ? 1 : 0;
  const std::string shownName(param_file, strnlen(param_file, 39));  // the field keeps 39 characters

  // OK over the same file.
  writeInt(profile, "Speed", shownSpeed);
  writeInt(profile, "Frame_on", shownFrame);
  writeInt(profile, "what_file", shownWhatFile);
  check(profile.WriteString("param_file", shownName.c_str()));

  TProfile reread(SettingsSection, TProfile::TInMemory{profile.Text()});
  frame_on = what_file = -5;
  check(ReadStoredSettings(reread, 1, "default.tmr") == shownSpeed);
  check(frame_on == shownFrame && what_file == shownWhatFile);
  if (!quoted(shownName)) check(shownName == param_file);
  return 0;
}
