// The text of a private-profile (INI) file as lines, with lookup and in-place edits by section and key.
// No file I/O here: Parse and Serialize are pure, so tests and a fuzz target can drive them directly.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniDocument {
 public:
  IniDocument() = default;

  // Any bytes are accepted; Serialize() of an untouched document returns them unchanged.
  static IniDocument Parse(std::string_view bytes);
  std::string Serialize() const;

  // The trimmed value of the first matching key in the first matching section (names match without
  // regard to ASCII case); nothing when the section or the key is missing.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // Replaces the key's value on its own line or appends the key at the end of its section, adding the
  // section at the end of the document when it is missing. Every other line is kept byte for byte.
  // False (and no change) when the names or the value cannot be stored as one line of this layout.
  bool Set(std::string_view section, std::string_view key, std::string_view value);

  // Removes the key's line; false when there was none.
  bool Remove(std::string_view section, std::string_view key);

  // Names a key may have: not empty, no line break, no '=', not taken for a comment or a section.
  static bool IsStorableKey(std::string_view key);
  static bool IsStorableSection(std::string_view section);
  static bool IsStorableValue(std::string_view value);

 private:
  struct Line {
    std::string text;    // without its line ending
    std::string ending;  // "\n", "\r\n" or "" (the last line of a file without a final line break)
  };

  // Index range of a section's lines: the header at `header`, its body up to (not including) `end`.
  struct SectionRange {
    std::size_t header;
    std::size_t end;
  };

  std::optional<SectionRange> FindSection(std::string_view section) const;
  std::optional<std::size_t> FindKey(const SectionRange& range, std::string_view key) const;
  std::string_view NewLineEnding() const;
  void InsertLine(std::size_t index, std::string text);

  std::vector<Line> Lines;
  bool HasByteOrderMark = false;  // a UTF-8 mark in front of the first line, kept but not parsed
  bool UsesCrLf = false;          // the style of the file's first line ending, used for new lines
};
