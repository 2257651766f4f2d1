// Fuzzes the insertion of this saver into the user's ~/.xscreensaver: with any file and any system
// defaults, everything before the list's last line and after its line break is kept byte for byte, the
// entry is then in the list, and adding it again changes nothing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "xscreensaver_list.h"

namespace {
void check(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first byte picks the entry; the file and the system's defaults follow, split at the first NUL.
  if (size < 1) return 0;
  static const char* const entries[] = {"tesmar --root", "/usr/bin/tesmar --root", "tesmar"};
  const std::string entry = entries[data[0] % 3];
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t split = rest.find('\0');
  const std::string text(rest.substr(0, split));
  const std::string systemList =
      ProgramsResource(std::string(split == rest.npos ? std::string_view() : rest.substr(split + 1)));

  bool listed = false;
  const std::string added = AddProgramEntry(text, entry, systemList, listed);
  if (listed) {
    check(added == text);
    return 0;
  }
  check(added.find(entry) != std::string::npos);
  check(added.size() > text.size() || !text.empty());

  // The text splits into a kept head, the insertion, and a kept tail; what lies between head and
  // tail in the old text is at most the blanks and the line break that ended the list's last line.
  std::size_t head = 0;
  while (head < text.size() && head < added.size() && text[head] == added[head]) ++head;
  std::size_t tail = 0;
  while (tail < text.size() - head && tail < added.size() - head &&
         text[text.size() - 1 - tail] == added[added.size() - 1 - tail]) {
    ++tail;
  }
  const std::string_view dropped = std::string_view(text).substr(head, text.size() - head - tail);
  check(dropped.find_first_not_of(" \t\r\n") == std::string_view::npos);
  check(std::count(dropped.begin(), dropped.end(), '\n') <= 1);

  bool again = false;
  const std::string twice = AddProgramEntry(added, entry, systemList, again);
  check(again && twice == added);
  return 0;
}
