// Reading and writing the saver's settings, and one run's choices in their place.
#include "settings.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "profile.h"

const char SettingsFile[] = "tes-mar.ini";
const char SettingsSection[] = "tes-mar_ScreenSaver";
const char DefaultParamFile[] = "default.tmr";

int frame_on = 0;
int what_file = 0;
char param_file[ParamFileSize] = "";
int reinit_minutes = 0;

namespace {
std::string startFileOverride;
bool startFileOverridden = false;
TRunChoices runChoices;
}  // namespace

int ReadSettingInt(const char* text, int fallback) {
  if (!text) return fallback;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (end == text) return fallback;
  // Clamped rather than undefined when the digits exceed an int.
  if (value > INT_MAX || (errno == ERANGE && value > 0)) return INT_MAX;
  if (value < INT_MIN || (errno == ERANGE && value < 0)) return INT_MIN;
  return static_cast<int>(value);
}

void ReadSettingWord(const char* text, char* word, std::size_t size) {
  if (size == 0) return;
  std::size_t length = 0;
  if (text) {
    while (*text == ' ' || *text == '\t' || *text == '\r' || *text == '\n' || *text == '\v' || *text == '\f') ++text;
    while (text[length] && text[length] != ' ' && text[length] != '\t' && text[length] != '\r' &&
           text[length] != '\n' && text[length] != '\v' && text[length] != '\f' && length + 1 < size) {
      ++length;
    }
    std::memcpy(word, text, length);
  }
  word[length] = '\0';
}

int ReadStoredSettings(TProfile& profile, int speedDefault, const char* paramFileDefault) {
  char buffer[SettingBufferSize] = "";
  char speedText[16];
  std::snprintf(speedText, sizeof speedText, "%d", speedDefault);
  profile.GetString("Speed", buffer, sizeof buffer, speedText);
  const int speed = ReadSettingInt(buffer, speedDefault);

  // Like "%d": a value with no number leaves the setting as it was.
  profile.GetString("Frame_on", buffer, sizeof buffer, "1");
  frame_on = ReadSettingInt(buffer, frame_on);
  profile.GetString("what_file", buffer, sizeof buffer, "1");
  what_file = ReadSettingInt(buffer, what_file);

  profile.GetString("param_file", buffer, sizeof buffer, paramFileDefault);
  ReadSettingWord(buffer, param_file, sizeof param_file);
  profile.GetString("Reinit_minutes", buffer, sizeof buffer, "0");
  reinit_minutes = ReadSettingInt(buffer, reinit_minutes);
  return speed;
}

bool WriteSettingInt(TProfile& profile, const char* key, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return profile.WriteString(key, text);
}

void CopyCut(char* target, std::size_t size, const char* text) {
  if (size == 0) return;
  const std::size_t length = text ? strnlen(text, size - 1) : 0;
  if (length) std::memcpy(target, text, length);
  target[length] = '\0';
}

void SetStartFileOverride(const char* fileName) {
  startFileOverridden = fileName != nullptr;
  startFileOverride = fileName ? fileName : "";
}

const char* StartFileOverride() { return startFileOverridden ? startFileOverride.c_str() : nullptr; }

void SetRunChoices(const TRunChoices& choices) { runChoices = choices; }

const TRunChoices& RunChoices() { return runChoices; }
