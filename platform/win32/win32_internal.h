// What the Windows back end's files share: the window and dialog procedures, the hand-over of
// exceptions raised inside them, and the file dialog's filter conversion.
#pragma once

#include <string>

#include "framework.h"

namespace win32 {

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A C++ exception cannot unwind through the system's frames around a window procedure, so the
// procedures keep the first one here and the framework raises it again once the system returns.
void KeepException();
void RaiseKeptException();

// Tells the dialog procedure that the message being dispatched wants the system's default handling.
void RequestDialogDefault();

// Passes keyboard messages of a modeless dialog to the dialog manager (Tab, Enter, Escape);
// true when it took the message.
bool TranslateModelessDialogMessage(MSG& message);

// "Text|*.ext|..." as the common dialog wants it: each "|" a NUL, the list ended by two NULs.
std::string FileDialogFilter(const std::string& filter);

// A window's pixels inside that area (client coordinates) were lost or repainted by the system, so the
// next block copy of a bitmap to it must bring them back; ForgetContents when the window goes.
void NoteRepaint(HWND window, const RECT& area);
void ForgetContents(HWND window);

// The module whose resources hold the window classes and dialog templates.
HINSTANCE InstanceOf(const TModule* module);

}  // namespace win32
