// Reads the statements the program's resource script uses, one per line; anything else is refused
// with the file and line it stands on, so a script the reader cannot show fails the tests.
#include "resource_script.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>

namespace resource_script {
namespace {

constexpr std::uint32_t Child = 0x40000000;
constexpr std::uint32_t Popup = 0x80000000;
constexpr int IncludeDepthLimit = 8;

// The system's constants the script names; its headers are not read.
const std::map<std::string, std::int64_t, std::less<>> SystemNames = {
    {"WS_POPUP", Popup},          {"WS_CHILD", Child},         {"WS_VISIBLE", StyleVisible},
    {"WS_DISABLED", StyleDisabled}, {"WS_CAPTION", StyleCaption}, {"WS_BORDER", StyleBorder},
    {"WS_SYSMENU", StyleSysMenu}, {"WS_GROUP", StyleGroup},    {"WS_TABSTOP", StyleTabStop},
    {"DS_MODALFRAME", 0x80},      {"ES_LEFT", 0x0},            {"ES_AUTOHSCROLL", 0x80},
    {"IDOK", 1},                  {"IDCANCEL", 2},
};

struct TStatement {
  const char* Name;
  TControlKind Kind;
  std::uint32_t Style;  // beside WS_CHILD | WS_VISIBLE
};
const TStatement Statements[] = {
    {"LTEXT", TControlKind::Static, StyleGroup},
    {"PUSHBUTTON", TControlKind::PushButton, 0x0 | StyleTabStop},
    {"DEFPUSHBUTTON", TControlKind::DefPushButton, 0x1 | StyleTabStop},
    {"AUTOCHECKBOX", TControlKind::AutoCheckBox, 0x3 | StyleTabStop},
    {"GROUPBOX", TControlKind::GroupBox, 0x7},
    {"AUTORADIOBUTTON", TControlKind::AutoRadioButton, 0x9 | StyleTabStop},
};

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

// The first blank-separated word of `text`; `text` keeps the rest.
std::string_view Word(std::string_view& text) {
  text = Trim(text);
  std::size_t length = 0;
  while (length < text.size() && !std::isspace(static_cast<unsigned char>(text[length]))) ++length;
  const std::string_view word = text.substr(0, length);
  text = Trim(text.substr(length));
  return word;
}

bool IsName(std::string_view text) {
  if (text.empty() || std::isdigit(static_cast<unsigned char>(text.front()))) return false;
  for (char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

class TReader {
 public:
  explicit TReader(const TIncludeFiles& includes) : Includes(includes) {}

  TScript Read(std::string_view text) {
    enum class TPlace { Top, Options, Controls } place = TPlace::Top;
    TScript script;
    std::uint32_t style = 0;
    EachLine("resource script", text, [&](std::string_view line) {
      if (line.front() == '#') return Directive(line.substr(1));
      std::string_view rest = line;
      const std::string word = Upper(Word(rest));
      TDialog* dialog = script.Dialogs.empty() ? nullptr : &script.Dialogs.back();
      if (place == TPlace::Controls) {
        if (word == "END" && rest.empty()) {
          place = TPlace::Top;
        } else {
          dialog->Controls.push_back(Control(word, Fields(rest)));
        }
      } else if (place == TPlace::Options && word == "STYLE") {
        style = Styles(rest, 0);
      } else if (place == TPlace::Options && word == "CAPTION") {
        dialog->Caption = Text(rest);
        dialog->Style |= StyleCaption;
      } else if (place == TPlace::Options && word == "FONT") {
        const std::vector<std::string_view> fields = Fields(rest, 2);
        dialog->FontSize = Number(fields[0]);
        dialog->FontFace = Text(fields[1]);
      } else if (place == TPlace::Options && word == "BEGIN" && rest.empty()) {
        dialog->Style |= style;
        place = TPlace::Controls;
      } else if (place == TPlace::Top && IsName(word)) {
        // A name defined as a number is that number, as the resource compiler takes it.
        const std::string_view name = line.substr(0, word.size());
        const auto defined = Defines.find(name);
        const std::string id = defined != Defines.end() ? std::to_string(defined->second) : std::string(name);
        const std::string type = Upper(Word(rest));
        if (type == "ICON") {
          script.Icons.push_back(TIcon{id, Text(rest)});
        } else if (type == "DIALOG") {
          const std::vector<std::string_view> fields = Fields(rest, 4);
          script.Dialogs.push_back(TDialog{id, Number(fields[0]), Number(fields[1]), Number(fields[2]),
                                           Number(fields[3]), 0, {}, 0, {}, {}});
          // Without STYLE the resource compiler gives a bordered popup with a system menu.
          style = Popup | StyleBorder | StyleSysMenu;
          place = TPlace::Options;
        } else {
          Fail("expected ICON or DIALOG after " + id);
        }
      } else {
        Fail("unexpected '" + word + "'");
      }
    });
    if (place != TPlace::Top) Fail("expected BEGIN and END around the controls");
    return script;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw TScriptError(File + " line " + std::to_string(Line) + ": " + what);
  }

  // Calls `take` with every line that holds more than blanks and a comment.
  template <typename TTake>
  void EachLine(std::string file, std::string_view text, TTake take) {
    File = std::move(file);
    for (Line = 1; !text.empty(); ++Line) {
      const std::size_t end = std::min(text.find('\n'), text.size());
      std::string_view line = text.substr(0, end);
      text.remove_prefix(std::min(end + 1, text.size()));
      bool quoted = false;
      for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (!quoted && line.compare(i, 2, "//") == 0) line = line.substr(0, i);
      }
      line = Trim(line);
      if (!line.empty()) take(line);
    }
  }

  void Directive(std::string_view rest) {
    const std::string_view name = Word(rest);
    const std::string_view first = Word(rest);
    const std::string_view second = Word(rest);
    if (!rest.empty()) Fail("more than #" + std::string(name) + " takes");
    if (name == "pragma" && first == "once" && second.empty()) return;
    if (name == "include" && second.empty() && first.size() > 2 && first.front() == '<' && first.back() == '>') return;
    if (name == "include" && second.empty() && first.size() > 2 && first.front() == '"' && first.back() == '"') {
      return Include(std::string(first.substr(1, first.size() - 2)));
    }
    if (name == "define" && IsName(first)) {
      const std::optional<std::int64_t> value = Literal(second);
      if (!value) Fail("#define " + std::string(first) + " must name one number");
      Defines[std::string(first)] = *value;
      return;
    }
    Fail("unsupported directive #" + std::string(name));
  }

  // An included file may hold only directives and comments.
  void Include(const std::string& name) {
    if (Depth >= IncludeDepthLimit) Fail("#include \"" + name + "\" nested too deeply");
    const std::optional<std::string_view> text = Includes ? Includes(name) : std::nullopt;
    if (!text) Fail("cannot find the included file \"" + name + "\"");
    const std::string file = File;
    const int line = Line;
    ++Depth;
    EachLine(name, *text, [this](std::string_view header) {
      if (header.front() != '#') Fail("a header holds only directives");
      Directive(header.substr(1));
    });
    --Depth;
    File = file;
    Line = line;
  }

  // The comma-separated fields of a line; `count`, when given, is how many there must be.
  std::vector<std::string_view> Fields(std::string_view text, std::size_t count = 0) {
    std::vector<std::string_view> fields;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
      if (i < text.size() && text[i] == '"') quoted = !quoted;
      if (i == text.size() || (text[i] == ',' && !quoted)) {
        fields.push_back(Trim(text.substr(start, i - start)));
        start = i + 1;
      }
    }
    if (quoted) Fail("text without closing quote");
    if (count && fields.size() != count) Fail("expected " + std::to_string(count) + " fields");
    return fields;
  }

  std::string Text(std::string_view field) {
    if (field.size() < 2 || field.front() != '"' || field.back() != '"') Fail("expected a text in quotes");
    std::string text;
    for (std::size_t i = 1; i + 1 < field.size(); ++i) {
      // "" stands for one quote.
      if (field[i] == '"' && (i + 2 >= field.size() || field[++i] != '"')) Fail("stray quote in a text");
      text.push_back(field[i]);
    }
    return text;
  }

  static std::optional<std::int64_t> Literal(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    const bool hex = text.size() > 2 && (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X");
    if (hex) text.remove_prefix(2);
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, hex ? 16 : 10);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return negative ? -std::int64_t{value} : std::int64_t{value};
  }

  // A number, or a name the script defined or the system's headers do.
  std::int64_t Value(std::string_view field) {
    field = Trim(field);
    if (const std::optional<std::int64_t> literal = Literal(field)) return *literal;
    if (const auto defined = Defines.find(field); defined != Defines.end()) return defined->second;
    if (const auto known = SystemNames.find(field); known != SystemNames.end()) return known->second;
    Fail(IsName(field) ? "unknown name '" + std::string(field) + "'" : "expected a number or a name");
  }

  int Number(std::string_view field) { return static_cast<std::int32_t>(Value(field)); }

  std::uint32_t Styles(std::string_view field, std::uint32_t styles) {
    for (std::size_t bar = field.find('|'); bar != std::string_view::npos; bar = field.find('|')) {
      styles |= static_cast<std::uint32_t>(Value(field.substr(0, bar)));
      field.remove_prefix(bar + 1);
    }
    return styles | static_cast<std::uint32_t>(Value(field));
  }

  TControl Control(const std::string& kind, const std::vector<std::string_view>& fields) {
    constexpr std::uint32_t Base = Child | StyleVisible;
    TControl control;
    if (kind == "CONTROL") {
      // The generic statement serves the edit fields, which EDITTEXT cannot give a starting text.
      if (fields.size() != 8 || Upper(Text(fields[2])) != "EDIT") Fail("expected a CONTROL of class \"EDIT\"");
      control = TControl{TControlKind::Edit, Text(fields[0]), Number(fields[1]), Number(fields[4]),
                         Number(fields[5]), Number(fields[6]), Number(fields[7]), Styles(fields[3], Base)};
      return control;
    }
    for (const TStatement& statement : Statements) {
      if (kind != statement.Name) continue;
      if (fields.size() != 6 && fields.size() != 7) Fail("expected 6 or 7 fields");
      const std::uint32_t style = Base | statement.Style;
      return TControl{statement.Kind, Text(fields[0]), Number(fields[1]), Number(fields[2]), Number(fields[3]),
                      Number(fields[4]), Number(fields[5]), fields.size() == 7 ? Styles(fields[6], style) : style};
    }
    Fail("unknown control kind '" + kind + "'");
  }

  const TIncludeFiles& Includes;
  std::map<std::string, std::int64_t, std::less<>> Defines;
  std::string File;
  int Line = 0;
  int Depth = 0;
};

}  // namespace

const TDialog* TScript::FindDialog(std::string_view name) const {
  const std::string wanted = Upper(name);
  for (const TDialog& dialog : Dialogs) {
    if (Upper(dialog.Name) == wanted) return &dialog;
  }
  return nullptr;
}

TScript Parse(std::string_view text, const TIncludeFiles& includes) { return TReader(includes).Read(text); }

std::vector<int> ControlGroups(const TDialog& dialog) {
  std::vector<int> groups;
  groups.reserve(dialog.Controls.size());
  int group = 0;
  for (std::size_t i = 0; i < dialog.Controls.size(); ++i) {
    if (i > 0 && (dialog.Controls[i].Style & StyleGroup)) ++group;
    groups.push_back(group);
  }
  return groups;
}

}  // namespace resource_script
