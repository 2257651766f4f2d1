// A reader for the program's resource script (the settings dialog and the icon), so that the Linux
// build shows the dialog the Windows build compiles from the same file. Free of Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace resource_script {

// A script this reader cannot take: the message names the file, the line and what is wrong.
class TScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TControlKind { GroupBox, PushButton, DefPushButton, AutoCheckBox, AutoRadioButton, Edit, Static };

struct TControl {
  TControlKind Kind = TControlKind::Static;
  std::string Text;
  int Id = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;  // dialog units
  std::uint32_t Style = 0;                   // with the statement's default style
};

struct TDialog {
  std::string Name;
  int X = 0, Y = 0, Width = 0, Height = 0;  // dialog units
  std::uint32_t Style = 0;
  std::string Caption;
  int FontSize = 0;  // points; 0 when the script names no font
  std::string FontFace;
  std::vector<TControl> Controls;
};

struct TIcon {
  std::string Name;
  std::string File;
};

struct TScript {
  std::vector<TDialog> Dialogs;
  std::vector<TIcon> Icons;

  // Resource names match without regard to case, as the system's do.
  const TDialog* FindDialog(std::string_view name) const;
};

// The text of a file the script includes with #include "name", or nothing when there is none.
using TIncludeFiles = std::function<std::optional<std::string_view>(std::string_view name)>;

// Takes what the program's script uses: #include, #define of numbers, ICON, and DIALOG with STYLE,
// CAPTION, FONT and the script's kinds of control. Raises TScriptError for anything else.
// #include <...> names the system's headers, whose constants the reader knows.
TScript Parse(std::string_view text, const TIncludeFiles& includes = {});

// The group of each control: a group starts at a control with WS_GROUP and runs to the next one.
std::vector<int> ControlGroups(const TDialog& dialog);

constexpr std::uint32_t StyleGroup = 0x00020000;    // WS_GROUP
constexpr std::uint32_t StyleTabStop = 0x00010000;  // WS_TABSTOP
constexpr std::uint32_t StyleDisabled = 0x08000000;
constexpr std::uint32_t StyleVisible = 0x10000000;
constexpr std::uint32_t StyleBorder = 0x00800000;
constexpr std::uint32_t StyleSysMenu = 0x00080000;
constexpr std::uint32_t StyleCaption = 0x00C00000;

}  // namespace resource_script
