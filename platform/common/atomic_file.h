// Writing a whole file so that a reader, or a crash, sees either the old file or the new one.
#pragma once

#include <string>

// Writes the bytes to a temporary file beside `path`, flushes it to disk and renames it over `path`.
// On failure the old file is untouched, the temporary file is removed and false is returned.
bool WriteFileAtomically(const std::string& path, const std::string& bytes);
