// The back-end contract: what a back end provides to the portable code and to platform/common, and the
// system's types, constants and calls the portable code names, with the values Windows uses.
// On Windows the system provides those through <windows.h>; elsewhere the back end implements the
// stand-ins declared below, with the meaning of the Windows calls of the same names.
//
// What each back end defines (platform/win32 over USER and GDI, platform/qt over Qt 6); the rest of
// platform/include is defined once, in platform/common:
//   framework.h       TModule::GetHandle
//                     TWindow: TWindow(HWND, TModule*), ~TWindow, GetClassName, GetWindowClass, Create,
//                       Destroy, SetParent, ShowWindow, DefaultProcessing, Invalidate, MoveWindow,
//                       CheckRadioButton, CheckDlgButton, IsDlgButtonChecked, SetDlgItemText, GetDlgItemText
//                     TDialog: ~TDialog, Create, Execute, CloseWindow
//                     TApplication: PumpWaitingMessages, WaitForMessage, WaitForMessageUntil, EndTimedWaits
//                     OpenForeignWindow
//   drawing.h         TDeviceDC and its TState: the constructor, the destructor and every drawing member
//                     TClientDC(HWND), TMemoryDC(TBitmap&), TMemoryDC(const TDC&)
//                     TBitmap and its TState: the constructor, the destructor, Width, Height
//                     TDib(const TBitmap&, const void*)
//   profile.h         TProfile and its TState: every member (the in-memory profile on Linux only)
//   monitors.h        GetMonitorRects
//   saver_instance.h  SaverFlagBelongsToSystem, SaverClaimedElsewhere, ClaimSaver
//   math_errors.h     InstallMathErrorHook
//   this header       GetMillisecondTick; away from Windows, every function declared below
//   platform/common/framework_backend.h    ShowSystemMessageBox, ShowSystemFileOpenDialog
//   platform/common/saver_file_location.h  SaverFolderPath, MakeSaverFolder, FindOnSearchPath,
//                     CanReplaceFile, FileExists, IsNewerFile, SameFileName
// Away from Windows a back end also translates its input into the window messages below (with their
// virtual-key codes and flags) and hands them to the window's response table. The program's start lives
// in each back end's entry/ folder and reaches the program only through program_start.h (OwlMain,
// ReadProgramStart, EndRunNow), which the program defines.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commdlg.h>
// Every translation unit sees <windows.h> through this header, so its A-suffix renaming of names such
// as PostMessage, MessageBox and GetClassName applies to the framework's members everywhere alike.
#else

#include <cstdint>

using BOOL = int;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using UINT_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LPSTR = char*;
using LPCSTR = const char*;

struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;
using HGDIOBJ = void*;
using FARPROC = long long (*)();
// Linux has one calling convention.
#define WINAPI

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

struct POINT {
  LONG x;
  LONG y;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};
using WNDCLASS = WNDCLASSA;

#define LOWORD(l) (static_cast<WORD>(static_cast<std::uintptr_t>(l) & 0xffff))
#define HIWORD(l) (static_cast<WORD>((static_cast<std::uintptr_t>(l) >> 16) & 0xffff))
#define MAKELONG(a, b) (static_cast<LONG>((static_cast<WORD>(a)) | (static_cast<DWORD>(static_cast<WORD>(b)) << 16)))
#define MAKELPARAM(l, h) (static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(l, h))))
#define MAKEWPARAM(l, h) (static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(l, h))))

// Window messages.
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ENDSESSION = 0x0016;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_DISPLAYCHANGE = 0x007E;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_USER = 0x0400;

// Activation states.
constexpr UINT WA_INACTIVE = 0;
constexpr UINT WA_ACTIVE = 1;
constexpr UINT WA_CLICKACTIVE = 2;

// Mouse key flags.
constexpr UINT MK_LBUTTON = 0x0001;
constexpr UINT MK_RBUTTON = 0x0002;
constexpr UINT MK_SHIFT = 0x0004;
constexpr UINT MK_CONTROL = 0x0008;
constexpr UINT MK_MBUTTON = 0x0010;

// Virtual-key codes (letters and digits are their upper-case characters).
constexpr UINT VK_BACK = 0x08;
constexpr UINT VK_TAB = 0x09;
constexpr UINT VK_RETURN = 0x0D;
constexpr UINT VK_SHIFT = 0x10;
constexpr UINT VK_CONTROL = 0x11;
constexpr UINT VK_MENU = 0x12;
constexpr UINT VK_PAUSE = 0x13;
constexpr UINT VK_CAPITAL = 0x14;
constexpr UINT VK_ESCAPE = 0x1B;
constexpr UINT VK_SPACE = 0x20;
constexpr UINT VK_PRIOR = 0x21;
constexpr UINT VK_NEXT = 0x22;
constexpr UINT VK_END = 0x23;
constexpr UINT VK_HOME = 0x24;
constexpr UINT VK_LEFT = 0x25;
constexpr UINT VK_UP = 0x26;
constexpr UINT VK_RIGHT = 0x27;
constexpr UINT VK_DOWN = 0x28;
constexpr UINT VK_SNAPSHOT = 0x2C;
constexpr UINT VK_INSERT = 0x2D;
constexpr UINT VK_DELETE = 0x2E;
constexpr UINT VK_LWIN = 0x5B;
constexpr UINT VK_APPS = 0x5D;
constexpr UINT VK_NUMPAD0 = 0x60;  // to VK_NUMPAD9, 0x69
constexpr UINT VK_F1 = 0x70;       // to VK_F24, 0x87
constexpr UINT VK_F10 = 0x79;
constexpr UINT VK_NUMLOCK = 0x90;
constexpr UINT VK_SCROLL = 0x91;
// The punctuation keys of a US keyboard.
constexpr UINT VK_OEM_1 = 0xBA;  // ;:
constexpr UINT VK_OEM_PLUS = 0xBB;
constexpr UINT VK_OEM_COMMA = 0xBC;
constexpr UINT VK_OEM_MINUS = 0xBD;
constexpr UINT VK_OEM_PERIOD = 0xBE;
constexpr UINT VK_OEM_2 = 0xBF;  // /?
constexpr UINT VK_OEM_3 = 0xC0;  // `~
constexpr UINT VK_OEM_4 = 0xDB;  // [{
constexpr UINT VK_OEM_5 = 0xDC;  // backslash |
constexpr UINT VK_OEM_6 = 0xDD;  // ]}
constexpr UINT VK_OEM_7 = 0xDE;  // '"

// Flags of a key message's key-data word (the high word of its lParam).
constexpr UINT KF_EXTENDED = 0x0100;
constexpr UINT KF_ALTDOWN = 0x2000;
constexpr UINT KF_REPEAT = 0x4000;
constexpr UINT KF_UP = 0x8000;

// System commands.
constexpr UINT SC_MOVE = 0xF010;
constexpr UINT SC_MINIMIZE = 0xF020;
constexpr UINT SC_MAXIMIZE = 0xF030;
constexpr UINT SC_CLOSE = 0xF060;
constexpr UINT SC_KEYMENU = 0xF100;
constexpr UINT SC_RESTORE = 0xF120;
constexpr UINT SC_TASKLIST = 0xF130;
constexpr UINT SC_SCREENSAVE = 0xF140;
constexpr UINT SC_MONITORPOWER = 0xF170;

// Button notifications (the high word of WM_COMMAND's wParam).
constexpr UINT BN_CLICKED = 0;

// Message boxes: the buttons, the icon, and the answers.
constexpr UINT MB_TYPEMASK = 0x000F;
constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_OKCANCEL = 0x0001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x0002;
constexpr UINT MB_YESNOCANCEL = 0x0003;
constexpr UINT MB_YESNO = 0x0004;
constexpr UINT MB_RETRYCANCEL = 0x0005;
constexpr UINT MB_ICONMASK = 0x00F0;
constexpr UINT MB_ICONHAND = 0x0010;
constexpr UINT MB_ICONQUESTION = 0x0020;
constexpr UINT MB_ICONEXCLAMATION = 0x0030;
constexpr UINT MB_ICONINFORMATION = 0x0040;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Window styles and class styles.
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
// A caption, a system menu, a sizing frame and the minimize and maximize boxes.
constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_NOACTIVATE = 0x08000000;
constexpr UINT CS_SAVEBITS = 0x0800;

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_SHOWNA = 8;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;

// Drawing: pen styles, drawing modes and the block copy's raster operation.
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_DASHDOT = 3;
constexpr int PS_DASHDOTDOT = 4;
constexpr int PS_NULL = 5;
constexpr int R2_BLACK = 1;
constexpr int R2_NOT = 6;
constexpr int R2_XORPEN = 7;
constexpr int R2_COPYPEN = 13;
constexpr int R2_WHITE = 16;
constexpr DWORD SRCCOPY = 0x00CC0020;

// Buttons.
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;
constexpr UINT BST_INDETERMINATE = 2;

// System parameters and metrics.
constexpr UINT SPI_SCREENSAVERRUNNING = 97;
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;

// The file dialogs.
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;

constexpr int MAX_PATH = 260;

// The stand-ins, with the meaning of the Windows calls of the same names.
DWORD GetTickCount();
LPSTR GetCommandLineA();
HWND FindWindowA(LPCSTR className, LPCSTR windowName);
HMODULE LoadLibraryA(LPCSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);
BOOL SystemParametersInfoA(UINT action, UINT param, void* value, UINT winIni);
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMilliseconds, void* timerProc);
BOOL KillTimer(HWND window, UINT_PTR id);
int ShowCursor(BOOL show);
BOOL GetCursorPos(POINT* point);
BOOL ClientToScreen(HWND window, POINT* point);
HWND GetDesktopWindow();
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL GetClientRect(HWND window, RECT* rect);
HGDIOBJ GetStockObject(int object);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
int GetSystemMetrics(int index);
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);

#endif  // _WIN32

// The animation pump's clock: whole milliseconds that step by one, wrapping at 2^32. GetTickCount
// steps with the clock interrupt, by 15.6 ms on a Windows of today: too coarse for pauses of 1 and 10 ms.
DWORD GetMillisecondTick();

// What separates the folders of a path.
#ifdef _WIN32
inline constexpr char PathSeparator = '\\';
#else
inline constexpr char PathSeparator = '/';
#endif
