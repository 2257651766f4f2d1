// Dialogs from the program's dialog templates, run by the system's dialog manager, and the file-open
// dialog over the common dialog library.
#include <string>

#include "framework.h"  // brings <windows.h> before the common dialog errors
#include <cderr.h>
#include "win32_internal.h"

namespace {
thread_local bool dialogDefaultRequested = false;

TFileDialogHook& fileDialogHook() {
  static TFileDialogHook hook;
  return hook;
}

TDialog* boundDialog(HWND window) { return reinterpret_cast<TDialog*>(GetWindowLongPtrA(window, DWLP_USER)); }

// Ends the dialog after an exception inside its procedure, so that the exception reaches the caller.
void abandon(TDialog& dialog, HWND window) {
  win32::KeepException();
  if (dialog.IsModalRunning()) {
    EndDialog(window, IDCANCEL);
  } else {
    DestroyWindow(window);
  }
}
}  // namespace

namespace win32 {

void RequestDialogDefault() { dialogDefaultRequested = true; }

INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<TDialog*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    dialog->SetHandle(window);
    try {
      dialog->SetupWindow();
    } catch (...) {
      abandon(*dialog, window);
    }
    return TRUE;  // the dialog manager puts the focus on the first control
  }
  TDialog* dialog = boundDialog(window);
  if (!dialog) return FALSE;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, DWLP_USER, 0);
    dialog->SetHandle(nullptr);
    return FALSE;
  }

  TMessage packed{message, wParam, lParam, 0};
  const bool outerRequest = dialogDefaultRequested;
  dialogDefaultRequested = false;
  try {
    if (message == WM_DESTROY) dialog->CleanupWindow();
    dialog->Dispatch(packed);
  } catch (...) {
    abandon(*dialog, window);
  }
  const bool wantsDefault = dialogDefaultRequested;
  dialogDefaultRequested = outerRequest;
  if (wantsDefault) return FALSE;
  SetWindowLongPtrA(window, DWLP_MSGRESULT, packed.Result);
  return TRUE;
}

bool TranslateModelessDialogMessage(MSG& message) {
  if (!message.hwnd) return false;
  const HWND root = GetAncestor(message.hwnd, GA_ROOT);
  if (!root || GetWindowLongPtrA(root, DWLP_DLGPROC) != reinterpret_cast<LONG_PTR>(&DialogProcedure)) return false;
  const TDialog* dialog = boundDialog(root);
  if (!dialog || dialog->IsModalRunning()) return false;
  return IsDialogMessageA(root, &message);
}

std::string FileDialogFilter(const std::string& filter) {
  std::string converted = filter;
  for (char& c : converted) {
    if (c == '|') c = '\0';
  }
  if (converted.empty() || converted.back() != '\0') converted.push_back('\0');
  converted.push_back('\0');
  return converted;
}

}  // namespace win32

// --- dialogs ----------------------------------------------------------------------------------

TDialog::TDialog(TWindow* parent, const char* templateName, TModule* module)
    : TWindow(parent, nullptr, module), TemplateName(templateName ? templateName : "") {}

TDialog::~TDialog() {
  if (!Handle || Alias) return;
  SetWindowLongPtrA(Handle, DWLP_USER, 0);
  if (Running) {
    EndDialog(Handle, IDCANCEL);
  } else {
    DestroyWindow(Handle);
  }
  Handle = nullptr;
}

int TDialog::Execute() {
  if (Handle) {
    FrameworkTrace("a dialog that already exists cannot run modally");
    return -1;
  }
  Running = true;
  ReturnValue = IDCANCEL;
  const INT_PTR result = DialogBoxParamA(win32::InstanceOf(Module), TemplateName.c_str(),
                                         Parent ? Parent->GetHandle() : nullptr, win32::DialogProcedure,
                                         reinterpret_cast<LPARAM>(this));
  Running = false;
  win32::RaiseKeptException();
  if (result == -1) {
    FrameworkTrace(("cannot run the dialog " + TemplateName).c_str());
    return -1;
  }
  ReturnValue = static_cast<int>(result);
  return ReturnValue;
}

bool TDialog::Create() {
  if (Handle) return true;
  const HWND handle = CreateDialogParamA(win32::InstanceOf(Module), TemplateName.c_str(),
                                         Parent ? Parent->GetHandle() : nullptr, win32::DialogProcedure,
                                         reinterpret_cast<LPARAM>(this));
  win32::RaiseKeptException();
  if (!handle) {
    FrameworkTrace(("cannot create the dialog " + TemplateName).c_str());
    return false;
  }
  return true;
}

void TDialog::CloseWindow(int returnValue) {
  ReturnValue = returnValue;
  if (!Handle) return;
  if (Running) {
    EndDialog(Handle, returnValue);
  } else {
    DestroyWindow(Handle);
  }
}

void TDialog::SetupWindow() { TWindow::SetupWindow(); }

// --- the file-open dialog ---------------------------------------------------------------------

int TFileOpenDialog::Execute() {
  if (fileDialogHook()) return fileDialogHook()(Data);
  if (!Data.FileName || Data.MaxPath <= 0) return IDCANCEL;
  Data.FileName[Data.MaxPath - 1] = '\0';
  const std::string initialName = Data.FileName;
  std::string filter = win32::FileDialogFilter(Data.Filter);

  OPENFILENAMEA request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = Parent ? Parent->GetHandle() : nullptr;
  request.lpstrFilter = Data.Filter.empty() ? nullptr : filter.data();
  // The custom filter's buffer size is unknown here, so the system is not given it to fill.
  request.nFilterIndex = static_cast<DWORD>(Data.FilterIndex);
  // The system writes at most MaxPath characters and fails rather than cut a longer path.
  request.lpstrFile = Data.FileName;
  request.nMaxFile = static_cast<DWORD>(Data.MaxPath);
  request.lpstrInitialDir = Data.InitialDir.empty() ? nullptr : Data.InitialDir.c_str();
  request.lpstrDefExt = Data.DefaultExtension.empty() ? nullptr : Data.DefaultExtension.c_str();
  // Browsing must not move the current directory, which the settings file's search includes.
  request.Flags = Data.Flags | OFN_NOCHANGEDIR;

  if (GetOpenFileNameA(&request)) {
    Data.FilterIndex = static_cast<int>(request.nFilterIndex);
    if (GetFileAttributesA(Data.FileName) != INVALID_FILE_ATTRIBUTES) return IDOK;
    FrameworkTrace("the file chosen in the file dialog does not exist");
  } else if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
    FrameworkTrace("the path chosen in the file dialog is too long");
  }
  initialName.copy(Data.FileName, initialName.size());
  Data.FileName[initialName.size()] = '\0';
  return IDCANCEL;
}

void SetFileDialogHook(TFileDialogHook hook) { fileDialogHook() = std::move(hook); }
