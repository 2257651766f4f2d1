// Fuzzes the private-profile reader and writer: any bytes read back unchanged; a written key is
// readable afterwards, every other section's lines survive the write, and an edited document looks
// keys up as a fresh reading of its text does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ini_document.h"

namespace {
void check(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first bytes choose the section, key and value to write; the rest is the file.
  if (size < 3) return 0;
  const std::size_t sectionLength = data[0] % 16;
  const std::size_t keyLength = data[1] % 16;
  const std::size_t valueLength = data[2] % 64;
  std::size_t offset = 3;
  auto take = [&](std::size_t length) {
    length = std::min(length, size - offset);
    std::string_view piece(reinterpret_cast<const char*>(data) + offset, length);
    offset += length;
    return std::string(piece);
  };
  const std::string section = take(sectionLength);
  const std::string key = take(keyLength);
  const std::string value = take(valueLength);
  const std::string_view file(reinterpret_cast<const char*>(data) + offset, size - offset);

  IniDocument document = IniDocument::Parse(file);
  check(document.Serialize() == file);
  (void)document.Get(section, key);

  const std::string other = "fuzz-untouched-section";
  const bool otherBefore = document.Get(other, "k").has_value();
  const std::string otherValue = otherBefore ? *document.Get(other, "k") : std::string();

  if (document.Set(section, key, value)) {
    const IniDocument reread = IniDocument::Parse(document.Serialize());
    const auto stored = reread.Get(section, key);
    check(stored.has_value());
    // Values are trimmed on reading, and one pair of quotes may be taken off.
    check(stored->size() <= value.size());
    if (otherBefore && section.size() != other.size()) {
      const auto kept = reread.Get(other, "k");
      check(kept.has_value() && *kept == otherValue);
    }
    // The edited document finds what a fresh reading of its text finds, after a removal too.
    check(document.Get(section, key) == stored);
    check(document.Get(other, "k") == reread.Get(other, "k"));
    check(document.Remove(section, key));
    const IniDocument removed = IniDocument::Parse(document.Serialize());
    check(document.Get(section, key) == removed.Get(section, key));
    check(document.Get(other, "k") == removed.Get(other, "k"));
  }
  return 0;
}
