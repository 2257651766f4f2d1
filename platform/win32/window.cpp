// Windows of the framework over USER: class registration, the window procedure that dispatches
// through the response tables, the window operations, the message box and windows of other programs.
#include <cstdint>
#include <exception>
#include <string>

#include "framework.h"
#include "framework_backend.h"
#include "win32_internal.h"

namespace {
// The object whose CreateWindowEx is running: it is bound to the first message of its window,
// which arrives before CreateWindowEx returns.
thread_local TWindow* windowBeingCreated = nullptr;
thread_local std::exception_ptr keptException;

TWindow* boundWindow(HWND window) { return reinterpret_cast<TWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }
}  // namespace

namespace win32 {

void KeepException() {
  if (!keptException) keptException = std::current_exception();
}

void RaiseKeptException() {
  if (!keptException) return;
  std::exception_ptr exception = keptException;
  keptException = nullptr;
  std::rethrow_exception(exception);
}

HINSTANCE InstanceOf(const TModule* module) { return module ? module->GetHandle() : ProgramModule().GetHandle(); }

LRESULT CALLBACK WindowProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  // No handler paints the saver's window: what the system erases or asks to repaint is noted here,
  // before the update region is validated, and the next block copy brings it back.
  if (message == WM_PAINT) {
    RECT area{};
    if (GetUpdateRect(handle, &area, FALSE)) NoteRepaint(handle, area);
  } else if (message == WM_ERASEBKGND) {
    RECT area{};
    if (GetClipBox(reinterpret_cast<HDC>(wParam), &area) != ERROR) NoteRepaint(handle, area);
  } else if (message == WM_NCDESTROY) {
    ForgetContents(handle);
  }
  TWindow* window = boundWindow(handle);
  if (!window && windowBeingCreated) {
    window = windowBeingCreated;
    windowBeingCreated = nullptr;
    window->SetHandle(handle);
    SetWindowLongPtrA(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
  }
  if (!window) return DefWindowProcA(handle, message, wParam, lParam);

  TMessage packed{message, wParam, lParam, 0};
  LRESULT result = 0;
  try {
    if (message == WM_DESTROY) window->CleanupWindow();
    result = window->Dispatch(packed);
  } catch (...) {
    KeepException();
  }
  if (message == WM_NCDESTROY && boundWindow(handle) == window) {
    SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
    window->SetHandle(nullptr);
  }
  return result;
}

}  // namespace win32

// --- modules ----------------------------------------------------------------------------------

// Everything is linked into the one program, so every module's resources are the program's.
HINSTANCE TModule::GetHandle() const { return GetModuleHandleA(nullptr); }

// --- windows ----------------------------------------------------------------------------------

TWindow::TWindow(HWND existing, TModule* module) : Module(module), Handle(existing), Alias(true) {
  char text[256] = "";
  if (existing && GetWindowTextA(existing, text, sizeof text) > 0) Title = text;
}

TWindow::~TWindow() {
  if (!Handle || Alias) return;
  // Unbound first: the messages of the destruction must not reach a half-destroyed object.
  SetWindowLongPtrA(Handle, GWLP_USERDATA, 0);
  DestroyWindow(Handle);
  Handle = nullptr;
}

const char* TWindow::GetClassName() { return "tesmar_Window"; }

void TWindow::GetWindowClass(WNDCLASS& windowClass) {
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = win32::WindowProcedure;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = win32::InstanceOf(Module);
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = GetClassName();
}

bool TWindow::Create() {
  if (Handle) return true;
  const char* className = GetClassName();
  const HINSTANCE instance = win32::InstanceOf(Module);
  WNDCLASSA registered{};
  if (!GetClassInfoA(instance, className, &registered)) {
    WNDCLASSA windowClass{};
    GetWindowClass(windowClass);
    windowClass.lpfnWndProc = win32::WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    if (!RegisterClassA(&windowClass)) {
      FrameworkTrace((std::string("cannot register the window class ") + className).c_str());
      return false;
    }
  }
  windowBeingCreated = this;
  const HWND handle = CreateWindowExA(Attr.ExStyle, className, Title.c_str(), Attr.Style, Attr.X, Attr.Y, Attr.W,
                                      Attr.H, Parent ? Parent->GetHandle() : nullptr, nullptr, instance, nullptr);
  windowBeingCreated = nullptr;
  win32::RaiseKeptException();
  if (!handle) {
    FrameworkTrace((std::string("cannot create a window of the class ") + className).c_str());
    return false;
  }
  SetupWindow();
  return true;
}

void TWindow::Destroy(int returnValue) {
  if (!Handle || Alias) return;
  // A modal dialog ends through its own loop, which then destroys the window.
  if (auto* dialog = dynamic_cast<TDialog*>(this); dialog && dialog->IsModalRunning()) {
    EndDialog(Handle, returnValue);
    return;
  }
  DestroyWindow(Handle);
}

void TWindow::SetParent(TWindow* newParent) {
  Parent = newParent;
  if (!Handle || Alias) return;
  const HWND parentHandle = newParent ? newParent->GetHandle() : nullptr;
  // A child window moves into its new parent; a top-level window only changes its owner.
  if (GetWindowLongPtrA(Handle, GWL_STYLE) & WS_CHILD) {
    ::SetParent(Handle, parentHandle);
  } else {
    SetWindowLongPtrA(Handle, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(parentHandle));
  }
}

bool TWindow::ShowWindow(int command) { return Handle && ::ShowWindow(Handle, command); }

LRESULT TWindow::DefaultProcessing() {
  const TMessage* message = CurrentMessage;
  if (!message || !Handle) return 0;
  if (dynamic_cast<TDialog*>(this)) {
    win32::RequestDialogDefault();
    return 0;
  }
  return DefWindowProcA(Handle, message->Message, message->WParam, message->LParam);
}

void TWindow::Invalidate(bool erase) { InvalidateRect(Handle, nullptr, erase); }

bool TWindow::MoveWindow(const TRect& rect, bool repaint) {
  if (!Handle) return false;
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
  if (!repaint) flags |= SWP_NOREDRAW;
  return SetWindowPos(Handle, nullptr, rect.left, rect.top, rect.Width(), rect.Height(), flags);
}

int ShowSystemMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  return ::MessageBoxA(owner, text, caption, type);
}

// A child made with an alias of this window as parent is created inside it.
HWND OpenForeignWindow(unsigned long nativeId) {
  HWND window = nativeId ? reinterpret_cast<HWND>(static_cast<std::uintptr_t>(nativeId)) : GetDesktopWindow();
  return IsWindow(window) ? window : nullptr;
}
