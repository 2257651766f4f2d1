// Fuzzes the settings readers of the saver window and of the settings dialog with any "tes-mar.ini":
// both read it without a crash or an overrun, the window builds its engine, and the dialog's OK
// stores settings that read back as what the dialog showed.
#include <QApplication>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "owlscrn25.h"
#include "profile.h"

namespace {
void check(bool condition) {
  if (!condition) std::abort();
}

TMyScrnSavApp* application = nullptr;

std::string setting(const char* key) {
  TProfile profile(SettingsSection, SettingsFile);
  char value[64] = "";
  profile.GetString(key, value, sizeof value, "<missing>");
  return value;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication qt(*argc, *argv);
  application = new TMyScrnSavApp(AppName);
  std::filesystem::create_directories(WindowsDirectory());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = WindowsDirectoryFile("tes-mar.ini");
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }

  {
    TMyScrnSavWindow window(nullptr, AppName, nullptr);
    check(std::strlen(param_file) < ParamFileSize);
  }

  TScrnSavDlg dialog(nullptr, "IDD_CONFIGURE", application);
  check(dialog.Create());
  const bool slow = dialog.IsDlgButtonChecked(121), medium = dialog.IsDlgButtonChecked(122);
  const bool frame = dialog.IsDlgButtonChecked(102);
  TMessage ok{WM_COMMAND, MAKEWPARAM(IDOK, 0), 0, 0};
  dialog.Dispatch(ok);
  check(setting("Speed") == (slow ? "0" : medium ? "1" : "2"));
  check(setting("Frame_on") == (frame ? "1" : "0"));
  check(setting("param_file").size() <= 39);
  return 0;
}
