// Dialogs from templates run by the system's dialog manager, and the file-open dialog.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework.h"
#include "resource.h"
#include "scratch.h"
#include "win32_internal.h"

namespace {
constexpr int kMore = 206;
constexpr int kEdit = 205;

// Runs `script` once the dialog exists, then records what reaches CloseWindow.
class ProbeDialog : public TDialog {
 public:
  explicit ProbeDialog(std::function<void(ProbeDialog&)> script, const char* name = "PROBE")
      : TDialog(nullptr, name), Script(std::move(script)) {}

  void SetupWindow() override {
    TDialog::SetupWindow();
    ++Setups;
    if (Script) Script(*this);
  }
  void CloseWindow(int returnValue) override {
    Closes.push_back(returnValue);
    TDialog::CloseWindow(returnValue);
  }
  void CmMore() { ++Mores; }

  std::function<void(ProbeDialog&)> Script;
  int Setups = 0;
  int Mores = 0;
  std::vector<int> Closes;

  DECLARE_WINDOW_RESPONSES()
};

const TResponseTable& ProbeDialog::ResponseTable() {
  static const TResponseEntry entries[] = {RespondCommand<&ProbeDialog::CmMore>(kMore)};
  static const TResponseTable table{entries, std::size(entries), &TDialog::ResponseTable()};
  return table;
}

void post(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  PostMessageA(window, message, wParam, lParam);
}

TEST(Dialog, ModalRunFillsAndReadsItsControlsAndEndsWithOk) {
  std::string text;
  int copied = -1;
  std::vector<UINT> radios;
  ProbeDialog dialog([&](ProbeDialog& d) {
    d.CheckRadioButton(201, 203, 202);
    d.CheckDlgButton(204, BST_CHECKED);
    for (int id = 201; id <= 204; ++id) radios.push_back(d.IsDlgButtonChecked(id));
    d.SetDlgItemText(kEdit, "default.tmr");
    char cut[5];
    copied = d.GetDlgItemText(kEdit, cut, sizeof cut);
    text = cut;
    post(d.GetHandle(), WM_COMMAND, MAKEWPARAM(kMore, BN_CLICKED));
    post(d.GetHandle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));
  });
  EXPECT_EQ(dialog.Execute(), IDOK);
  EXPECT_EQ(dialog.GetReturnValue(), IDOK);
  EXPECT_EQ(dialog.Setups, 1);
  EXPECT_EQ(dialog.Mores, 1);
  EXPECT_EQ(dialog.Closes, std::vector<int>{IDOK});
  EXPECT_EQ(radios, (std::vector<UINT>{BST_UNCHECKED, BST_CHECKED, BST_UNCHECKED, BST_CHECKED}));
  EXPECT_EQ(text, "defa");
  EXPECT_EQ(copied, 4);
  EXPECT_FALSE(dialog.IsModalRunning());
  EXPECT_EQ(dialog.GetHandle(), nullptr);
}

// Escape, the close box and Cancel end with IDCANCEL and never reach a derived CloseWindow.
TEST(Dialog, EscapeCloseAndCancelEndWithCancelAndStoreNothing) {
  const std::vector<std::function<void(ProbeDialog&)>> endings = {
      [](ProbeDialog& d) { post(GetDlgItem(d.GetHandle(), kEdit), WM_KEYDOWN, VK_ESCAPE); },
      [](ProbeDialog& d) { post(d.GetHandle(), WM_SYSCOMMAND, SC_CLOSE); },
      [](ProbeDialog& d) { post(d.GetHandle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)); },
  };
  for (std::size_t i = 0; i < endings.size(); ++i) {
    ProbeDialog dialog(endings[i]);
    EXPECT_EQ(dialog.Execute(), IDCANCEL) << "ending " << i;
    EXPECT_TRUE(dialog.Closes.empty()) << "ending " << i;
  }
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

TEST(Dialog, MissingTemplateIsAFailureNotAnAnswer) {
  ProbeDialog dialog(nullptr, "NO_SUCH_DIALOG");
  EXPECT_EQ(dialog.Execute(), -1);
  EXPECT_FALSE(dialog.Create());
  EXPECT_EQ(dialog.Setups, 0);
}

TEST(Dialog, ExceptionInSetupEndsTheDialogAndReachesTheCaller) {
  ProbeDialog dialog([](ProbeDialog&) { throw std::runtime_error("setup failed"); });
  EXPECT_THROW(dialog.Execute(), std::runtime_error);
  EXPECT_FALSE(dialog.IsModalRunning());
}

// The program's own template, compiled by windres from the shared resource script.
TEST(Dialog, ProgramTemplateHasTheSettingsControls) {
  std::vector<std::string> texts;
  ProbeDialog dialog(
      [&](ProbeDialog& d) {
        for (int id : {IDC_SLOW, IDC_MEDIUM, IDC_FAST, IDC_SHOW_FRAME, IDC_FILE_NAME, IDC_START_WITH_FILE,
                       IDC_START_RANDOM, IDC_BROWSE, IDC_REINIT_MINUTES, IDOK, IDCANCEL}) {
          char text[64] = "?";
          if (GetDlgItem(d.GetHandle(), id)) d.GetDlgItemText(id, text, sizeof text);
          texts.push_back(text);
        }
        d.CloseWindow(IDCANCEL);
      },
      "IDD_CONFIGURE");
  ASSERT_EQ(dialog.Execute(), IDCANCEL);
  EXPECT_EQ(texts, (std::vector<std::string>{"Slow", "Medium", "Fast", "Show Frame", "default.tmr", "Start with",
                                             "Start with random parameters", "Browse...", "0", "OK", "Cancel"}));
}

TEST(FileDialog, FilterSeparatorsBecomeNulsAndTheListEndsWithTwo) {
  const std::string filter = win32::FileDialogFilter("Configuration Files (*.tmr)|*.tmr| All Files (*.*)| *.*");
  EXPECT_EQ(filter, std::string("Configuration Files (*.tmr)\0*.tmr\0 All Files (*.*)\0 *.*\0\0", 57));
  EXPECT_EQ(win32::FileDialogFilter("a|b|"), std::string("a\0b\0\0", 5));
  EXPECT_EQ(win32::FileDialogFilter(""), std::string("\0\0", 2));
}

TEST(FileDialog, HookReplacesTheSystemDialog) {
  SetFileDialogHook([](TOpenSaveDialog::TData& data) {
    std::snprintf(data.FileName, static_cast<std::size_t>(data.MaxPath), "C:\\chosen.tmr");
    return IDOK;
  });
  TOpenSaveDialog::TData data(OFN_FILEMUSTEXIST, "All|*.*");
  EXPECT_EQ(TFileOpenDialog(nullptr, data).Execute(), IDOK);
  SetFileDialogHook({});
  EXPECT_STREQ(data.FileName, "C:\\chosen.tmr");
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
