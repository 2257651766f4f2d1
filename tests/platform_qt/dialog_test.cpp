// Dialogs on Qt: the resource script reader, the settings dialog built from the embedded script
// (layout, focus order, texts that fit, clicks, keys, UTF-8 texts), modal runs and the file dialog.
#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework.h"
#include "qt_backend.h"
#include "qt_dialog_layout.h"
#include "qt_file_dialog.h"
#include "resource.h"
#include "resource_script.h"

namespace {

using resource_script::TControlKind;

// --- the reader -------------------------------------------------------------------------------

TEST(ResourceScript, EmbeddedScriptHoldsTheSettingsDialogInTemplateOrder) {
  const resource_script::TDialog* dialog = qt_backend::ProgramResources().FindDialog("idd_configure");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->Caption, "Tesmar v1.3");
  EXPECT_EQ(dialog->Width, 172);
  EXPECT_EQ(dialog->Height, 150);
  EXPECT_EQ(dialog->FontSize, 8);
  EXPECT_EQ(dialog->FontFace, "MS Sans Serif");
  EXPECT_EQ(dialog->Style & 0x80u, 0x80u);  // DS_MODALFRAME
  EXPECT_EQ(dialog->Style & resource_script::StyleSysMenu, resource_script::StyleSysMenu);

  struct TExpected {
    int Id;
    TControlKind Kind;
    const char* Text;
    int X, Y, Width, Height;
  };
  const TExpected expected[] = {
      {IDC_SPEED_GROUP, TControlKind::GroupBox, "Speed", 6, 4, 98, 51},
      {IDC_SLOW, TControlKind::AutoRadioButton, "Slow", 12, 16, 48, 12},
      {IDC_MEDIUM, TControlKind::AutoRadioButton, "Medium", 12, 28, 48, 12},
      {IDC_FAST, TControlKind::AutoRadioButton, "Fast", 12, 40, 48, 12},
      {IDOK, TControlKind::DefPushButton, "OK", 120, 8, 48, 14},
      {IDCANCEL, TControlKind::PushButton, "Cancel", 120, 40, 48, 14},
      {IDC_GRAPHIC_GROUP, TControlKind::GroupBox, "Graphic settings", 4, 56, 164, 24},
      {IDC_SHOW_FRAME, TControlKind::AutoCheckBox, "Show Frame", 8, 64, 52, 12},
      {IDC_PARAMETER_GROUP, TControlKind::GroupBox, "Parameter file", 4, 80, 164, 40},
      {IDC_FILE_NAME, TControlKind::Edit, "default.tmr", 48, 88, 116, 12},
      {IDC_START_WITH_FILE, TControlKind::AutoRadioButton, "Start with", 8, 90, 40, 8},
      {IDC_START_RANDOM, TControlKind::AutoRadioButton, "Start with random parameters", 8, 104, 108, 8},
      {IDC_BROWSE, TControlKind::PushButton, "Browse...", 128, 104, 36, 12},
      {IDC_REINIT_MINUTES, TControlKind::Edit, "0", 100, 65, 28, 12},
      {-1, TControlKind::Static, "Reinit after", 64, 66, 36, 12},
      {-1, TControlKind::Static, "min.", 131, 66, 16, 12},
  };
  ASSERT_EQ(dialog->Controls.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const resource_script::TControl& control = dialog->Controls[i];
    EXPECT_EQ(control.Id, expected[i].Id) << "control " << i;
    EXPECT_EQ(control.Kind, expected[i].Kind) << "control " << i;
    EXPECT_EQ(control.Text, expected[i].Text) << "control " << i;
    EXPECT_EQ((std::vector<int>{control.X, control.Y, control.Width, control.Height}),
              (std::vector<int>{expected[i].X, expected[i].Y, expected[i].Width, expected[i].Height}))
        << "control " << i;
  }
  // The speed buttons form one group, the start buttons another.
  const std::vector<int> groups = resource_script::ControlGroups(*dialog);
  EXPECT_EQ(groups[1], groups[3]);
  EXPECT_EQ(groups[10], groups[11]);
  EXPECT_NE(groups[1], groups[10]);
  EXPECT_EQ(qt_backend::ProgramResources().Icons.size(), 1u);
}

TEST(ResourceScript, AnythingTheReaderCannotShowFailsWithItsLine) {
  const auto failure = [](const char* script, const resource_script::TIncludeFiles& includes = {}) {
    try {
      resource_script::Parse(script, includes);
    } catch (const resource_script::TScriptError& error) {
      return std::string(error.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(failure("X DIALOG 0, 0, 10, 10\nBEGIN\n  LISTBOX 5, 1, 1, 8, 8\nEND\n"),
            "resource script line 3: unknown control kind 'LISTBOX'");
  EXPECT_EQ(failure("#include \"ids.h\"\n\n#define B 2\n", [](std::string_view) { return "\n#define A A\n"; }),
            "ids.h line 2: #define A must name one number");
  const char* broken[] = {
      "X DIALOG 0, 0, 10, 10\nBEGIN\n  LTEXT \"a\", IDC_MISSING, 1, 1, 8, 8\nEND\n",
      "X DIALOG 0, 0, 10, 10\nBEGIN\n  CONTROL \"a\", 1, \"COMBOBOX\", 0, 1, 1, 8, 8\nEND\n",
      "X DIALOG 0, 0, 10, 10\nBEGIN\n  LTEXT \"a, 1, 1, 1, 8, 8\nEND\n",
      "X DIALOG 0, 0, 10, 10\nBEGIN\n  LTEXT \"a\"b\", 1, 1, 1, 8, 8\nEND\n",
      "X DIALOG 0, 0, 10, 10\nBEGIN\n  LTEXT \"a\", 1, 1, 1, 8\nEND\n",
      "X DIALOG 0, 0, 10, 10\nBEGIN\n  LTEXT \"a\", 1, 1, 1, 8, 8\n",
      "X DIALOG 0, 0, 10, 99999999999\nBEGIN\nEND\n",
      "X DIALOGEX 0, 0, 10, 10\nBEGIN\nEND\n",
      "X DIALOG 0, 0, 10, 10\nLANGUAGE 9, 1\nBEGIN\nEND\n",
      "X DIALOG 0, 0, 10, 10\n{\n}\n",
      "#define A (1 + 2)\n",
      "#ifdef X\n#endif\n",
      "#include \"ids.h\"\n",
  };
  for (const char* script : broken) EXPECT_NE(failure(script), "accepted") << script;
  // A header that includes itself ends instead of recursing.
  EXPECT_NE(failure("#include \"self.h\"\n", [](std::string_view) { return "#include \"self.h\"\n"; }), "accepted");
}

TEST(ResourceScript, IdsFromTheIncludedHeaderAndTheSystemsStyleNames) {
  const char* script =
      "#include <windows.h>\r\n"
      "#include \"ids.h\" // the ids\r\n"
      "IDD_X DIALOG 1, 2, 30, 40\r\n"
      "FONT 9, \"Sans, // not a comment\"\r\n"
      "BEGIN\r\n"
      "  CONTROL \"Say \"\"hi\"\"\", IDC_NAME, \"edit\", ES_AUTOHSCROLL | WS_BORDER, 5, 6, 7, 8\r\n"
      "  LTEXT \"r\", -1, 0, 0, 1, 1\r\n"
      "  AUTORADIOBUTTON \"a\", IDOK, 0, 0, 1, 1, WS_GROUP\r\n"
      "END\r\n";
  const resource_script::TScript parsed = resource_script::Parse(script, [](std::string_view name) {
    return name == "ids.h" ? std::optional<std::string_view>("#pragma once\n#define IDC_NAME 0x28\n") : std::nullopt;
  });
  const resource_script::TDialog* dialog = parsed.FindDialog("idd_x");
  ASSERT_NE(dialog, nullptr);
  // Without STYLE a dialog is a bordered popup with a system menu.
  EXPECT_EQ(dialog->Style, 0x80000000u | resource_script::StyleBorder | resource_script::StyleSysMenu);
  EXPECT_EQ(dialog->FontFace, "Sans, // not a comment");
  ASSERT_EQ(dialog->Controls.size(), 3u);
  const resource_script::TControl& edit = dialog->Controls[0];
  EXPECT_EQ(edit.Kind, TControlKind::Edit);
  EXPECT_EQ(edit.Text, "Say \"hi\"");
  EXPECT_EQ(edit.Id, 40);
  EXPECT_EQ(edit.Style, 0x40000000u | resource_script::StyleVisible | resource_script::StyleBorder | 0x80u);
  EXPECT_EQ((std::vector<int>{edit.X, edit.Y, edit.Width, edit.Height}), (std::vector<int>{5, 6, 7, 8}));
  EXPECT_EQ(dialog->Controls[1].Id, -1);
  EXPECT_EQ(dialog->Controls[2].Id, IDOK);
  EXPECT_EQ(dialog->Controls[2].Style & resource_script::StyleTabStop, resource_script::StyleTabStop);
}

// --- the dialog -------------------------------------------------------------------------------

std::vector<std::string> commands;

class TSettingsDialog : public TDialog {
 public:
  explicit TSettingsDialog(TWindow* parent = nullptr) : TDialog(parent, "IDD_CONFIGURE") {}
  void CmBrowse() { commands.push_back("browse"); }
  void CloseWindow(int returnValue) override {
    commands.push_back("close " + std::to_string(returnValue));
    TDialog::CloseWindow(returnValue);
  }
  void SetupWindow() override {
    TDialog::SetupWindow();
    // The controls exist by now.
    SetupSawEdit = qt_backend::WidgetOf(GetHandle())->Control(IDC_FILE_NAME) != nullptr;
    if (OnSetup) OnSetup(*this);
  }
  bool SetupSawEdit = false;
  std::function<void(TSettingsDialog&)> OnSetup;
  DECLARE_WINDOW_RESPONSES()
};

const TResponseTable& TSettingsDialog::ResponseTable() {
  static const TResponseEntry entries[] = {
      RespondCommand<&TDialog::CmCancel>(IDCANCEL),
      RespondCommand<&TSettingsDialog::CmBrowse>(IDC_BROWSE),
  };
  static const TResponseTable table{entries, std::size(entries), &TDialog::ResponseTable()};
  return table;
}

QAbstractButton* Button(const TWindow& dialog, int id) {
  return qobject_cast<QAbstractButton*>(qt_backend::WidgetOf(dialog.GetHandle())->Control(id)->Widget);
}

TEST(QtDialog, BuiltFromTheTemplateWithItsTitleLayoutAndFocusOrder) {
  TSettingsDialog dialog;
  ASSERT_TRUE(dialog.Create());
  EXPECT_TRUE(dialog.SetupSawEdit);
  qt_backend::TWindowWidget& widget = *qt_backend::WidgetOf(dialog.GetHandle());
  EXPECT_EQ(widget.windowTitle(), "Tesmar v1.3");
  const qt_backend::TDialogUnits units = qt_backend::DialogUnitsOf(widget.font());
  EXPECT_EQ(widget.size(), qt_backend::MapDialogRect(units, 0, 0, 172, 150).size());
  EXPECT_EQ(widget.Control(IDC_SPEED_GROUP)->Widget->geometry(), qt_backend::MapDialogRect(units, 6, 4, 98, 51));

  // Tab visits the controls in the template's order (group boxes and labels take no focus).
  std::vector<int> order;
  QWidget* first = widget.Control(IDC_SLOW)->Widget;
  QWidget* next = first;
  do {
    for (const qt_backend::TControl& control : widget.Controls) {
      if (control.Widget == next && (next->focusPolicy() & Qt::TabFocus)) order.push_back(control.Id);
    }
    next = next->nextInFocusChain();
  } while (next != first && order.size() < 40);
  EXPECT_EQ(order, (std::vector<int>{IDC_SLOW, IDC_MEDIUM, IDC_FAST, IDOK, IDCANCEL, IDC_SHOW_FRAME, IDC_FILE_NAME,
                                     IDC_START_WITH_FILE, IDC_START_RANDOM, IDC_BROWSE, IDC_REINIT_MINUTES}));
}

TEST(QtDialog, EveryTextShowsWholeAndGroupTitlesSitOnTheirFrameLine) {
  TSettingsDialog dialog;
  ASSERT_TRUE(dialog.Create());
  const qt_backend::TWindowWidget& widget = *qt_backend::WidgetOf(dialog.GetHandle());
  for (const qt_backend::TControl& control : widget.Controls) {
    EXPECT_LE(qt_backend::ControlTextWidth(*control.Widget), qt_backend::ControlTextRoom(*control.Widget))
        << "control " << control.Id << " at " << control.Widget->geometry().x() << ", "
        << control.Widget->geometry().y();
  }

  // The frame's top line, looked for at the right end, passes through the title's height.
  QWidget& group = *widget.Control(IDC_SPEED_GROUP)->Widget;
  const QImage picture = group.grab().toImage();
  const QRgb background = picture.pixel(picture.width() / 2, picture.height() / 2);
  int line = -1;
  for (int y = 0; y < picture.height() && line < 0; ++y) {
    if (picture.pixel(picture.width() - 4, y) != background) line = y;
  }
  EXPECT_GT(line, 0);
  EXPECT_LT(line, group.fontMetrics().height());
}

TEST(QtDialog, ATextTooWideGrowsItsControlAsFarAsTheTemplateLeavesRoom) {
  const char* script =
      "X DIALOG 0, 0, 200, 80\n"
      "BEGIN\n"
      "  GROUPBOX \"Group\", 1, 2, 2, 120, 50\n"
      "  AUTOCHECKBOX \"A check box with a long text\", 2, 6, 12, 20, 10\n"
      "  AUTORADIOBUTTON \"A radio button with a long text\", 3, 6, 26, 20, 10\n"
      "  LTEXT \"Next\", 4, 40, 26, 20, 10\n"
      "  LTEXT \"A label far longer than the dialog is wide, which cannot fit\", 5, 100, 60, 20, 10\n"
      "END\n";
  const resource_script::TScript parsed = resource_script::Parse(script);
  std::unique_ptr<qt_backend::TWindowWidget> dialog(qt_backend::BuildDialog(parsed.Dialogs.front(), nullptr));
  const auto geometry = [&dialog](int id) { return dialog->Control(id)->Widget->geometry(); };
  const QRect group = geometry(1);
  // Alone on its line inside the group: as wide as its text, within the frame.
  EXPECT_EQ(qt_backend::ControlTextWidth(*dialog->Control(2)->Widget),
            qt_backend::ControlTextRoom(*dialog->Control(2)->Widget));
  EXPECT_LT(geometry(2).right(), group.right());
  // Up to the next control on its line.
  EXPECT_EQ(geometry(3).left() + geometry(3).width(), geometry(4).left());
  // Up to the dialog's edge, and no further.
  EXPECT_EQ(geometry(5).left() + geometry(5).width(), dialog->width());
  // A text that fits leaves its control as the template has it.
  const qt_backend::TDialogUnits units = qt_backend::DialogUnitsOf(dialog->font());
  EXPECT_EQ(geometry(4).width(), qt_backend::MapDialogRect(units, 0, 0, 20, 10).width());
}

// Texts are UTF-8 here: a cut never leaves half a character.
TEST(QtDialog, ItemTextIsNeverCutInsideACharacter) {
  TSettingsDialog dialog;
  ASSERT_TRUE(dialog.Create());
  char text[8];
  dialog.SetDlgItemText(IDC_FILE_NAME, "a\xC3\xA9z");  // "aéz": the é takes two bytes
  EXPECT_EQ(dialog.GetDlgItemText(IDC_FILE_NAME, text, 3), 1);
  EXPECT_STREQ(text, "a");
  EXPECT_EQ(dialog.GetDlgItemText(IDC_FILE_NAME, text, 4), 3);
  EXPECT_STREQ(text, "a\xC3\xA9");
}

// A click on an automatic radio button clears the others of its group and nothing else.
TEST(QtDialog, AClickOnARadioButtonClearsItsOwnGroupOnly) {
  TSettingsDialog dialog;
  ASSERT_TRUE(dialog.Create());
  dialog.CheckRadioButton(IDC_SLOW, IDC_FAST, IDC_MEDIUM);
  dialog.CheckRadioButton(IDC_START_WITH_FILE, IDC_START_RANDOM, IDC_START_RANDOM);
  Button(dialog, IDC_FAST)->click();
  EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_MEDIUM), BST_UNCHECKED);
  EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_FAST), BST_CHECKED);
  EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_START_RANDOM), BST_CHECKED);
  Button(dialog, IDC_FAST)->click();  // clicking the checked one keeps it checked
  EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_FAST), BST_CHECKED);

  dialog.CheckDlgButton(IDC_SHOW_FRAME, BST_CHECKED);
  Button(dialog, IDC_SHOW_FRAME)->click();
  EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_SHOW_FRAME), BST_UNCHECKED);
}

TEST(QtDialog, ButtonsAndKeysReachTheResponseTableAsCommands) {
  commands.clear();
  TSettingsDialog dialog;
  ASSERT_TRUE(dialog.Create());
  Button(dialog, IDC_BROWSE)->click();
  qt_backend::PumpMessages();
  EXPECT_EQ(commands, (std::vector<std::string>{"browse"}));

  // Enter presses the default button: OK, which closes through CloseWindow.
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(qt_backend::WidgetOf(dialog.GetHandle()), &enter);
  qt_backend::PumpMessages();
  EXPECT_EQ(commands, (std::vector<std::string>{"browse", "close 1"}));
  EXPECT_EQ(dialog.GetHandle(), nullptr);
  EXPECT_EQ(dialog.GetReturnValue(), IDOK);

  // Escape cancels without going through the derived CloseWindow.
  commands.clear();
  ASSERT_TRUE(dialog.Create());
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(qt_backend::WidgetOf(dialog.GetHandle()), &escape);
  qt_backend::PumpMessages();
  EXPECT_TRUE(commands.empty());
  EXPECT_EQ(dialog.GetHandle(), nullptr);
  EXPECT_EQ(dialog.GetReturnValue(), IDCANCEL);
}

// Real clicks and the window's own close event end a modal run.
TEST(QtDialog, ClicksAndTheCloseEventEndAModalRun) {
  commands.clear();
  TFrameWindow owner(nullptr, "owner");
  ASSERT_TRUE(owner.Create());
  TSettingsDialog dialog(&owner);
  dialog.OnSetup = [](TSettingsDialog& self) {
    const HWND handle = self.GetHandle();
    // The user picks "Fast" and presses OK a little later.
    QTimer::singleShot(20, [handle] {
      qt_backend::TWindowWidget* widget = qt_backend::WidgetOf(handle);
      qobject_cast<QAbstractButton*>(widget->Control(IDC_FAST)->Widget)->click();
      qobject_cast<QAbstractButton*>(widget->Control(IDOK)->Widget)->click();
    });
  };
  EXPECT_EQ(dialog.Execute(), IDOK);
  EXPECT_EQ(commands, (std::vector<std::string>{"close 1"}));
  EXPECT_EQ(dialog.GetHandle(), nullptr);
  EXPECT_FALSE(dialog.IsModalRunning());

  // The close box cancels.
  dialog.OnSetup = [](TSettingsDialog& self) {
    const HWND handle = self.GetHandle();
    QTimer::singleShot(20, [handle] { qt_backend::WidgetOf(handle)->close(); });
  };
  EXPECT_EQ(dialog.Execute(), IDCANCEL);
}

// --- the file dialog --------------------------------------------------------------------------

TEST(QtFileDialog, FiltersBecomeQtNameFilters) {
  EXPECT_EQ(qt_backend::NameFilters("Configuration Files (*.tmr)|*.tmr| All Files (*.*)| *.*"),
            (QStringList{"Configuration Files (*.tmr)", "All Files (*)"}));
  EXPECT_EQ(qt_backend::NameFilters("Pictures|*.bmp;*.png|dangling"), (QStringList{"Pictures (*.bmp *.png)"}));
}

TEST(QtFileDialog, OnlyAnExistingFileWhosePathFitsIsAccepted) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString existing = folder.filePath("start.tmr");
  QFile file(existing);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();

  TOpenSaveDialog::TData data(OFN_FILEMUSTEXIST, "All|*.*");
  EXPECT_EQ(qt_backend::AcceptChosenFile(data, existing), IDOK);
  EXPECT_EQ(QString::fromUtf8(data.FileName), existing);
  EXPECT_EQ(qt_backend::AcceptChosenFile(data, folder.filePath("missing.tmr")), IDCANCEL);
  EXPECT_EQ(qt_backend::AcceptChosenFile(data, QString()), IDCANCEL);

  TOpenSaveDialog::TData tight(OFN_FILEMUSTEXIST, "All|*.*", nullptr, nullptr, nullptr, 8);
  std::strcpy(tight.FileName, "old");
  EXPECT_EQ(qt_backend::AcceptChosenFile(tight, existing), IDCANCEL);
  EXPECT_STREQ(tight.FileName, "old");
}

}  // namespace
