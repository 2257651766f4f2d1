// Parsing, lookup and line-preserving edits of private-profile (INI) text.
#include "ini_document.h"

#include <algorithm>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Plain tests rather than find_first_of and its relatives, which look each character up in the set
// with a library call.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  std::size_t first = 0, last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool HasLineBreak(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
}

enum class LineKind { Other, Section, Key };

struct LineInfo {
  LineKind kind = LineKind::Other;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key lines: the text after the first '=', trimmed
};

// Comment lines (';' or '#') and lines without '=' are kept but never match a lookup.
LineInfo Classify(std::string_view text) {
  const std::string_view line = Trim(text);
  LineInfo info;
  if (line.empty() || line.front() == ';' || line.front() == '#') return info;
  if (line.front() == '[') {
    const auto close = line.rfind(']');
    if (close != std::string_view::npos && close > 0) {
      info.kind = LineKind::Section;
      info.name = Trim(line.substr(1, close - 1));
    }
    return info;
  }
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return info;
  info.name = Trim(line.substr(0, equals));
  if (info.name.empty()) return info;
  info.kind = LineKind::Key;
  info.value = Trim(line.substr(equals + 1));
  return info;
}

}  // namespace

void IniDocument::Line::Classify() {
  const LineInfo info = ::Classify(text);
  kind = info.kind == LineKind::Section ? Kind::Section : info.kind == LineKind::Key ? Kind::Key : Kind::Other;
  const auto offset = [&](std::string_view part) {
    return part.empty() ? 0 : static_cast<std::size_t>(part.data() - text.data());
  };
  nameBegin = offset(info.name);
  nameSize = info.name.size();
  valueBegin = offset(info.value);
  valueSize = info.value.size();
  nameKey = NameKey(Name());
}

std::size_t IniDocument::NameKey(std::string_view name) {
  std::size_t key = name.size();
  for (char c : name) key = key * 31 + static_cast<unsigned char>(LowerAscii(c));
  return key;
}

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument document;
  if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    document.HasByteOrderMark = true;
    bytes.remove_prefix(kByteOrderMark.size());
  }
  bool styleKnown = false;
  document.Lines.reserve(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
  while (!bytes.empty()) {
    const auto newline = bytes.find('\n');
    Line line;
    if (newline == std::string_view::npos) {
      line.text = std::string(bytes);
      bytes = {};
    } else {
      std::string_view text = bytes.substr(0, newline);
      const bool crlf = !text.empty() && text.back() == '\r';
      if (crlf) text.remove_suffix(1);
      line.text = std::string(text);
      line.ending = crlf ? "\r\n" : "\n";
      if (!styleKnown) {
        document.UsesCrLf = crlf;
        styleKnown = true;
      }
      bytes.remove_prefix(newline + 1);
    }
    line.Classify();
    document.Lines.push_back(std::move(line));
  }
  return document;
}

std::string IniDocument::Serialize() const {
  std::size_t size = HasByteOrderMark ? kByteOrderMark.size() : 0;
  for (const Line& line : Lines) size += line.text.size() + line.ending.size();
  std::string bytes;
  bytes.reserve(size);
  if (HasByteOrderMark) bytes += kByteOrderMark;
  for (const Line& line : Lines) {
    bytes += line.text;
    bytes += line.ending;
  }
  return bytes;
}

bool IniDocument::IsStorableSection(std::string_view section) {
  return !Trim(section).empty() && !HasLineBreak(section);
}

bool IniDocument::IsStorableKey(std::string_view key) {
  const std::string_view name = Trim(key);
  if (name.empty() || HasLineBreak(key) || key.find('=') != key.npos) return false;
  return name.front() != '[' && name.front() != ';' && name.front() != '#';
}

bool IniDocument::IsStorableValue(std::string_view value) { return !HasLineBreak(value); }

std::optional<IniDocument::SectionRange> IniDocument::FindSection(std::string_view section) const {
  const std::string_view wanted = Trim(section);
  if (wanted.empty()) return std::nullopt;
  const std::size_t wantedKey = NameKey(wanted);
  const auto matches = [&](const Line& line) {
    return line.nameKey == wantedKey && line.kind == Kind::Section && EqualNoCase(line.Name(), wanted);
  };
  // No section of the name can come before the one found last: lines added later are keys, or
  // sections of names not found.
  if (LastSection && matches(Lines[LastSection->header])) return LastSection;
  for (std::size_t i = 0; i < Lines.size(); ++i) {
    if (!matches(Lines[i])) continue;
    std::size_t end = i + 1;
    while (end < Lines.size() && Lines[end].kind != Kind::Section) ++end;
    LastSection = SectionRange{i, end};
    return LastSection;
  }
  return std::nullopt;
}

std::optional<std::size_t> IniDocument::FindKey(const SectionRange& range, std::string_view key) const {
  const std::string_view wanted = Trim(key);
  if (wanted.empty()) return std::nullopt;
  const std::size_t wantedKey = NameKey(wanted);
  for (std::size_t i = range.header + 1; i < range.end; ++i) {
    if (Lines[i].nameKey == wantedKey && Lines[i].kind == Kind::Key && EqualNoCase(Lines[i].Name(), wanted)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  const auto value = View(section, key);
  if (!value) return std::nullopt;
  return std::string(*value);
}

std::optional<std::string_view> IniDocument::View(std::string_view section, std::string_view key) const {
  const auto range = FindSection(section);
  if (!range) return std::nullopt;
  const auto index = FindKey(*range, key);
  if (!index) return std::nullopt;
  std::string_view value = Lines[*index].Value();
  // The platform's reader drops one pair of quotes around a value.
  if (value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\'')) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

std::string_view IniDocument::NewLineEnding() const { return UsesCrLf ? "\r\n" : "\n"; }

void IniDocument::InsertLine(std::size_t index, std::string text) {
  // A line inserted after the file's unterminated last line must not run on from it.
  if (index > 0 && Lines[index - 1].ending.empty()) Lines[index - 1].ending = NewLineEnding();
  Line line{std::move(text), std::string(NewLineEnding())};
  line.Classify();
  if (LastSection) {
    if (line.kind == Kind::Section) {
      LastSection.reset();
    } else if (index <= LastSection->header) {
      ++LastSection->header;
      ++LastSection->end;
    } else if (index <= LastSection->end) {
      ++LastSection->end;
    }
  }
  Lines.insert(Lines.begin() + static_cast<std::ptrdiff_t>(index), std::move(line));
}

bool IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (!IsStorableSection(section) || !IsStorableKey(key) || !IsStorableValue(value)) return false;
  const std::string_view name = Trim(key);
  std::string newKeyLine;
  newKeyLine.reserve(name.size() + 1 + value.size());
  newKeyLine.append(name).append("=").append(value);

  const auto range = FindSection(section);
  if (!range) {
    if (!Lines.empty() && !Trim(Lines.back().text).empty()) InsertLine(Lines.size(), "");
    InsertLine(Lines.size(), "[" + std::string(Trim(section)) + "]");
    InsertLine(Lines.size(), newKeyLine);
    return true;
  }

  if (const auto index = FindKey(*range, key)) {
    // Keep the line's own spelling of the key and its spacing around '='; only the value changes.
    std::string& text = Lines[*index].text;
    std::size_t valueStart = text.find('=') + 1;
    while (valueStart < text.size() && (text[valueStart] == ' ' || text[valueStart] == '\t')) ++valueStart;
    text.replace(valueStart, text.npos, value);
    Lines[*index].Classify();
    return true;
  }

  // After the section's last key, so trailing blank lines and comments stay where they were.
  std::size_t insertAt = range->header + 1;
  for (std::size_t i = range->end; i > range->header + 1; --i) {
    if (Lines[i - 1].kind == Kind::Key) {
      insertAt = i;
      break;
    }
  }
  InsertLine(insertAt, newKeyLine);
  return true;
}

bool IniDocument::Remove(std::string_view section, std::string_view key) {
  const auto range = FindSection(section);
  if (!range) return false;
  const auto index = FindKey(*range, key);
  if (!index) return false;
  Lines.erase(Lines.begin() + static_cast<std::ptrdiff_t>(*index));
  // The removed line was a key of the range found above, which is the one kept.
  if (LastSection) --LastSection->end;
  return true;
}
