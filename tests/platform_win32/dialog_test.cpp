// What only the system's dialog manager does: keys in controls, default handling, modeless dialogs,
// the filter string and the system's own file-open dialog.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "framework.h"
#include "probes.h"
#include "scratch.h"
#include "win32_internal.h"

namespace {
constexpr int kEdit = 205;

class ProbeDialog : public TScriptedDialog<ProbeDialog> {
 public:
  explicit ProbeDialog(std::function<void(ProbeDialog&)> script) : TScriptedDialog(std::move(script), nullptr, "PROBE") {}
};

void post(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  PostMessageA(window, message, wParam, lParam);
}

// Escape in a control ends with IDCANCEL and never reaches a derived CloseWindow.
TEST(Dialog, EscapeInAControlEndsWithCancelAndStoresNothing) {
  ProbeDialog dialog([](ProbeDialog& d) { post(GetDlgItem(d.GetHandle(), kEdit), WM_KEYDOWN, VK_ESCAPE); });
  EXPECT_EQ(dialog.Execute(), IDCANCEL);
  EXPECT_TRUE(dialog.Closes.empty());
}

TEST(Dialog, UnhandledMessagesGetTheDialogManagersHandling) {
  std::string title;
  ProbeDialog dialog([&](ProbeDialog& d) {
    SendMessageA(d.GetHandle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Tesmar v1.3"));
    char buffer[32] = "";
    GetWindowTextA(d.GetHandle(), buffer, sizeof buffer);
    title = buffer;
    d.CloseWindow(IDOK);
  });
  EXPECT_EQ(dialog.Execute(), IDOK);
  EXPECT_EQ(title, "Tesmar v1.3");
}

TEST(Dialog, ModelessDialogTakesKeysThroughThePumpAndClosesByDestroying) {
  TApplication application("tesmar-test");
  ProbeDialog dialog(nullptr);
  ASSERT_TRUE(dialog.Create());
  const HWND handle = dialog.GetHandle();
  ASSERT_TRUE(IsWindow(handle));
  EXPECT_EQ(dialog.Setups, 1);
  post(GetDlgItem(handle, kEdit), WM_KEYDOWN, VK_ESCAPE);
  for (int i = 0; i < 100 && IsWindow(handle); ++i) {
    application.PumpWaitingMessages();
    Sleep(10);
  }
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(dialog.GetReturnValue(), IDCANCEL);

  ProbeDialog second(nullptr);
  ASSERT_TRUE(second.Create());
  second.CloseWindow(IDOK);
  EXPECT_EQ(second.GetHandle(), nullptr);
  EXPECT_EQ(second.GetReturnValue(), IDOK);
}

TEST(FileDialog, FilterSeparatorsBecomeNulsAndTheListEndsWithTwo) {
  const std::string filter = win32::FileDialogFilter("Configuration Files (*.tmr)|*.tmr| All Files (*.*)| *.*");
  EXPECT_EQ(filter, std::string("Configuration Files (*.tmr)\0*.tmr\0 All Files (*.*)\0 *.*\0\0", 57));
  EXPECT_EQ(win32::FileDialogFilter("a|b|"), std::string("a\0b\0\0", 5));
  EXPECT_EQ(win32::FileDialogFilter(""), std::string("\0\0", 2));
}

// Drives the system's open dialog from a timer: types `name` into it and presses OK.
class OpenDialogDriver {
 public:
  explicit OpenDialogDriver(std::string name) {
    Name = std::move(name);
    Attempts = 0;
    Timer = SetTimer(nullptr, 0, 100, &OpenDialogDriver::Tick);
  }
  ~OpenDialogDriver() { KillTimer(nullptr, Timer); }

 private:
  static BOOL CALLBACK Find(HWND window, LPARAM found) {
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) == "#32770" && IsWindowVisible(window)) {
      *reinterpret_cast<HWND*>(found) = window;
      return FALSE;
    }
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &Find, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    if (++Attempts > 20) {  // never hang: give up with Cancel
      PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      return;
    }
    // The explorer-style dialog's file name box is a combo box (cmb13); the old style's an edit (edt1).
    HWND field = GetDlgItem(dialog, 0x47C);
    if (!field) field = GetDlgItem(dialog, 0x480);
    if (!field) return;
    SetWindowTextA(field, Name.c_str());
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }

  static inline std::string Name;
  static inline int Attempts = 0;
  UINT_PTR Timer = 0;
};

TEST(FileDialog, SystemDialogGivesTheChosenPathAndLeavesTheCurrentDirectory) {
  ScratchFolder folder;
  const std::string chosen = folder.File("start.tmr");
  WritePrivateProfileStringA("tes-mar_ScreenSaver", "ball_density", "0.001000", chosen.c_str());
  char before[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof before, before);

  TOpenSaveDialog::TData data(OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST,
                              "Configuration Files (*.tmr)|*.tmr| All Files (*.*)| *.*", nullptr,
                              folder.Path.c_str(), "*", 0, 0);
  {
    OpenDialogDriver driver(chosen);
    ASSERT_EQ(TFileOpenDialog(nullptr, data).Execute(), IDOK);
  }
  EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, data.FileName, -1, chosen.c_str(), -1), CSTR_EQUAL)
      << data.FileName;
  char after[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof after, after);
  EXPECT_STREQ(after, before);
}

// A path longer than the buffer is refused, and the buffer keeps what it held.
TEST(FileDialog, PathLongerThanTheBufferIsNotTakenAndTheBufferIsKept) {
  ScratchFolder folder;
  const std::string chosen = folder.File(std::string(60, 'p') + ".tmr");
  WritePrivateProfileStringA("tes-mar_ScreenSaver", "ball_density", "0.001000", chosen.c_str());
  TOpenSaveDialog::TData data(OFN_FILEMUSTEXIST, "All|*.*", nullptr, folder.Path.c_str(), nullptr, 40, 0);
  std::snprintf(data.FileName, 40, "old.tmr");
  {
    OpenDialogDriver driver(chosen);
    EXPECT_EQ(TFileOpenDialog(nullptr, data).Execute(), IDCANCEL);
  }
  EXPECT_STREQ(data.FileName, "old.tmr");
}
}  // namespace
