// The settings dialog on its real template: what it shows from "tes-mar.ini", what OK stores, that
// Cancel and the close box store nothing, "Browse..."; and the entry's check for a running saver.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app_test_support.h"
#include "resource.h"
#include "trace_recorder.h"

namespace {

class SettingsDialog : public SaverFilesTest {
 protected:
  std::unique_ptr<TScrnSavDlg> Open() {
    auto dialog = std::make_unique<TScrnSavDlg>(nullptr, "IDD_CONFIGURE", &App);
    EXPECT_TRUE(dialog->Create());
    return dialog;
  }
  void Command(TScrnSavDlg& dialog, int id) {
    TMessage command{WM_COMMAND, MAKEWPARAM(id, 0), 0, 0};
    dialog.Dispatch(command);
    App.PumpWaitingMessages();
  }
  static std::string FileField(const TScrnSavDlg& dialog) {
    char text[300] = "";
    dialog.GetDlgItemText(IDC_FILE_NAME, text, sizeof text);
    return text;
  }
  static std::vector<UINT> Checks(const TScrnSavDlg& dialog, std::initializer_list<int> ids) {
    std::vector<UINT> states;
    for (int id : ids) states.push_back(dialog.IsDlgButtonChecked(id));
    return states;
  }
};

TEST_F(SettingsDialog, WithoutASettingsFileShowsItsDefaultsAndOkStoresThem) {
  auto dialog = Open();
  EXPECT_EQ(Checks(*dialog, {IDC_SLOW, IDC_MEDIUM, IDC_FAST}), (std::vector<UINT>{0, 1, 0}));
  EXPECT_EQ(dialog->IsDlgButtonChecked(IDC_SHOW_FRAME), 1u);
  EXPECT_EQ(Checks(*dialog, {IDC_START_WITH_FILE, IDC_START_RANDOM}), (std::vector<UINT>{0, 1}));
  EXPECT_EQ(FileField(*dialog), "default.tmr");

  Command(*dialog, IDOK);
  EXPECT_EQ(dialog->GetReturnValue(), IDOK);
  EXPECT_EQ(Setting("Speed"), "1");
  EXPECT_EQ(Setting("Frame_on"), "1");
  EXPECT_EQ(Setting("what_file"), "1");
  EXPECT_EQ(Setting("param_file"), "default.tmr");
}

// Settings that cannot be stored (the folder's name taken by a file) are not closed over in silence: the
// user is told where, and the dialog stays open to try again or to cancel.
TEST_F(SettingsDialog, OkThatCannotStoreSaysSoAndStaysOpen) {
  const std::string folder = SaverFolder();
  std::filesystem::remove_all(folder);
  std::ofstream(folder) << "in the way";
  auto dialog = Open();
  Command(*dialog, IDOK);
  std::filesystem::remove(folder);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text.rfind("The settings could not be saved to ", 0), 0u) << Boxes[0].Text;
  EXPECT_NE(Boxes[0].Text.find("tes-mar.ini"), std::string::npos) << Boxes[0].Text;
  EXPECT_EQ(Boxes[0].Caption, AppName);
  EXPECT_NE(dialog->GetHandle(), nullptr) << "the dialog closed";

  Command(*dialog, IDOK);
  EXPECT_EQ(dialog->GetReturnValue(), IDOK);
  EXPECT_EQ(Setting("Speed"), "1");
}

TEST_F(SettingsDialog, ShowsTheStoredSettingsAndStoresWhatTheUserChanged) {
  WriteSettings({{"Speed", "0"}, {"Frame_on", "0"}, {"what_file", "0"}, {"param_file", "mine.tmr extra"}});
  auto dialog = Open();
  EXPECT_EQ(Checks(*dialog, {IDC_SLOW, IDC_MEDIUM, IDC_FAST}), (std::vector<UINT>{1, 0, 0}));
  EXPECT_EQ(dialog->IsDlgButtonChecked(IDC_SHOW_FRAME), 0u);
  EXPECT_EQ(Checks(*dialog, {IDC_START_WITH_FILE, IDC_START_RANDOM}), (std::vector<UINT>{1, 0}));
  EXPECT_EQ(FileField(*dialog), "mine.tmr");

  dialog->CheckRadioButton(IDC_SLOW, IDC_FAST, IDC_FAST);
  dialog->CheckDlgButton(IDC_SHOW_FRAME, BST_CHECKED);
  dialog->CheckRadioButton(IDC_START_WITH_FILE, IDC_START_RANDOM, IDC_START_RANDOM);
  dialog->SetDlgItemText(IDC_FILE_NAME, "");
  Command(*dialog, IDOK);
  EXPECT_EQ(Setting("Speed"), "2");
  EXPECT_EQ(Setting("Frame_on"), "1");
  EXPECT_EQ(Setting("what_file"), "1");
  EXPECT_EQ(Setting("param_file"), "");
}

TEST_F(SettingsDialog, OddStoredValuesShowNoSpeedAndStartWithTheFile) {
  WriteSettings({{"Speed", "5"}, {"what_file", "3"}, {"param_file", ""}});
  auto dialog = Open();
  EXPECT_EQ(Checks(*dialog, {IDC_SLOW, IDC_MEDIUM, IDC_FAST}), (std::vector<UINT>{0, 0, 0}));
  EXPECT_EQ(Checks(*dialog, {IDC_START_WITH_FILE, IDC_START_RANDOM}), (std::vector<UINT>{1, 0}));
  EXPECT_EQ(FileField(*dialog), "");
  Command(*dialog, IDOK);
  EXPECT_EQ(Setting("Speed"), "2");
  EXPECT_EQ(Setting("what_file"), "0");
}

// Frame_on and what_file keep what they held (0 at start); a speed with no number reads as missing.
TEST_F(SettingsDialog, ValuesWithNoNumberLeaveTheirSettingsAsTheyWere) {
  WriteSettings({{"Speed", "fast"}, {"Frame_on", "x"}, {"what_file", " -"}});
  auto dialog = Open();
  EXPECT_EQ(Checks(*dialog, {IDC_SLOW, IDC_MEDIUM, IDC_FAST}), (std::vector<UINT>{0, 1, 0}));
  EXPECT_EQ(dialog->IsDlgButtonChecked(IDC_SHOW_FRAME), 0u);
  EXPECT_EQ(Checks(*dialog, {IDC_START_WITH_FILE, IDC_START_RANDOM}), (std::vector<UINT>{1, 0}));
}

TEST_F(SettingsDialog, CancelAndTheCloseBoxStoreNothing) {
  auto cancelled = Open();
  cancelled->CheckRadioButton(IDC_SLOW, IDC_FAST, IDC_SLOW);
  Command(*cancelled, IDCANCEL);
  EXPECT_EQ(cancelled->GetReturnValue(), IDCANCEL);
  EXPECT_FALSE(ReadWholeFile(SaverFolderFile("tes-mar.ini")).has_value());

  auto closed = Open();
  TMessage close{WM_CLOSE, 0, 0, 0};
  closed->Dispatch(close);
  App.PumpWaitingMessages();
  EXPECT_EQ(closed->GetReturnValue(), IDCANCEL);
  EXPECT_FALSE(ReadWholeFile(SaverFolderFile("tes-mar.ini")).has_value());
}

TEST_F(SettingsDialog, BrowseOffersParameterFilesAndOkStoresTheChoiceCut) {
  const std::string chosen = "/some/rather/long/folder/for/parameters/start-here.tmr";
  struct Offer {
    DWORD Flags;
    std::string Filter, InitialDir, DefaultExtension;
  };
  std::vector<Offer> offers;
  SetFileDialogHook([&](TOpenSaveDialog::TData& data) {
    offers.push_back({data.Flags, data.Filter, data.InitialDir, data.DefaultExtension});
    CopyCut(data.FileName, static_cast<std::size_t>(data.MaxPath), chosen.c_str());
    return IDOK;
  });
  auto dialog = Open();
  Command(*dialog, IDC_BROWSE);
  ASSERT_EQ(offers.size(), 1u);
  EXPECT_EQ(offers[0].Flags, 0x1804u);
  EXPECT_EQ(offers[0].Filter, "Configuration Files (*.tmr)|*.tmr| All Files (*.*)| *.*");
  EXPECT_EQ(offers[0].InitialDir, SaverFolder());
  EXPECT_EQ(offers[0].DefaultExtension, "*");
  EXPECT_EQ(FileField(*dialog), chosen);
  // Browsing alone stores nothing.
  EXPECT_FALSE(ReadWholeFile(SaverFolderFile("tes-mar.ini")).has_value());

  Command(*dialog, IDOK);
  EXPECT_EQ(Setting("param_file"), chosen.substr(0, 39));
  EXPECT_STREQ(param_file, chosen.substr(0, 39).c_str());
}

TEST_F(SettingsDialog, ABrowseThatIsCancelledLeavesTheField) {
  SetFileDialogHook([](TOpenSaveDialog::TData& data) {
    CopyCut(data.FileName, static_cast<std::size_t>(data.MaxPath), "/not/taken.tmr");
    return IDCANCEL;
  });
  auto dialog = Open();
  Command(*dialog, IDC_BROWSE);
  EXPECT_EQ(FileField(*dialog), "default.tmr");
}

// --- the entry ----------------------------------------------------------------------------------

#ifndef _WIN32
std::string commandLine;
const char* TestCommandLine() { return commandLine.c_str(); }

// Linux's password change leaves a trace, which shows whether the entry went as far as Run.
TEST(Entry, DoesNothingWhileASaverRunsAndLeavesTheFlagAsItWas) {
  SetCommandLineSource(&TestCommandLine);
  TTraceRecorder recorder;
  commandLine = "tesmar /a";

  EXPECT_FALSE(IsSaverRunning());
  EXPECT_FALSE(IsSaverRunning());
  EXPECT_EQ(OwlMain(0, nullptr), 0);
  EXPECT_EQ(recorder.All().size(), 1u);

  UINT previous = 0;
  SystemParametersInfoA(SPI_SCREENSAVERRUNNING, TRUE, &previous, 0);
  recorder.Clear();
  EXPECT_TRUE(IsSaverRunning());
  EXPECT_TRUE(IsSaverRunning());
  EXPECT_EQ(OwlMain(0, nullptr), 0);
  EXPECT_TRUE(recorder.All().empty());

  SystemParametersInfoA(SPI_SCREENSAVERRUNNING, FALSE, &previous, 0);
  SetCommandLineSource(nullptr);
}
#endif

}  // namespace
