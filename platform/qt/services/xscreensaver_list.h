// The user's list of savers in xscreensaver's settings file (~/.xscreensaver), which the daemon reads
// instead of scanning for new savers: adding this saver to it.
#pragma once

#include <string>

// The text of a settings file with `entry` (a command such as "tesmar --root") added as the last
// entry of its "programs:" resource; everything else stays byte for byte. `systemList` is the
// programs resource of the system's defaults, used when the text has none of its own. Sets `listed`
// and returns the text unchanged when a program of the entry's name is already in the list.
std::string AddProgramEntry(const std::string& text, const std::string& entry, const std::string& systemList,
                            bool& listed);

// The value lines of the "*programs:" resource of an app-defaults file's text (empty when none).
std::string ProgramsResource(const std::string& appDefaults);

// Adds `entry` to the file at `path` (created when missing, from the system's list at
// `appDefaultsPath`), writing atomically. Returns 0 when the entry is there afterwards; otherwise
// says why on standard error and returns non-zero.
int AddToXscreensaverFile(const std::string& path, const std::string& appDefaultsPath, const std::string& entry);
