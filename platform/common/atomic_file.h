// Writing a whole file so that a reader, or a crash, sees either the old file or the new one.
#pragma once

#include <string>

// Writes the bytes to a temporary file beside `path` (named path + ".tmp" + the process id), flushes
// it to disk and renames it over `path`. On failure the old file is untouched, the temporary file is
// removed and false is returned. A successful write also removes what killed writers left.
bool WriteFileAtomically(const std::string& path, const std::string& bytes);

// Removes the temporary files of `path` whose writer no longer runs; those of running writers, which
// may be about to rename theirs, stay.
void RemoveStaleTemporaryFiles(const std::string& path);
