// The settings dialog: the stored settings shown in its controls, the file dialog behind "Browse...",
// and the settings stored on OK.
#include "settings_dialog.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "owlscrn25.h"
#include "profile.h"
#include "resource.h"
#include "saver_files.h"
#include "settings.h"

namespace {
// What the dialog stores of the file-name field: at most 39 characters.
constexpr int StoredFileNameSize = 40;
}  // namespace

TScrnSavDlg::TScrnSavDlg(TWindow* parent, const char* templateName, TModule* module)
    : TDialog(parent, templateName, module) {}

const TResponseTable& TScrnSavDlg::ResponseTable() {
  static const TResponseEntry entries[] = {
      RespondCommand<&TDialog::CmCancel>(IDCANCEL),
      RespondCommand<&TScrnSavDlg::SetFileName>(IDC_BROWSE),
  };
  static const TResponseTable table{entries, std::size(entries), &TDialog::ResponseTable()};
  return table;
}

// The dialog's defaults differ from the window's: Medium speed, and "default.tmr" shown only when
// the key is missing.
void TScrnSavDlg::SetupWindow() {
  TDialog::SetupWindow();
  TProfile profile(SettingsSection, SettingsFile);
  const int speed = ReadStoredSettings(profile, 1, DefaultParamFile);
  // A speed outside 0 to 2 leaves all three buttons clear.
  CheckRadioButton(IDC_SLOW, IDC_FAST, (speed >= 0 && speed <= 2) ? IDC_SLOW + speed : 0);
  CheckDlgButton(IDC_SHOW_FRAME, frame_on ? BST_CHECKED : BST_UNCHECKED);
  CheckRadioButton(IDC_START_WITH_FILE, IDC_START_RANDOM, what_file == 1 ? IDC_START_RANDOM : IDC_START_WITH_FILE);
  SetDlgItemText(IDC_FILE_NAME, param_file);
  char minutes[16];
  std::snprintf(minutes, sizeof minutes, "%d", std::clamp(reinit_minutes, 0, MaxReinitMinutes));
  SetDlgItemText(IDC_REINIT_MINUTES, minutes);
}

void TScrnSavDlg::SetFileName() {
  const std::string directory = SaverFolder();
  TOpenSaveDialog::TData data(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST,
                              "Configuration Files (*.tmr)|*.tmr| All Files (*.*)| *.*", nullptr,
                              directory.c_str(), "*");
  if (TFileOpenDialog(this, data).Execute() == IDOK) {
    data.FileName[data.MaxPath - 1] = '\0';
    SetDlgItemText(IDC_FILE_NAME, data.FileName);
  }
}

// Reached through OK; Cancel, Escape and the close box end the dialog without coming here. Settings
// that could not be stored are not closed over in silence: the user is told, and the dialog stays
// open with the choices in it, to try again or cancel.
void TScrnSavDlg::CloseWindow(int returnValue) {
  if (returnValue == IDOK) {
    TProfile profile(SettingsSection, SettingsFile);
    bool stored = WriteSettingInt(profile, "Speed", IsDlgButtonChecked(IDC_SLOW) ? 0 : IsDlgButtonChecked(IDC_MEDIUM) ? 1 : 2);
    stored = WriteSettingInt(profile, "Frame_on", IsDlgButtonChecked(IDC_SHOW_FRAME) == BST_CHECKED ? 1 : 0) && stored;
    stored = WriteSettingInt(profile, "what_file", IsDlgButtonChecked(IDC_START_WITH_FILE) ? 0 : 1) && stored;
    GetDlgItemText(IDC_FILE_NAME, param_file, StoredFileNameSize);
    stored = profile.WriteString("param_file", param_file) && stored;
    // A whole number of minutes: what has none, or less than none, is never.
    char minutes[SettingBufferSize] = "";
    GetDlgItemText(IDC_REINIT_MINUTES, minutes, sizeof minutes);
    reinit_minutes = std::clamp(ReadSettingInt(minutes, 0), 0, MaxReinitMinutes);
    stored = WriteSettingInt(profile, "Reinit_minutes", reinit_minutes) && stored;
    if (!profile.Flush() || !stored) {
      const std::string text = "The settings could not be saved to " + profile.GetFileName() + ".";
      MessageBox(text.c_str(), AppName, MB_OK | MB_ICONEXCLAMATION);
      return;
    }
  }
  TDialog::CloseWindow(returnValue);
}
