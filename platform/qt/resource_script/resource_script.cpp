// Reads the part of the resource-script language the program uses: #define, ICON, DIALOG(EX) with
// its options and controls. Anything else is refused with the line it stands on.
#include "resource_script.h"

#include <cctype>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>

namespace resource_script {
namespace {

constexpr std::uint32_t Child = 0x40000000;
constexpr std::uint32_t Popup = 0x80000000;
constexpr int MacroDepthLimit = 32;
// Bounds for hostile scripts: how deep an expression nests, how many macro uses one script may make.
constexpr int NestingLimit = 64;
constexpr int ExpansionLimit = 10000;
constexpr int IncludeDepthLimit = 8;

// The system's constants a script may name without including anything.
const std::map<std::string, std::int64_t, std::less<>>& KnownNames() {
  static const std::map<std::string, std::int64_t, std::less<>> names = {
      {"WS_OVERLAPPED", 0}, {"WS_POPUP", 0x80000000}, {"WS_CHILD", 0x40000000}, {"WS_MINIMIZE", 0x20000000},
      {"WS_VISIBLE", 0x10000000}, {"WS_DISABLED", 0x08000000}, {"WS_CLIPSIBLINGS", 0x04000000},
      {"WS_CLIPCHILDREN", 0x02000000}, {"WS_MAXIMIZE", 0x01000000}, {"WS_CAPTION", 0x00C00000},
      {"WS_BORDER", 0x00800000}, {"WS_DLGFRAME", 0x00400000}, {"WS_VSCROLL", 0x00200000},
      {"WS_HSCROLL", 0x00100000}, {"WS_SYSMENU", 0x00080000}, {"WS_THICKFRAME", 0x00040000},
      {"WS_GROUP", 0x00020000}, {"WS_TABSTOP", 0x00010000}, {"WS_MINIMIZEBOX", 0x00020000},
      {"WS_MAXIMIZEBOX", 0x00010000}, {"WS_EX_DLGMODALFRAME", 0x1}, {"WS_EX_TOPMOST", 0x8},
      {"WS_EX_CLIENTEDGE", 0x200}, {"WS_EX_STATICEDGE", 0x20000}, {"DS_ABSALIGN", 0x1}, {"DS_SYSMODAL", 0x2},
      {"DS_3DLOOK", 0x4}, {"DS_FIXEDSYS", 0x8}, {"DS_NOFAILCREATE", 0x10}, {"DS_LOCALEDIT", 0x20},
      {"DS_SETFONT", 0x40}, {"DS_MODALFRAME", 0x80}, {"DS_NOIDLEMSG", 0x100}, {"DS_SETFOREGROUND", 0x200},
      {"DS_CONTROL", 0x400}, {"DS_CENTER", 0x800}, {"DS_CENTERMOUSE", 0x1000}, {"DS_CONTEXTHELP", 0x2000},
      {"DS_SHELLFONT", 0x48}, {"ES_LEFT", 0x0}, {"ES_CENTER", 0x1}, {"ES_RIGHT", 0x2}, {"ES_MULTILINE", 0x4},
      {"ES_UPPERCASE", 0x8}, {"ES_LOWERCASE", 0x10}, {"ES_PASSWORD", 0x20}, {"ES_AUTOVSCROLL", 0x40},
      {"ES_AUTOHSCROLL", 0x80}, {"ES_NOHIDESEL", 0x100}, {"ES_OEMCONVERT", 0x400}, {"ES_READONLY", 0x800},
      {"ES_WANTRETURN", 0x1000}, {"ES_NUMBER", 0x2000}, {"BS_PUSHBUTTON", 0x0}, {"BS_DEFPUSHBUTTON", 0x1},
      {"BS_CHECKBOX", 0x2}, {"BS_AUTOCHECKBOX", 0x3}, {"BS_RADIOBUTTON", 0x4}, {"BS_3STATE", 0x5},
      {"BS_AUTO3STATE", 0x6}, {"BS_GROUPBOX", 0x7}, {"BS_AUTORADIOBUTTON", 0x9}, {"BS_LEFTTEXT", 0x20},
      {"BS_LEFT", 0x100}, {"BS_RIGHT", 0x200}, {"BS_CENTER", 0x300}, {"BS_TOP", 0x400}, {"BS_BOTTOM", 0x800},
      {"BS_VCENTER", 0xC00}, {"BS_MULTILINE", 0x2000}, {"BS_NOTIFY", 0x4000}, {"BS_FLAT", 0x8000},
      {"SS_LEFT", 0x0}, {"SS_CENTER", 0x1}, {"SS_RIGHT", 0x2}, {"SS_LEFTNOWORDWRAP", 0xC},
      {"SS_NOPREFIX", 0x80}, {"SS_NOTIFY", 0x100}, {"SS_SUNKEN", 0x1000}, {"IDOK", 1}, {"IDCANCEL", 2},
      {"IDABORT", 3}, {"IDRETRY", 4}, {"IDIGNORE", 5}, {"IDYES", 6}, {"IDNO", 7}, {"IDC_STATIC", -1},
      {"LANG_NEUTRAL", 0}, {"LANG_GERMAN", 0x07}, {"LANG_ENGLISH", 0x09}, {"SUBLANG_NEUTRAL", 0},
      {"SUBLANG_DEFAULT", 1}, {"SUBLANG_SYS_DEFAULT", 2}, {"SUBLANG_ENGLISH_US", 1}, {"SUBLANG_GERMAN", 1},
  };
  return names;
}

enum class TTokenType { Name, Number, String, Punct, End };

struct TToken {
  TTokenType Type = TTokenType::End;
  std::string Text;  // the name, the string's value, or the punctuation character
  std::int64_t Value = 0;
  int Line = 0;
};

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

class TLexer {
 public:
  TLexer(std::string_view text, int line, bool directives, const TIncludeFiles* includes = nullptr, int depth = 0)
      : Text(text), Line(line), Directives(directives), Includes(includes), IncludeDepth(depth) {}

  // Macros the script defined with #define, as their token text.
  std::map<std::string, std::string, std::less<>> Macros;

  TToken Next() {
    SkipSpace();
    TToken token;
    token.Line = Line;
    if (Pos >= Text.size()) return token;
    const char c = Text[Pos];
    if (c == '"') {
      token.Type = TTokenType::String;
      token.Text = ReadString();
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      token.Type = TTokenType::Number;
      token.Value = ReadNumber();
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      token.Type = TTokenType::Name;
      const std::size_t start = Pos;
      while (Pos < Text.size() && (std::isalnum(static_cast<unsigned char>(Text[Pos])) || Text[Pos] == '_')) ++Pos;
      token.Text = std::string(Text.substr(start, Pos - start));
    } else if (std::string_view(",|+-~&(){}").find(c) != std::string_view::npos) {
      token.Type = TTokenType::Punct;
      token.Text = std::string(1, c);
      ++Pos;
    } else {
      Fail("unexpected character '" + std::string(1, c) + "'");
    }
    return token;
  }

  [[noreturn]] void Fail(const std::string& what) const { Raise(Line, what); }
  [[noreturn]] static void Raise(int line, const std::string& what) {
    throw TScriptError("resource script line " + std::to_string(line) + ": " + what);
  }

 private:
  void SkipSpace() {
    for (;;) {
      while (Pos < Text.size() && std::isspace(static_cast<unsigned char>(Text[Pos]))) {
        if (Text[Pos] == '\n') {
          ++Line;
          AtLineStart = true;
        }
        ++Pos;
      }
      if (Pos >= Text.size()) return;
      if (Text.compare(Pos, 2, "//") == 0) {
        while (Pos < Text.size() && Text[Pos] != '\n') ++Pos;
      } else if (Text.compare(Pos, 2, "/*") == 0) {
        const std::size_t end = Text.find("*/", Pos + 2);
        if (end == std::string_view::npos) Fail("comment without end");
        for (std::size_t i = Pos; i < end; ++i) Line += Text[i] == '\n';
        Pos = end + 2;
      } else if (Text[Pos] == '#' && AtLineStart && Directives) {
        Directive();
      } else {
        AtLineStart = false;
        return;
      }
    }
  }

  void Directive() {
    std::size_t end = Text.find('\n', Pos);
    if (end == std::string_view::npos) end = Text.size();
    std::string_view line = Text.substr(Pos + 1, end - Pos - 1);
    Pos = end;
    const auto word = [&line]() {
      std::size_t start = 0;
      while (start < line.size() && std::isspace(static_cast<unsigned char>(line[start]))) ++start;
      std::size_t stop = start;
      while (stop < line.size() && (std::isalnum(static_cast<unsigned char>(line[stop])) || line[stop] == '_')) ++stop;
      const std::string_view found = line.substr(start, stop - start);
      line.remove_prefix(stop);
      return std::string(found);
    };
    const std::string name = word();
    if (name == "pragma") return;
    if (name == "include") {
      Include(line);
      return;
    }
    if (name == "define" || name == "undef") {
      const std::string macro = word();
      if (macro.empty()) Fail("#" + name + " without a name");
      if (name == "undef") {
        Macros.erase(macro);
      } else {
        const std::size_t comment = line.find("//");
        Macros[macro] = std::string(line.substr(0, comment));
      }
      return;
    }
    Fail("unsupported directive #" + name);
  }

  // A quoted include is read for its #define lines; the system's headers are known already.
  void Include(std::string_view line) {
    const std::size_t open = line.find_first_not_of(" \t");
    if (open != std::string_view::npos && line[open] == '<') return;
    const std::size_t close = open == std::string_view::npos ? open : line.find('"', open + 1);
    if (open == std::string_view::npos || line[open] != '"' || close == std::string_view::npos) {
      Fail("#include without a file name");
    }
    const std::string name(line.substr(open + 1, close - open - 1));
    if (IncludeDepth >= IncludeDepthLimit) Fail("#include \"" + name + "\" nested too deeply");
    const std::optional<std::string_view> text = Includes && *Includes ? (*Includes)(name) : std::nullopt;
    if (!text) Fail("cannot find the included file \"" + name + "\"");
    TLexer header(*text, 1, true, Includes, IncludeDepth + 1);
    header.Macros = std::move(Macros);
    try {
      if (header.Next().Type != TTokenType::End) header.Fail("a header holds only directives");
    } catch (const TScriptError& error) {
      Fail(std::string("in \"") + name + "\": " + error.what());
    }
    Macros = std::move(header.Macros);
  }

  std::string ReadString() {
    std::string value;
    ++Pos;
    for (;;) {
      if (Pos >= Text.size() || Text[Pos] == '\n') Fail("string without closing quote");
      const char c = Text[Pos++];
      if (c == '"') {
        if (Pos < Text.size() && Text[Pos] == '"') {  // "" stands for one quote
          value.push_back('"');
          ++Pos;
          continue;
        }
        return value;
      }
      if (c == '\\' && Pos < Text.size()) {
        const char escaped = Text[Pos++];
        switch (escaped) {
          case 'n': value.push_back('\n'); break;
          case 't': value.push_back('\t'); break;
          case 'r': value.push_back('\r'); break;
          case 'a': value.push_back('\b'); break;  // the help key marker of menus; shown as nothing
          default: value.push_back(escaped); break;
        }
        continue;
      }
      value.push_back(c);
    }
  }

  std::int64_t ReadNumber() {
    std::int64_t value = 0;
    int base = 10;
    if (Text.compare(Pos, 2, "0x") == 0 || Text.compare(Pos, 2, "0X") == 0) {
      base = 16;
      Pos += 2;
    }
    bool digits = false;
    while (Pos < Text.size()) {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(Text[Pos])));
      int digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (base == 16 && c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else {
        break;
      }
      if (digit >= base) break;
      value = (value * base + digit) & 0xFFFFFFFF;
      digits = true;
      ++Pos;
    }
    if (!digits) Fail("number without digits");
    while (Pos < Text.size() && (Text[Pos] == 'L' || Text[Pos] == 'l' || Text[Pos] == 'U' || Text[Pos] == 'u')) ++Pos;
    return value;
  }

  std::string_view Text;
  std::size_t Pos = 0;
  int Line;
  bool AtLineStart = true;
  bool Directives;
  const TIncludeFiles* Includes;
  int IncludeDepth;
};

// A value in a style expression: the bits it sets and, through NOT, the bits it clears.
struct TValue {
  std::int64_t Set = 0;
  std::int64_t Clear = 0;
};

class TParser {
 public:
  TParser(std::string_view text, const TIncludeFiles& includes) : Lexer(text, 1, true, &includes) { Advance(); }

  TScript ParseScript() {
    TScript script;
    while (Current.Type != TTokenType::End) {
      if (IsWord("LANGUAGE")) {
        Advance();
        Expression();
        ExpectComma();
        Expression();
        continue;
      }
      const std::string name = ResourceName();
      if (Current.Type != TTokenType::Name) Fail("a resource type after '" + name + "'");
      const std::string type = Upper(Current.Text);
      Advance();
      if (type == "ICON") {
        if (Current.Type != TTokenType::String) Fail("the icon's file name in quotes");
        script.Icons.push_back(TIcon{name, Current.Text});
        Advance();
      } else if (type == "DIALOG" || type == "DIALOGEX") {
        script.Dialogs.push_back(Dialog(name, type == "DIALOGEX"));
      } else {
        Fail("unsupported resource type '" + type + "'");
      }
    }
    return script;
  }

 private:
  void Advance() { Current = Lexer.Next(); }
  [[noreturn]] void Fail(const std::string& what) const { TLexer::Raise(Current.Line, "expected " + what); }
  bool IsPunct(char c) const { return Current.Type == TTokenType::Punct && Current.Text[0] == c; }
  bool IsWord(std::string_view word) const { return Current.Type == TTokenType::Name && Upper(Current.Text) == word; }
  void ExpectComma() {
    if (!IsPunct(',')) Fail("','");
    Advance();
  }
  bool SkipComma() {
    if (!IsPunct(',')) return false;
    Advance();
    return true;
  }

  std::string ResourceName() {
    if (Current.Type == TTokenType::Number) {
      const std::string name = std::to_string(Current.Value);
      Advance();
      return name;
    }
    if (Current.Type != TTokenType::Name) Fail("a resource name");
    std::string name = Current.Text;
    // A name defined as a number is that number, as the resource compiler takes it.
    if (Lexer.Macros.count(name)) name = std::to_string(static_cast<std::int32_t>(Evaluate(name, 0, Current.Line).Set));
    Advance();
    return name;
  }

  std::string Text() {
    if (Current.Type != TTokenType::String) Fail("a text in quotes");
    std::string text = Current.Text;
    Advance();
    return text;
  }

  int Number() { return static_cast<std::int32_t>(Expression().Set); }

  std::uint32_t Style(std::uint32_t defaults) {
    const TValue value = Expression();
    return static_cast<std::uint32_t>((defaults | value.Set) & ~value.Clear);
  }

  // Expressions come from the script itself or, for a macro, from the macro's own text.
  struct TSource {
    virtual ~TSource() = default;
    virtual const TToken& Peek() const = 0;
    virtual void Take() = 0;
    int Depth = 0;
  };

  struct TScriptSource : TSource {
    explicit TScriptSource(TParser& parser) : Parser(parser) {}
    const TToken& Peek() const override { return Parser.Current; }
    void Take() override { Parser.Advance(); }
    TParser& Parser;
  };

  struct TMacroSource : TSource {
    TMacroSource(std::string_view text, int line, int depth) : Lexer(text, line, false) {
      Depth = depth;
      Token = Lexer.Next();
    }
    const TToken& Peek() const override { return Token; }
    void Take() override { Token = Lexer.Next(); }
    TLexer Lexer;
    TToken Token;
  };

  TValue Expression() {
    TScriptSource source(*this);
    return ExpressionOf(source);
  }

  TValue ExpressionOf(TSource& source) {
    TValue value = Term(source);
    for (;;) {
      const TToken& token = source.Peek();
      if (token.Type != TTokenType::Punct) return value;
      const char op = token.Text[0];
      if (op != '|' && op != '+' && op != '-' && op != '&') return value;
      source.Take();
      const TValue right = Term(source);
      switch (op) {
        case '|': value.Set |= right.Set; break;
        case '+': value.Set += right.Set; break;
        case '-': value.Set -= right.Set; break;
        default: value.Set &= right.Set; break;
      }
      value.Clear |= right.Clear;
      value.Set &= 0xFFFFFFFF & ~right.Clear;
    }
  }

  TValue Term(TSource& source) {
    const TToken token = source.Peek();
    if (++Nesting > NestingLimit) TLexer::Raise(token.Line, "expression nested too deeply");
    struct TLeave {
      int& Depth;
      ~TLeave() { --Depth; }
    } leave{Nesting};
    if (token.Type == TTokenType::Number) {
      source.Take();
      return TValue{token.Value, 0};
    }
    if (token.Type == TTokenType::Name) {
      source.Take();
      if (Upper(token.Text) == "NOT") return TValue{0, Term(source).Set};
      return Evaluate(token.Text, source.Depth + 1, token.Line);
    }
    if (token.Type == TTokenType::Punct && (token.Text == "-" || token.Text == "~")) {
      source.Take();
      const std::int64_t inner = Term(source).Set;
      return TValue{(token.Text == "-" ? -inner : ~inner) & 0xFFFFFFFF, 0};
    }
    if (token.Type == TTokenType::Punct && token.Text == "(") {
      source.Take();
      const TValue inner = ExpressionOf(source);
      if (source.Peek().Type != TTokenType::Punct || source.Peek().Text != ")") {
        TLexer::Raise(source.Peek().Line, "expected ')'");
      }
      source.Take();
      return inner;
    }
    TLexer::Raise(token.Line, "expected a number or a name");
  }

  TValue Evaluate(const std::string& name, int depth, int line) {
    if (depth > MacroDepthLimit) TLexer::Raise(line, "macro '" + name + "' refers to itself");
    if (++Expansions > ExpansionLimit) TLexer::Raise(line, "too many macro expansions");
    if (const auto macro = Lexer.Macros.find(name); macro != Lexer.Macros.end()) {
      TMacroSource source(macro->second, line, depth);
      const TValue value = ExpressionOf(source);
      if (source.Peek().Type != TTokenType::End) TLexer::Raise(line, "macro '" + name + "' is not a number");
      return value;
    }
    if (const auto known = KnownNames().find(name); known != KnownNames().end()) {
      return TValue{known->second & 0xFFFFFFFF, 0};
    }
    TLexer::Raise(line, "unknown name '" + name + "'");
  }

  TDialog Dialog(const std::string& name, bool extended) {
    TDialog dialog;
    dialog.Name = name;
    dialog.X = Number();
    ExpectComma();
    dialog.Y = Number();
    ExpectComma();
    dialog.Width = Number();
    ExpectComma();
    dialog.Height = Number();
    if (extended && SkipComma()) Number();  // help id
    std::optional<std::uint32_t> style;
    for (;;) {
      if (IsWord("STYLE")) {
        Advance();
        style = Style(0);
      } else if (IsWord("EXSTYLE")) {
        Advance();
        dialog.ExStyle = Style(0);
      } else if (IsWord("CAPTION")) {
        Advance();
        dialog.Caption = Text();
        dialog.Style |= StyleCaption;
      } else if (IsWord("FONT")) {
        Advance();
        dialog.FontSize = Number();
        ExpectComma();
        dialog.FontFace = Text();
        while (SkipComma()) Number();  // weight, italic, character set
      } else if (IsWord("LANGUAGE")) {
        Advance();
        Number();
        ExpectComma();
        Number();
      } else if (IsWord("CHARACTERISTICS") || IsWord("VERSION")) {
        Advance();
        Number();
      } else {
        break;
      }
    }
    // Without STYLE the resource compiler gives a bordered popup with a system menu.
    dialog.Style |= style ? *style : (Popup | StyleBorder | StyleSysMenu);
    if (!IsWord("BEGIN") && !IsPunct('{')) Fail("BEGIN");
    Advance();
    while (!IsWord("END") && !IsPunct('}')) {
      if (Current.Type == TTokenType::End) Fail("END");
      dialog.Controls.push_back(Control());
    }
    Advance();
    return dialog;
  }

  void Geometry(TControl& control) {
    control.X = Number();
    ExpectComma();
    control.Y = Number();
    ExpectComma();
    control.Width = Number();
    ExpectComma();
    control.Height = Number();
  }

  TControl Control() {
    if (Current.Type != TTokenType::Name) Fail("a control");
    const std::string kind = Upper(Current.Text);
    const int line = Current.Line;
    Advance();
    TControl control;
    constexpr std::uint32_t Base = Child | StyleVisible;
    struct TKindDefaults {
      const char* Name;
      TControlKind Kind;
      std::uint32_t Style;
    };
    static const TKindDefaults texts[] = {
        {"LTEXT", TControlKind::Static, 0x0 | StyleGroup},
        {"CTEXT", TControlKind::Static, 0x1 | StyleGroup},
        {"RTEXT", TControlKind::Static, 0x2 | StyleGroup},
        {"PUSHBUTTON", TControlKind::PushButton, 0x0 | StyleTabStop},
        {"DEFPUSHBUTTON", TControlKind::DefPushButton, 0x1 | StyleTabStop},
        {"CHECKBOX", TControlKind::CheckBox, 0x2 | StyleTabStop},
        {"AUTOCHECKBOX", TControlKind::AutoCheckBox, 0x3 | StyleTabStop},
        {"RADIOBUTTON", TControlKind::RadioButton, 0x4 | StyleTabStop},
        {"STATE3", TControlKind::ThreeState, 0x5 | StyleTabStop},
        {"AUTO3STATE", TControlKind::AutoThreeState, 0x6 | StyleTabStop},
        {"GROUPBOX", TControlKind::GroupBox, 0x7},
        {"AUTORADIOBUTTON", TControlKind::AutoRadioButton, 0x9 | StyleTabStop},
    };
    for (const TKindDefaults& defaults : texts) {
      if (kind != defaults.Name) continue;
      control.Kind = defaults.Kind;
      control.Text = Text();
      ExpectComma();
      control.Id = Number();
      ExpectComma();
      Geometry(control);
      control.Style = Base | defaults.Style;
      if (SkipComma()) {
        control.Style = Style(control.Style);
        if (SkipComma()) control.ExStyle = Style(0);
      }
      return control;
    }
    if (kind == "EDITTEXT") {
      control.Kind = TControlKind::Edit;
      control.Id = Number();
      ExpectComma();
      Geometry(control);
      control.Style = Base | StyleBorder | StyleTabStop;
      if (SkipComma()) {
        control.Style = Style(control.Style);
        if (SkipComma()) control.ExStyle = Style(0);
      }
      return control;
    }
    if (kind == "CONTROL") {
      control.Text = Text();
      ExpectComma();
      control.Id = Number();
      ExpectComma();
      std::string className;
      if (Current.Type == TTokenType::String || Current.Type == TTokenType::Name) {
        className = Upper(Current.Text);
        Advance();
      } else {
        Fail("a control class");
      }
      ExpectComma();
      control.Style = Style(Base);
      ExpectComma();
      Geometry(control);
      if (SkipComma()) control.ExStyle = Style(0);
      control.Kind = ClassKind(className, control.Style, line);
      return control;
    }
    TLexer::Raise(line, "unknown control kind '" + kind + "'");
  }

  static TControlKind ClassKind(const std::string& className, std::uint32_t style, int line) {
    if (className == "EDIT") return TControlKind::Edit;
    if (className == "STATIC") {
      if ((style & 0x1F) > 2) TLexer::Raise(line, "unsupported static control style");
      return TControlKind::Static;
    }
    if (className == "BUTTON") {
      switch (style & 0xF) {
        case 0x0: return TControlKind::PushButton;
        case 0x1: return TControlKind::DefPushButton;
        case 0x2: return TControlKind::CheckBox;
        case 0x3: return TControlKind::AutoCheckBox;
        case 0x4: return TControlKind::RadioButton;
        case 0x5: return TControlKind::ThreeState;
        case 0x6: return TControlKind::AutoThreeState;
        case 0x7: return TControlKind::GroupBox;
        case 0x9: return TControlKind::AutoRadioButton;
        default: TLexer::Raise(line, "unsupported button style");
      }
    }
    TLexer::Raise(line, "unknown control class '" + className + "'");
  }

  TLexer Lexer;
  TToken Current;
  int Nesting = 0;
  int Expansions = 0;
};

}  // namespace

const TDialog* TScript::FindDialog(std::string_view name) const {
  const std::string wanted = Upper(name);
  for (const TDialog& dialog : Dialogs) {
    if (Upper(dialog.Name) == wanted) return &dialog;
  }
  return nullptr;
}

TScript Parse(std::string_view text, const TIncludeFiles& includes) { return TParser(text, includes).ParseScript(); }

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
