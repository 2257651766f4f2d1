// Fuzzes the saver's command-line reader: any text gives one of the five modes and never reads
// past its end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tscrnsav.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A heap copy of exactly the text and its terminator, so ASan sees any read past the end.
  const std::string text(reinterpret_cast<const char*>(data), size);
  char* line = static_cast<char*>(std::malloc(text.size() + 1));
  if (!line) return 0;
  std::memcpy(line, text.c_str(), text.size() + 1);
  long parent = 0;
  const int mode = ReadScrMode(line, parent);
  std::free(line);
  if (mode < ScrModeNone || mode > ScrModeSave) std::abort();
  if (mode != ScrModePassword && parent != 0) std::abort();
  return 0;
}
