// Keeps two full-screen savers of this program from running at once. On Windows NT and later the
// system sets its screen-saver-running flag itself for every saver it starts, this one included, so
// there the flag cannot tell whether another saver of this program runs: a claim that the system
// drops with the process, however it ends, tells instead.
#pragma once

// True where the screen-saver-running flag is the system's own (Windows NT and later).
bool SaverFlagBelongsToSystem();

// True when another process holds the claim of that name; leaves the claim as it was.
bool SaverClaimedElsewhere(const char* name);

// Takes the claim of that name for the rest of the process; false when another process holds it.
// A claim that cannot be checked at all counts as taken, so a system fault never stops the saver.
bool ClaimSaver(const char* name);
