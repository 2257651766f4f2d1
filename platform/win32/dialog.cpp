// Dialogs from the program's dialog templates, run by the system's dialog manager: the dialog
// procedure, TDialog's creation, modal run and end, and the dialog-item operations.
#include <string>

#include "framework.h"
#include "win32_internal.h"

namespace {
thread_local bool dialogDefaultRequested = false;

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

}  // namespace win32

// --- dialogs ----------------------------------------------------------------------------------

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

// --- dialog items -----------------------------------------------------------------------------

void TWindow::CheckRadioButton(int firstId, int lastId, int checkId) {
  if (Handle) ::CheckRadioButton(Handle, firstId, lastId, checkId);
}

void TWindow::CheckDlgButton(int id, UINT check) {
  if (Handle) ::CheckDlgButton(Handle, id, check);
}

UINT TWindow::IsDlgButtonChecked(int id) const { return Handle ? ::IsDlgButtonChecked(Handle, id) : BST_UNCHECKED; }

void TWindow::SetDlgItemText(int id, const char* text) {
  if (Handle) ::SetDlgItemTextA(Handle, id, text ? text : "");
}

int TWindow::GetDlgItemText(int id, char* text, int size) const {
  if (!text || size <= 0) return 0;
  text[0] = '\0';
  if (!Handle) return 0;
  return static_cast<int>(::GetDlgItemTextA(Handle, id, text, size));
}
