// Adding this saver to xscreensaver's "programs:" resource in the user's settings file.
#include "xscreensaver_list.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "atomic_file.h"

namespace {

struct TLine {
  std::size_t Begin;  // offset of the line's first character
  std::size_t End;    // offset of its line break (or the text's end)
};

std::vector<TLine> Lines(const std::string& text) {
  std::vector<TLine> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    lines.push_back(TLine{begin, end});
    begin = end + 1;
  }
  return lines;
}

std::string_view Trimmed(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

bool ContinuesOnNextLine(std::string_view line) {
  line = Trimmed(line);
  return !line.empty() && line.back() == '\\';
}

// The line that opens the resource ("programs:" or "*programs:"), or npos.
std::size_t FindResource(const std::vector<TLine>& lines, const std::string& text, bool anyPrefix) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = Trimmed(std::string_view(text).substr(lines[i].Begin, lines[i].End - lines[i].Begin));
    if (anyPrefix && !line.empty() && line.front() == '*') line.remove_prefix(1);
    if (line.substr(0, 9) == "programs:") return i;
    // A continued line of another resource never opens one.
    while (ContinuesOnNextLine(line) && i + 1 < lines.size()) {
      ++i;
      line = std::string_view(text).substr(lines[i].Begin, lines[i].End - lines[i].Begin);
    }
  }
  return std::string::npos;
}

// The program word of the entry ("tesmar" of "tesmar --root").
std::string ProgramOf(const std::string& entry) {
  std::istringstream words(entry);
  std::string word;
  words >> word;
  const std::size_t slash = word.rfind('/');
  return slash == std::string::npos ? word : word.substr(slash + 1);
}

bool Mentions(std::string_view block, const std::string& program) {
  std::string word;
  auto check = [&] {
    const std::size_t slash = word.rfind('/');
    const bool found = (slash == std::string::npos ? word : word.substr(slash + 1)) == program;
    word.clear();
    return found;
  };
  for (std::size_t i = 0; i < block.size(); ++i) {
    const char c = block[i];
    // "\n" ends an entry inside the resource's value.
    if (c == '\\' && i + 1 < block.size() && block[i + 1] == 'n') {
      if (check()) return true;
      ++i;
    } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\\' || c == '"') {
      if (check()) return true;
    } else {
      word += c;
    }
  }
  return check();
}

std::string EntryLine(const std::string& entry) { return "\t\t\t\t" + entry + "\t\t\t\t    \\n"; }

}  // namespace

std::string ProgramsResource(const std::string& appDefaults) {
  const std::vector<TLine> lines = Lines(appDefaults);
  const std::size_t start = FindResource(lines, appDefaults, true);
  if (start == std::string::npos) return {};
  std::string value;
  std::size_t i = start;
  while (ContinuesOnNextLine(std::string_view(appDefaults).substr(lines[i].Begin, lines[i].End - lines[i].Begin)) &&
         i + 1 < lines.size()) {
    ++i;
    value += appDefaults.substr(lines[i].Begin, lines[i].End - lines[i].Begin);
    value += '\n';
  }
  return value;
}

std::string AddProgramEntry(const std::string& text, const std::string& entry, const std::string& systemList,
                            bool& listed) {
  const std::string program = ProgramOf(entry);
  const std::vector<TLine> lines = Lines(text);
  const std::size_t start = FindResource(lines, text, false);
  listed = false;

  if (start == std::string::npos) {
    // No list of the user's own yet: the system's list, then this saver.
    if (Mentions(systemList, program)) {
      listed = true;
      return text;
    }
    std::string added = text;
    if (!added.empty() && added.back() != '\n') added += '\n';
    // A last line that ends in a continuation would take the new resource in as part of its own.
    if (!lines.empty() &&
        ContinuesOnNextLine(std::string_view(text).substr(lines.back().Begin, lines.back().End - lines.back().Begin))) {
      added += '\n';
    }
    added += "programs:\t\t\t\t\t\t\t\t      \\\n";
    std::string list = systemList;
    // The system's last entry continues on to ours.
    while (!list.empty() && (list.back() == '\n' || list.back() == ' ' || list.back() == '\t')) list.pop_back();
    if (!list.empty()) added += list + "\\\n";
    added += EntryLine(entry) + "\n";
    return added;
  }

  std::size_t last = start;
  while (ContinuesOnNextLine(std::string_view(text).substr(lines[last].Begin, lines[last].End - lines[last].Begin)) &&
         last + 1 < lines.size()) {
    ++last;
  }
  const std::size_t blockBegin = lines[start].Begin;
  const std::size_t blockEnd = lines[last].End;
  if (Mentions(std::string_view(text).substr(blockBegin, blockEnd - blockBegin), program)) {
    listed = true;
    return text;
  }

  // The last line gets a continuation (and the entry end "\n" when it lacks one); ours follows it.
  std::string_view lastLine = std::string_view(text).substr(lines[last].Begin, lines[last].End - lines[last].Begin);
  const bool crlf = !lastLine.empty() && lastLine.back() == '\r';
  std::size_t contentEnd = lines[last].End - (crlf ? 1 : 0);
  while (contentEnd > lines[last].Begin && (text[contentEnd - 1] == ' ' || text[contentEnd - 1] == '\t')) --contentEnd;
  const std::string_view content = std::string_view(text).substr(lines[last].Begin, contentEnd - lines[last].Begin);
  const bool onlyName = last == start;
  const bool endsEntry = content.size() >= 2 && content.substr(content.size() - 2) == "\\n";
  const std::string newline = crlf ? "\r\n" : "\n";

  std::string added = text.substr(0, contentEnd);
  if (!onlyName && !endsEntry) added += "\\n";
  added += "\\" + newline + EntryLine(entry);
  // What followed the old last line's content (its blanks, its line break, the rest) stays as it was.
  const std::size_t rest = lines[last].End;
  if (rest < text.size()) {
    added += newline;
    added += text.substr(rest + 1);
  } else {
    added += newline;
  }
  return added;
}

int AddToXscreensaverFile(const std::string& path, const std::string& appDefaultsPath, const std::string& entry) {
  std::string text;
  {
    std::ifstream file(path, std::ios::binary);
    if (file.is_open()) {
      std::ostringstream bytes;
      bytes << file.rdbuf();
      if (file.bad()) {
        std::fprintf(stderr, "tesmar: cannot read %s\n", path.c_str());
        return 1;
      }
      text = bytes.str();
    }
  }
  std::string systemList;
  {
    std::ifstream defaults(appDefaultsPath, std::ios::binary);
    if (defaults.is_open()) {
      std::ostringstream bytes;
      bytes << defaults.rdbuf();
      systemList = ProgramsResource(bytes.str());
    }
  }
  bool listed = false;
  const std::string added = AddProgramEntry(text, entry, systemList, listed);
  if (listed) {
    std::printf("tesmar is already in %s\n", path.c_str());
    return 0;
  }
  if (!WriteFileAtomically(path, added)) {
    std::fprintf(stderr, "tesmar: cannot write %s\n", path.c_str());
    return 1;
  }
  std::printf("added \"%s\" to %s\n", entry.c_str(), path.c_str());
  return 0;
}
