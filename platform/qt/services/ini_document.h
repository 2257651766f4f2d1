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
  // The same without a copy: valid until the document is next changed.
  std::optional<std::string_view> View(std::string_view section, std::string_view key) const;

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
  enum class Kind : unsigned char { Other, Section, Key };
  struct Line {
    std::string text;    // without its line ending
    std::string ending;  // "\n", "\r\n" or "" (the last line of a file without a final line break)
    // What the text is, worked out once when the text is set: lookups then need not read every line
    // again. Name and value (trimmed) as offsets into text.
    Kind kind = Kind::Other;
    std::size_t nameBegin = 0, nameSize = 0, valueBegin = 0, valueSize = 0;
    std::size_t nameKey = 0;  // NameKey of the name: lines whose keys differ cannot match

    void Classify();
    std::string_view Name() const { return std::string_view(text).substr(nameBegin, nameSize); }
    std::string_view Value() const { return std::string_view(text).substr(valueBegin, valueSize); }
  };

  // Index range of a section's lines: the header at `header`, its body up to (not including) `end`.
  struct SectionRange {
    std::size_t header;
    std::size_t end;
  };

  // A hash of a name that ignores ASCII case, so that most lines are passed over without a compare.
  static std::size_t NameKey(std::string_view name);
  std::optional<SectionRange> FindSection(std::string_view section) const;
  std::optional<std::size_t> FindKey(const SectionRange& range, std::string_view key) const;
  std::string_view NewLineEnding() const;
  void InsertLine(std::size_t index, std::string text);

  std::vector<Line> Lines;
  // The section found last: readers and writers go through one section key after key, so the next
  // lookup is most likely in it. Kept in step with every insertion and removal of a line.
  mutable std::optional<SectionRange> LastSection;
  bool HasByteOrderMark = false;  // a UTF-8 mark in front of the first line, kept but not parsed
  bool UsesCrLf = false;          // the style of the file's first line ending, used for new lines
};
