// The saver's settings: the choices stored in "tes-mar.ini" that the window and the dialog share, how
// their values are read, and one run's choices that a tool or a host puts in their place.
#pragma once

#include <cstddef>

class TProfile;

// The settings file and its section (parameter files use the same section name).
extern const char SettingsFile[];
extern const char SettingsSection[];
// The parameter file a run starts from and ends in unless the settings name another.
extern const char DefaultParamFile[];

constexpr std::size_t ParamFileSize = 140;
extern int frame_on;
extern int what_file;
extern char param_file[ParamFileSize];
// Minutes after which the saver starts its run afresh, 0 for never ("Reinit_minutes").
extern int reinit_minutes;
// The most minutes a system timer can count in milliseconds.
constexpr int MaxReinitMinutes = 71582;

// Every reader takes a setting's value into a buffer of this size, so at most 31 characters count.
constexpr unsigned SettingBufferSize = 32;

// The first integer in a setting's text, as "%d" reads it; fallback when there is none.
int ReadSettingInt(const char* text, int fallback);
// Copies the first blank-delimited word of text, as "%s" reads it, cut to fit size - 1 characters.
void ReadSettingWord(const char* text, char* word, std::size_t size);
// Reads the settings file as the window (speed default 2, no file name) and the dialog (1,
// "default.tmr") do: "Frame_on", "what_file", "param_file" and "Reinit_minutes" into the program-wide
// settings, a value with no number leaving its setting as it was; returns the speed, the default when
// it has no number.
int ReadStoredSettings(TProfile& profile, int speedDefault, const char* paramFileDefault);
// Stores value as "%d" writes it; false when the profile refused it.
bool WriteSettingInt(TProfile& profile, const char* key, int value);
// Copies text cut to size - 1 characters, always terminated.
void CopyCut(char* target, std::size_t size, const char* text);

// For tools that run the saver window off screen: start the engine from this parameter file whatever
// the settings say (null goes back to the settings).
void SetStartFileOverride(const char* fileName);
// The file that override names, or null when the settings decide.
const char* StartFileOverride();

// One run's choices in place of the settings file's (the hosts' command line); -1 keeps the file's.
struct TRunChoices {
  int Speed = -1;
  int FrameOn = -1;
  int WhatFile = -1;
};
void SetRunChoices(const TRunChoices& choices);
const TRunChoices& RunChoices();
