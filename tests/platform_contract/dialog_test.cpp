// Dialogs built from the program's settings template: modal runs, the ways a dialog ends, its controls'
// texts and check states, and the file-open dialog's hook.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework.h"
#include "probes.h"
#include "resource.h"

namespace {

class ProbeDialog : public TScriptedDialog<ProbeDialog> {
 public:
  explicit ProbeDialog(std::function<void(ProbeDialog&)> script, TWindow* parent = nullptr,
                       const char* name = "IDD_CONFIGURE")
      : TScriptedDialog(std::move(script), parent, name) {}

  void CmBrowse() { ++Browses; }

  void Command(int id) { PostMessage(WM_COMMAND, MAKEWPARAM(id, 0)); }  // a click: notification code 0

  int Browses = 0;

  DECLARE_WINDOW_RESPONSES()
};

const TResponseTable& ProbeDialog::ResponseTable() {
  static const TResponseEntry entries[] = {RespondCommand<&ProbeDialog::CmBrowse>(IDC_BROWSE)};
  static const TResponseTable table{entries, std::size(entries), &TDialog::ResponseTable()};
  return table;
}

std::string ItemText(const TWindow& dialog, int id) {
  char text[64] = "?";
  dialog.GetDlgItemText(id, text, sizeof text);
  return text;
}

TEST(Dialog, ModalRunSetsAndReadsItsControlsAndReturnsTheCodeCloseWindowGave) {
  TFrameWindow owner(nullptr, "owner");
  ASSERT_TRUE(owner.Create());
  std::vector<UINT> checks;
  ProbeDialog dialog(
      [&](ProbeDialog& d) {
        d.CheckRadioButton(IDC_SLOW, IDC_FAST, IDC_MEDIUM);
        d.CheckDlgButton(IDC_SHOW_FRAME, BST_CHECKED);
        for (int id : {IDC_SLOW, IDC_MEDIUM, IDC_FAST, IDC_SHOW_FRAME}) checks.push_back(d.IsDlgButtonChecked(id));
        d.SetDlgItemText(IDC_FILE_NAME, "other.tmr");
        d.Command(IDC_BROWSE);
        d.Command(IDOK);
      },
      &owner);
  EXPECT_EQ(dialog.Execute(), IDOK);
  EXPECT_EQ(dialog.GetReturnValue(), IDOK);
  EXPECT_EQ(dialog.Setups, 1);
  EXPECT_EQ(dialog.Browses, 1);
  EXPECT_EQ(dialog.Closes, std::vector<int>{IDOK});
  EXPECT_EQ(checks, (std::vector<UINT>{BST_UNCHECKED, BST_CHECKED, BST_UNCHECKED, BST_CHECKED}));
  EXPECT_FALSE(dialog.IsModalRunning());
  EXPECT_EQ(dialog.GetHandle(), nullptr);

  // A second run starts from the template again.
  std::string name;
  dialog.Script = [&name](ProbeDialog& d) {
    name = ItemText(d, IDC_FILE_NAME);
    d.CloseWindow(IDOK);
  };
  EXPECT_EQ(dialog.Execute(), IDOK);
  EXPECT_EQ(name, "default.tmr");
}

// The close box and Cancel end with IDCANCEL and never reach a derived CloseWindow.
TEST(Dialog, CloseBoxAndCancelEndWithCancelAndStoreNothing) {
  const std::vector<std::function<void(ProbeDialog&)>> endings = {
      [](ProbeDialog& d) { d.PostMessage(WM_SYSCOMMAND, SC_CLOSE); },
      [](ProbeDialog& d) { d.Command(IDCANCEL); },
  };
  for (std::size_t i = 0; i < endings.size(); ++i) {
    ProbeDialog dialog(endings[i]);
    EXPECT_EQ(dialog.Execute(), IDCANCEL) << "ending " << i;
    EXPECT_TRUE(dialog.Closes.empty()) << "ending " << i;
    EXPECT_EQ(dialog.GetHandle(), nullptr) << "ending " << i;
  }
}

TEST(Dialog, MissingTemplateIsAFailureNotAnAnswer) {
  ProbeDialog dialog(nullptr, nullptr, "NO_SUCH_DIALOG");
  EXPECT_EQ(dialog.Execute(), -1);
  EXPECT_FALSE(dialog.Create());
  EXPECT_EQ(dialog.Setups, 0);
}

TEST(Dialog, ExceptionInSetupEndsTheDialogAndReachesTheCaller) {
  ProbeDialog dialog([](ProbeDialog&) { throw std::runtime_error("setup failed"); });
  EXPECT_THROW(dialog.Execute(), std::runtime_error);
  EXPECT_FALSE(dialog.IsModalRunning());
}

TEST(Dialog, ProgramTemplateHasTheSettingsControls) {
  std::vector<std::string> texts;
  int missing = -1;
  std::string missingText;
  ProbeDialog dialog([&](ProbeDialog& d) {
    for (int id : {IDC_SLOW, IDC_MEDIUM, IDC_FAST, IDC_SHOW_FRAME, IDC_FILE_NAME, IDC_START_WITH_FILE,
                   IDC_START_RANDOM, IDC_BROWSE, IDC_REINIT_MINUTES, IDOK, IDCANCEL}) {
      texts.push_back(ItemText(d, id));
    }
    char text[8] = "?";
    missing = d.GetDlgItemText(999, text, sizeof text);
    missingText = text;
    d.CloseWindow(IDCANCEL);
  });
  ASSERT_EQ(dialog.Execute(), IDCANCEL);
  EXPECT_EQ(texts, (std::vector<std::string>{"Slow", "Medium", "Fast", "Show Frame", "default.tmr", "Start with",
                                             "Start with random parameters", "Browse...", "0", "OK", "Cancel"}));
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(missingText, "");
}

TEST(Dialog, ItemTextIsCutToSizeMinusOneAndNothingIsWrittenPastIt) {
  ProbeDialog dialog(nullptr);
  ASSERT_TRUE(dialog.Create());
  char text[8];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(dialog.GetDlgItemText(IDC_FILE_NAME, text, 5), 4);
  EXPECT_STREQ(text, "defa");
  EXPECT_EQ(text[5], 'x');
  EXPECT_EQ(dialog.GetDlgItemText(IDC_FILE_NAME, text, 1), 0);
  EXPECT_STREQ(text, "");
  text[0] = 'x';
  EXPECT_EQ(dialog.GetDlgItemText(IDC_FILE_NAME, text, 0), 0);
  EXPECT_EQ(text[0], 'x');
  dialog.CloseWindow(IDCANCEL);
}

TEST(Dialog, RadioButtonsAreCheckedWithinTheirRangeOnly) {
  ProbeDialog dialog(nullptr);
  ASSERT_TRUE(dialog.Create());
  dialog.CheckRadioButton(IDC_SLOW, IDC_FAST, IDC_MEDIUM);
  dialog.CheckRadioButton(IDC_START_WITH_FILE, IDC_START_RANDOM, IDC_START_RANDOM);
  EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_SLOW), BST_UNCHECKED);
  EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_MEDIUM), BST_CHECKED);
  EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_START_RANDOM), BST_CHECKED);

  dialog.CheckRadioButton(IDC_SLOW, IDC_FAST, IDC_FAST);
  EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_MEDIUM), BST_UNCHECKED);
  EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_FAST), BST_CHECKED);
  EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_START_RANDOM), BST_CHECKED);

  // An id outside the range clears the whole range.
  dialog.CheckRadioButton(IDC_SLOW, IDC_FAST, 0);
  for (int id : {IDC_SLOW, IDC_MEDIUM, IDC_FAST}) EXPECT_EQ(dialog.IsDlgButtonChecked(id), BST_UNCHECKED);

  dialog.CheckDlgButton(IDC_SHOW_FRAME, BST_CHECKED);
  EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_SHOW_FRAME), BST_CHECKED);
  dialog.CheckDlgButton(IDC_SHOW_FRAME, BST_UNCHECKED);
  EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_SHOW_FRAME), BST_UNCHECKED);
  dialog.CloseWindow(IDCANCEL);
}

TEST(FileDialog, HookReplacesTheSystemDialogAndItsAnswerIsTheResult) {
  SetFileDialogHook([](TOpenSaveDialog::TData& data) {
    std::snprintf(data.FileName, static_cast<std::size_t>(data.MaxPath), "chosen.tmr");
    return IDOK;
  });
  TOpenSaveDialog::TData data(OFN_FILEMUSTEXIST, "All|*.*");
  EXPECT_EQ(TFileOpenDialog(nullptr, data).Execute(), IDOK);
  EXPECT_STREQ(data.FileName, "chosen.tmr");

  SetFileDialogHook([](TOpenSaveDialog::TData&) { return IDCANCEL; });
  EXPECT_EQ(TFileOpenDialog(nullptr, data).Execute(), IDCANCEL);
  EXPECT_STREQ(data.FileName, "chosen.tmr");
  SetFileDialogHook({});
}

}  // namespace
