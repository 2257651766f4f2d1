// Linux services beside the stand-ins of system_api.h: what the program entry hands over, and the
// file search that the profile and the stand-ins share.
#pragma once

#include <string>

// The program entry passes its arguments so that GetCommandLineA can rebuild the command line;
// until then it is read from /proc/self/cmdline.
void SetProgramArguments(int argc, char** argv);

// The saver folder (saver_file_location.h), which is also the Windows directory's stand-in, is
// $XDG_CONFIG_HOME/tes-mar, else $HOME/.config/tes-mar, computed from the environment at each call;
// MakeSaverFolder creates it with its parents, mode 0700 as for any config folder.

// OpenFile(OF_EXIST) for a file name: a name with a directory part is checked as it is; a bare name is
// looked for in the program's directory, the current directory, the Windows directory and each PATH
// folder, in that order. The full path of the first file found, or empty when there is none.
std::string SearchFile(const std::string& fileName);
