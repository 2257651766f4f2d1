// What each back end provides to the framework code that both share: the system's own modal boxes,
// which the shared code calls once the hooks that tests set are out of the way.
#pragma once

#include "framework.h"

// The system's own message box over owner (null: none).
int ShowSystemMessageBox(HWND owner, const char* text, const char* caption, UINT type);

// The system's own file-open dialog over owner (null: none), as TFileOpenDialog::Execute promises it.
int ShowSystemFileOpenDialog(HWND owner, TOpenSaveDialog::TData& data);
